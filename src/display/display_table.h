#pragma once
// The display's tables as the pages show them: the device table (14
// columns, a selection box per row) and the history table (22 columns, the
// months from column 10). Rows are numbered from 1 like the grids' data
// rows; a table always has at least one row and at most 250. A cell may
// carry a date beside its text: the day the display recorded a history value.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace decode {
class DeviceTable;
}

namespace display {

// Rows with the dates of their cells, so that a sort keeps each value's date.
struct DatedRows : std::vector<QStringList> {
    std::vector<QList<QDate>> dates; // per row, per column; missing ones are none
};

class Table {
public:
    static constexpr int kMaxRows = 250;

    explicit Table(int columns);

    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()); }
    QString cell(int row, int column) const;
    // A new text without a date drops the date the cell had (typed by hand);
    // the same text again keeps it.
    void setCell(int row, int column, const QString &text, const QDate &date = QDate());
    QDate cellDate(int row, int column) const;
    QList<QDate> rowDates(int row) const;
    bool selected(int row) const;
    void setSelected(int row, bool on);
    void selectAll(bool on);
    bool anySelected() const;

    // One empty, unselected row.
    void clear();
    // False when the table holds 250 rows already.
    bool addRow();
    // With one row its cells are emptied; otherwise the row goes.
    void deleteRow(int row);
    // Rows as given (at most 250), none selected, no dates.
    void setRows(const std::vector<QStringList> &rows);
    void setRows(const DatedRows &rows);
    QStringList row(int row) const;
    // The rows whose address cell (column 1) holds exactly this text.
    QList<int> rowsWithAddress(const QString &address) const;
    // The last row goes when its first five cells are empty and it is not the only one.
    void dropEmptyLastRow();

    // Told after every change: rows first..last, the row count may have changed.
    std::function<void(int first, int last)> changed;

private:
    struct Row {
        QStringList cells;
        bool selected = false;
        QList<QDate> dates; // one per cell
    };
    Row emptyRow() const;
    void notify(int first, int last);

    int m_columns;
    std::vector<Row> m_rows;
};

// Columns of the display device table.
enum TevColumn {
    TevId = 0,
    TevAddress = 1,
    TevUnit = 2,
    TevStartMain = 3,
    TevStartP1 = 4,
    TevStartP2 = 5,
    TevStartCooling = 6,
    TevMultDiv = 7,
    TevUserNumber = 8,
    TevFreeText = 9,
    TevTotal = 10,
    TevTotalP1 = 11,
    TevTotalP2 = 12,
    TevTotalCooling = 13,
    TevColumns = 14
};
// Columns of the history table; the months are 10 (Jan) .. 21 (Dec).
enum HistoryColumn {
    HistId = 0,
    HistAddress = 1,
    HistUnit = 2,
    HistStart = 3,
    HistMultDiv = 4,
    HistUserNumber = 5,
    HistFreeText = 6,
    HistTotal = 7,
    HistTotalP1 = 8,
    HistTotalP2 = 9,
    HistFirstMonth = 10,
    HistColumns = 22
};

// "Get data from m-bus devices": the display table from the M-Bus device
// table (addresses, units, start values, multiplier by model, user numbers).
// decimalPoint is the locale's separator for the one-decimal numbers.
std::vector<QStringList> rowsFromDeviceTable(const decode::DeviceTable &devices, QChar decimalPoint);

// The history table sorted by address (1..250) or user number (1..9999);
// rows without such a key keep their order after the sorted ones.
DatedRows sortedHistory(const Table &history, bool byUserNumber);

} // namespace display
