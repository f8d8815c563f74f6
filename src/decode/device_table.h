#pragma once
// The device table: one row per meter that answered, in the program's column
// layout, with the rules that decide which row a decoded reply writes. Plain
// data; the main window's grid shows it.
//
// Rows are numbered as the grid shows them: row 0 is the header (not stored
// here), rows 1.. are data rows, and the last row is always the empty entry
// row that a new meter is written into. Cells are UTF-8.

#include "decode.h"
#include "table_values.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace decode {

// Columns: " ID ", "Addr. ", "Mfr. ", "Value ", [secondary main], "Unit ",
// "Medium ", "Time ", "Date ", "Status ", "Model ", then the additional values.
struct TableLayout {
    bool secondaryMain = false;
    int additionalCount = 0; // 0..13

    int columnCount() const { return firstAdditionalColumn() + additionalCount; }
    int unitColumn() const { return secondaryMain ? 5 : 4; }
    int mediumColumn() const { return unitColumn() + 1; }
    int timeColumn() const { return unitColumn() + 2; }
    int dateColumn() const { return unitColumn() + 3; }
    int statusColumn() const { return unitColumn() + 4; }
    int modelColumn() const { return unitColumn() + 5; }
    int firstAdditionalColumn() const { return unitColumn() + 6; }
};

inline constexpr int kIdColumn = 0;
inline constexpr int kAddressColumn = 1;
inline constexpr int kManufacturerColumn = 2;
inline constexpr int kValueColumn = 3;
inline constexpr int kSecondaryMainColumn = 4;
// The widest table: secondary main value and 13 additional values.
inline constexpr int kMaxDeviceTableColumns = 11 + kMaxAdditionalValues;

// The selected meter: ID and address text, at most 8 characters each; the
// address "256" means the meter has no usable primary address.
struct MeterSelection {
    std::string id;
    std::string address = "256";
    bool hasAddress() const { return address != "256"; }
};
inline constexpr std::size_t kSelectionTextLength = 8;

// Which row a reply writes: a scan appends every meter; a reply to a
// secondary selection overwrites the rows with its ID (appending when none);
// any other reply overwrites the rows with its address and otherwise changes
// nothing.
enum class RowRule { Scan, SecondaryReply, ByAddress };

class DeviceTable {
public:
    explicit DeviceTable(TableLayout layout = {});

    const TableLayout &layout() const { return m_layout; }
    // Including the header row and the entry row: an empty table has 2.
    int rowCount() const { return int(m_rows.size()) + 1; }
    int columnCount() const { return m_layout.columnCount(); }
    // Empty outside the table and for the header row.
    const std::string &cell(int row, int column) const;
    void setCell(int row, int column, std::string text);
    // A row holding data (any cell filled).
    bool hasData(int row) const;

    // A new count of additional value columns; cells beyond the new width go.
    void setAdditionalCount(int count);
    // The secondary main column comes or goes: cells of every data row move
    // one column right from column 4 (on) or left from column 5 (off).
    void switchSecondaryMain(bool on);

    // Writes a decoded reply's row; returns the meter to select, if the rule
    // selects one. time and date are the moment of writing (UTF-8).
    std::optional<MeterSelection> update(const ReplyHeader &header, const std::vector<WorkRow> &records, RowRule rule,
                                         const std::string &time, const std::string &date);

    // Only the header and an empty entry row are left.
    void clear();
    // Removes a data row; the entry row stays (with one data row only, that
    // row is emptied). Anything else (header, entry row, outside) is refused.
    bool deleteRow(int row);
    // Appends a data row before the entry row.
    void appendRow(std::vector<std::string> cells);
    // Replaces every data row at once (loading a saved table); cells beyond
    // the table's width are dropped.
    void setRows(std::vector<std::vector<std::string>> rows);

    // The selection a click on a data row makes (no selection for other rows).
    std::optional<MeterSelection> selectionAt(int row) const;
    // The last data row whose address column equals the text; -1 when none.
    int lastRowWithAddress(const std::string &address) const;

    // Told after every change: rows first..last (inclusive) were rewritten;
    // the row count may have changed as well.
    std::function<void(int first, int last)> changed;

private:
    using Row = std::vector<std::string>;
    Row &entryRow() { return m_rows.back(); }
    void addEntryRow();
    Row meterRow(const ReplyHeader &header, const TableValues &values, const std::string &time,
                 const std::string &date) const;
    std::optional<MeterSelection> writePulseModuleRow(const ReplyHeader &header, const std::vector<WorkRow> &records,
                                                      const std::string &time, const std::string &date);
    void notify(int first, int last);

    TableLayout m_layout;
    std::vector<Row> m_rows; // data rows, entry row last; m_rows[i] is table row i + 1
};

// Decoded texts carry the meter's bytes as Latin-1; the table holds UTF-8.
std::string latin1ToUtf8(const std::string &latin1);

} // namespace decode
