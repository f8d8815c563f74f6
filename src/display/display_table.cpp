#include "display_table.h"

#include "decode/device_table.h"

#include <algorithm>
#include <map>

namespace display {

Table::Table(int columns) : m_columns(columns)
{
    clear();
}

Table::Row Table::emptyRow() const
{
    return Row{QStringList(m_columns, QString()), false, QList<QDate>(m_columns)};
}

void Table::notify(int first, int last)
{
    if (changed)
        changed(first, last);
}

QString Table::cell(int row, int column) const
{
    if (row < 1 || row > rowCount() || column < 0 || column >= m_columns)
        return {};
    return m_rows[std::size_t(row - 1)].cells[column];
}

void Table::setCell(int row, int column, const QString &text, const QDate &date)
{
    if (row < 1 || row > rowCount() || column < 0 || column >= m_columns)
        return;
    Row &r = m_rows[std::size_t(row - 1)];
    QString &cell = r.cells[column];
    QDate &kept = r.dates[column];
    // An editor closed without a change must not lose the display's date.
    if (cell == text && (!date.isValid() || kept == date))
        return;
    cell = text;
    kept = date;
    notify(row, row);
}

QDate Table::cellDate(int row, int column) const
{
    if (row < 1 || row > rowCount() || column < 0 || column >= m_columns)
        return {};
    return m_rows[std::size_t(row - 1)].dates[column];
}

QList<QDate> Table::rowDates(int row) const
{
    return row >= 1 && row <= rowCount() ? m_rows[std::size_t(row - 1)].dates : QList<QDate>();
}

bool Table::selected(int row) const
{
    return row >= 1 && row <= rowCount() && m_rows[std::size_t(row - 1)].selected;
}

void Table::setSelected(int row, bool on)
{
    if (row < 1 || row > rowCount())
        return;
    m_rows[std::size_t(row - 1)].selected = on;
    notify(row, row);
}

void Table::selectAll(bool on)
{
    for (Row &r : m_rows)
        r.selected = on;
    notify(1, rowCount());
}

bool Table::anySelected() const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [](const Row &r) { return r.selected; });
}

void Table::clear()
{
    m_rows.assign(1, emptyRow());
    notify(1, 1);
}

bool Table::addRow()
{
    if (rowCount() >= kMaxRows)
        return false;
    m_rows.push_back(emptyRow());
    notify(rowCount(), rowCount());
    return true;
}

void Table::deleteRow(int row)
{
    if (row < 1 || row > rowCount())
        return;
    if (rowCount() == 1) {
        m_rows.front() = emptyRow();
        notify(1, 1);
        return;
    }
    m_rows.erase(m_rows.begin() + (row - 1));
    notify(row, rowCount());
}

void Table::setRows(const std::vector<QStringList> &rows)
{
    setRows(DatedRows{rows, {}});
}

void Table::setRows(const DatedRows &rows)
{
    m_rows.clear();
    for (std::size_t i = 0; i < rows.size() && rowCount() < kMaxRows; ++i) {
        Row row = emptyRow();
        for (int c = 0; c < m_columns && c < rows[i].size(); ++c)
            row.cells[c] = rows[i][c];
        if (i < rows.dates.size())
            for (int c = 0; c < m_columns && c < rows.dates[i].size(); ++c)
                row.dates[c] = rows.dates[i][c];
        m_rows.push_back(row);
    }
    if (m_rows.empty())
        m_rows.push_back(emptyRow());
    notify(1, rowCount());
}

QStringList Table::row(int row) const
{
    return row >= 1 && row <= rowCount() ? m_rows[std::size_t(row - 1)].cells : QStringList();
}

QList<int> Table::rowsWithAddress(const QString &address) const
{
    QList<int> rows;
    for (int r = 1; r <= rowCount(); ++r)
        if (!address.isEmpty() && cell(r, 1) == address)
            rows << r;
    return rows;
}

void Table::dropEmptyLastRow()
{
    if (rowCount() <= 1)
        return;
    const QStringList &cells = m_rows.back().cells;
    if (std::all_of(cells.begin(), cells.begin() + std::min<qsizetype>(5, cells.size()),
                    [](const QString &c) { return c.isEmpty(); })) {
        m_rows.pop_back();
        notify(rowCount(), rowCount() + 1);
    }
}

std::vector<QStringList> rowsFromDeviceTable(const decode::DeviceTable &devices, QChar decimalPoint)
{
    const auto oneDecimal = [decimalPoint](const std::string &text) {
        QString value = QString::fromStdString(text).trimmed();
        value.replace(u',', u'.');
        bool ok = false;
        const double number = value.toDouble(&ok);
        QString out = ok ? QString::number(number, 'f', 1) : QStringLiteral("0");
        return out.replace(u'.', decimalPoint);
    };
    const QString zero = QString(QStringLiteral("0.0")).replace(u'.', decimalPoint);
    std::vector<QStringList> rows;
    int userNumber = 0;
    for (int r = 0; r < devices.rowCount() && int(rows.size()) < Table::kMaxRows; ++r) {
        const decode::MeterRow &meter = devices.row(r);
        const std::string address = meter.address.text();
        QStringList row(TevColumns, QString());
        row[TevId] = QString::fromStdString(meter.id);
        row[TevAddress] = QString::fromStdString(address);
        row[TevUnit] = QString::fromStdString(meter.unit);
        row[TevStartP1] = row[TevStartP2] = row[TevStartCooling] = zero;
        if (!address.empty()) {
            row[TevStartMain] = oneDecimal(meter.value);
            row[TevMultDiv] = meter.model == "KV1"   ? QStringLiteral("1/1")
                              : meter.model == "KV2" ? QStringLiteral("10/1")
                                                     : QStringLiteral("0/0");
            if (devices.layout().secondaryMain)
                row[TevStartCooling] = oneDecimal(meter.secondaryMain);
            row[TevUserNumber] = QString::number(++userNumber);
        }
        rows.push_back(row);
    }
    return rows;
}

DatedRows sortedHistory(const Table &history, bool byUserNumber)
{
    const int keyColumn = byUserNumber ? HistUserNumber : HistAddress;
    const int maxKey = byUserNumber ? 9999 : 250;
    std::multimap<int, int> keyed; // key -> row
    std::vector<int> unkeyed;
    for (int r = 1; r <= history.rowCount(); ++r) {
        bool ok = false;
        const int key = history.cell(r, keyColumn).toInt(&ok);
        if (ok && key >= 1 && key <= maxKey)
            keyed.emplace(key, r);
        else
            unkeyed.push_back(r);
    }
    std::vector<int> order;
    for (const auto &[key, r] : keyed)
        order.push_back(r);
    order.insert(order.end(), unkeyed.begin(), unkeyed.end());
    DatedRows rows;
    for (int r : order) {
        rows.push_back(history.row(r));
        rows.dates.push_back(history.rowDates(r));
    }
    return rows;
}

} // namespace display
