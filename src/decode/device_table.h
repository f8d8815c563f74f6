#pragma once
// The device table: one row per meter that answered, with the rules that
// decide which row a decoded reply writes. Plain data: a model shows it in the
// window (with an empty row below the meters for the eye), the CSV files hold
// its texts. Rows count from 0; texts are UTF-8.

#include "record.h"
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

// A primary address as a row holds it: none, one the meter answered at, or
// one it was given without confirming it ("21?"). A cell read from a file
// that is none of these is kept as it was read.
struct TableAddress {
    std::optional<int> number; // 0..255
    bool confirmed = true;
    std::string unreadable;

    static TableAddress fromText(const std::string &text);
    std::string text() const; // "", "21", "21?", or the unreadable text
    // The address a command may use: a confirmed one up to max.
    std::optional<int> usable(int max) const;
    bool operator==(const TableAddress &) const = default;
};

struct MeterRow {
    std::string id;
    TableAddress address;
    std::string manufacturer;
    std::string value;
    std::string secondaryMain; // shown only with the secondary main column
    std::string unit;
    std::string medium;
    std::string time;
    std::string date;
    std::string status;
    std::string model;
    std::vector<std::string> additional; // one per additional value column
    bool operator==(const MeterRow &) const = default;
};

// The selected meter: its ID (at most 8 characters) and its address as the
// row holds it (commands take only a usable one).
struct MeterSelection {
    std::string id;
    TableAddress address;
    bool hasAddress() const { return address.number || !address.unreadable.empty(); }
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
    int rowCount() const { return int(m_rows.size()); }
    int columnCount() const { return m_layout.columnCount(); }
    // The row r (0 <= r < rowCount()).
    const MeterRow &row(int r) const { return m_rows[std::size_t(r)]; }
    // The text of a cell as shown and saved; empty outside the table.
    std::string cellText(int r, int column) const;
    std::vector<std::string> rowTexts(int r) const;
    // A row of texts (a line of a file) in this table's columns; cells
    // beyond its width are dropped.
    MeterRow rowFromTexts(const std::vector<std::string> &cells) const;

    // A new count of additional value columns; cells beyond the new width go.
    void setAdditionalCount(int count);
    // The secondary main column comes or goes; its values are kept meanwhile.
    void switchSecondaryMain(bool on);

    // Writes a decoded reply's row; returns the meter to select, if the rule
    // selects one. time and date are the moment of writing (UTF-8); values
    // are written with the decimal separator given.
    std::optional<MeterSelection> update(const MeterHeader &header, const std::vector<Record> &records, RowRule rule,
                                         const std::string &time, const std::string &date, char separator = '.');

    void setAddress(int r, TableAddress address);
    // Writes one cell as text, as a line of a file would give it.
    void setCellText(int r, int column, const std::string &text);
    void clear();
    // Removes row r; false (and nothing changes) outside the table.
    bool removeRow(int r);
    void appendRow(MeterRow row);
    void appendRow(const std::vector<std::string> &texts) { appendRow(rowFromTexts(texts)); }
    // Replaces every row at once (loading a saved table).
    void setRows(std::vector<MeterRow> rows);
    void setRows(const std::vector<std::vector<std::string>> &texts);

    // The selection a click on row r makes (none outside the table).
    std::optional<MeterSelection> selectionAt(int r) const;
    // The last row whose confirmed address is `address`; -1 when none.
    int lastRowWithAddress(int address) const;

    // Told after every change: rows first..last (inclusive) were rewritten;
    // the row count may have changed as well.
    std::function<void(int first, int last)> changed;

private:
    MeterRow meterRow(const MeterHeader &header, const TableValues &values, const std::string &time,
                      const std::string &date) const;
    std::optional<MeterSelection> writePulseModuleRow(const MeterHeader &header, const std::vector<Record> &records,
                                                      const std::string &time, const std::string &date, char separator);
    void fitRow(MeterRow &row) const;
    void notify(int first, int last);

    TableLayout m_layout;
    std::vector<MeterRow> m_rows;
};

// Decoded texts carry the meter's bytes as Latin-1; the table holds UTF-8.
std::string latin1ToUtf8(const std::string &latin1);

} // namespace decode
