#include "device_table.h"

#include <algorithm>

namespace decode {

namespace {

const std::string kEmpty;

MeterSelection selectionOf(const std::string &id, const std::string &address)
{
    MeterSelection s;
    s.id = id.substr(0, kSelectionTextLength);
    s.address = address.empty() ? std::string("256") : address.substr(0, kSelectionTextLength);
    return s;
}

} // namespace

std::string latin1ToUtf8(const std::string &latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

DeviceTable::DeviceTable(TableLayout layout) : m_layout(layout)
{
    m_layout.additionalCount = std::clamp(m_layout.additionalCount, 0, kMaxAdditionalValues);
    addEntryRow();
}

const std::string &DeviceTable::cell(int row, int column) const
{
    if (row < 1 || row >= rowCount() || column < 0 || column >= columnCount())
        return kEmpty;
    return m_rows[std::size_t(row - 1)][std::size_t(column)];
}

void DeviceTable::setCell(int row, int column, std::string text)
{
    if (row < 1 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_rows[std::size_t(row - 1)][std::size_t(column)] = std::move(text);
    notify(row, row);
}

bool DeviceTable::hasData(int row) const
{
    if (row < 1 || row >= rowCount())
        return false;
    const Row &cells = m_rows[std::size_t(row - 1)];
    return std::any_of(cells.begin(), cells.end(), [](const std::string &c) { return !c.empty(); });
}

void DeviceTable::notify(int first, int last)
{
    if (changed)
        changed(first, last);
}

void DeviceTable::addEntryRow()
{
    m_rows.emplace_back(std::size_t(columnCount()));
}

void DeviceTable::setAdditionalCount(int count)
{
    count = std::clamp(count, 0, kMaxAdditionalValues);
    if (count == m_layout.additionalCount)
        return;
    m_layout.additionalCount = count;
    for (Row &row : m_rows)
        row.resize(std::size_t(columnCount()));
    notify(1, rowCount() - 1);
}

void DeviceTable::switchSecondaryMain(bool on)
{
    if (on == m_layout.secondaryMain)
        return;
    m_layout.secondaryMain = on;
    for (Row &row : m_rows) {
        if (on)
            row.insert(row.begin() + kSecondaryMainColumn, std::string());
        else
            row.erase(row.begin() + kSecondaryMainColumn);
        row.resize(std::size_t(columnCount()));
    }
    notify(1, rowCount() - 1);
}

DeviceTable::Row DeviceTable::meterRow(const ReplyHeader &header, const TableValues &values, const std::string &time,
                                       const std::string &date) const
{
    Row row(static_cast<std::size_t>(columnCount()));
    row[kIdColumn] = latin1ToUtf8(header.idText);
    row[kAddressColumn] = std::to_string(header.primaryAddress);
    row[kManufacturerColumn] = latin1ToUtf8(header.manufacturer);
    row[kValueColumn] = latin1ToUtf8(values.mainValue);
    if (m_layout.secondaryMain)
        row[kSecondaryMainColumn] = latin1ToUtf8(values.secondaryMain);
    row[std::size_t(m_layout.unitColumn())] = latin1ToUtf8(values.mainUnit);
    row[std::size_t(m_layout.mediumColumn())] = latin1ToUtf8(header.mediumName);
    row[std::size_t(m_layout.timeColumn())] = time;
    row[std::size_t(m_layout.dateColumn())] = date;
    row[std::size_t(m_layout.statusColumn())] = latin1ToUtf8(header.statusText);
    row[std::size_t(m_layout.modelColumn())] = latin1ToUtf8(values.model);
    for (std::size_t k = 0; k < values.additional.size() && int(k) < m_layout.additionalCount; ++k)
        row[std::size_t(m_layout.firstAdditionalColumn()) + k] = latin1ToUtf8(values.additional[k]);
    return row;
}

std::optional<MeterSelection> DeviceTable::update(const ReplyHeader &header, const std::vector<WorkRow> &records,
                                                  RowRule rule, const std::string &time, const std::string &date)
{
    const TableOptions options{m_layout.secondaryMain, m_layout.additionalCount};
    if (isPulseModuleReply(header, options))
        return writePulseModuleRow(header, records, time, date);

    const Row row = meterRow(header, chooseTableValues(header, records, options), time, date);
    const int keyColumn = rule == RowRule::ByAddress ? kAddressColumn : kIdColumn;
    std::optional<MeterSelection> selection;
    if (rule != RowRule::Scan) {
        int first = -1, last = -1;
        for (int r = 1; r < rowCount() - 1; ++r) {
            if (m_rows[std::size_t(r - 1)][std::size_t(keyColumn)] != row[std::size_t(keyColumn)])
                continue;
            m_rows[std::size_t(r - 1)] = row;
            selection = selectionOf(row[kIdColumn], row[kAddressColumn]);
            first = first < 0 ? r : first;
            last = r;
        }
        if (first >= 0)
            notify(first, last);
        if (first >= 0 || rule == RowRule::ByAddress)
            return selection;
    }
    // Scan, or a secondary reply from a meter not in the table: a new row.
    entryRow() = row;
    addEntryRow();
    notify(rowCount() - 2, rowCount() - 1);
    return selectionOf(row[kIdColumn], row[kAddressColumn]);
}

std::optional<MeterSelection> DeviceTable::writePulseModuleRow(const ReplyHeader &header,
                                                               const std::vector<WorkRow> &records,
                                                               const std::string &time, const std::string &date)
{
    const auto record = [&](std::size_t number) -> const WorkRow * {
        return number >= 1 && number <= records.size() ? &records[number - 1] : nullptr;
    };
    const auto value = [&](std::size_t number) {
        const WorkRow *r = record(number);
        return r ? latin1ToUtf8((*r)[ColValue]) : std::string();
    };
    const auto valueWithUnit = [&](std::size_t number) {
        const WorkRow *r = record(number);
        return r ? latin1ToUtf8((*r)[ColValue] + ' ' + (*r)[ColUnit]) : std::string();
    };

    const std::string address = std::to_string(header.primaryAddress);
    const std::string id = latin1ToUtf8(header.idText);
    int target = -1;
    for (int r = 1; r < rowCount() - 1; ++r)
        if (cell(r, kAddressColumn) == address || cell(r, kIdColumn) == id)
            target = r;
    if (target < 0) {
        target = rowCount() - 1;
        addEntryRow();
    }
    Row &row = m_rows[std::size_t(target - 1)];
    row.assign(std::size_t(columnCount()), std::string());
    row[0] = id;
    row[1] = address;
    row[2] = latin1ToUtf8(header.manufacturer);
    row[3] = value(1);
    row[4] = value(3);
    row[5] = record(1) ? latin1ToUtf8((*record(1))[ColUnit]) : std::string();
    row[6] = latin1ToUtf8(header.mediumName);
    row[7] = time;
    row[8] = date;
    row[9] = latin1ToUtf8(header.statusText);
    // Additional values: record 2, then record 4, then records 5, 6, ...
    const int count = m_layout.additionalCount;
    if (count >= 1)
        row[11] = valueWithUnit(2);
    if (count >= 2)
        row[12] = valueWithUnit(4);
    for (int k = 3; k <= count; ++k)
        row[std::size_t(10 + k)] = valueWithUnit(std::size_t(k + 2));
    notify(target, rowCount() - 1);
    return std::nullopt;
}

void DeviceTable::clear()
{
    m_rows.clear();
    addEntryRow();
    notify(1, 1);
}

bool DeviceTable::deleteRow(int row)
{
    if (row < 1 || row >= rowCount() - 1)
        return false;
    m_rows.erase(m_rows.begin() + (row - 1));
    notify(row, rowCount() - 1);
    return true;
}

void DeviceTable::appendRow(std::vector<std::string> cells)
{
    cells.resize(std::size_t(columnCount()));
    m_rows.insert(m_rows.end() - 1, std::move(cells));
    notify(rowCount() - 2, rowCount() - 1);
}

void DeviceTable::setRows(std::vector<std::vector<std::string>> rows)
{
    m_rows = std::move(rows);
    for (Row &row : m_rows)
        row.resize(std::size_t(columnCount()));
    addEntryRow();
    notify(1, rowCount() - 1);
}

std::optional<MeterSelection> DeviceTable::selectionAt(int row) const
{
    if (row < 1 || row >= rowCount())
        return std::nullopt;
    return selectionOf(cell(row, kIdColumn), cell(row, kAddressColumn));
}

int DeviceTable::lastRowWithAddress(const std::string &address) const
{
    for (int r = rowCount() - 1; r >= 1; --r)
        if (cell(r, kAddressColumn) == address)
            return r;
    return -1;
}

} // namespace decode
