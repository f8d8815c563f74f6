#include "device_table.h"

#include "header.h"
#include "record_text.h"

#include <algorithm>
#include <charconv>

namespace decode {

namespace {

constexpr int kMaxAddress = 255;

// "0".."255" as written by the program: no sign, no leading zero.
std::optional<int> canonicalAddress(std::string_view text)
{
    if (text.empty() || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > kMaxAddress)
        return std::nullopt;
    return value;
}

MeterSelection selectionOf(const MeterRow &row)
{
    return MeterSelection{row.id.substr(0, kSelectionTextLength), row.address};
}

} // namespace

TableAddress TableAddress::fromText(const std::string &text)
{
    TableAddress address;
    if (text.empty())
        return address;
    if (const auto number = canonicalAddress(text)) {
        address.number = number;
    } else if (text.back() == '?' && canonicalAddress(std::string_view(text).substr(0, text.size() - 1))) {
        address.number = canonicalAddress(std::string_view(text).substr(0, text.size() - 1));
        address.confirmed = false;
    } else {
        address.unreadable = text;
    }
    return address;
}

std::string TableAddress::text() const
{
    if (!number)
        return unreadable;
    return std::to_string(*number) + (confirmed ? "" : "?");
}

std::optional<int> TableAddress::usable(int max) const
{
    if (!number || !confirmed || *number > max)
        return std::nullopt;
    return number;
}

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
}

std::string DeviceTable::cellText(int r, int column) const
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const MeterRow &m = m_rows[std::size_t(r)];
    switch (column) {
    case kIdColumn:
        return m.id;
    case kAddressColumn:
        return m.address.text();
    case kManufacturerColumn:
        return m.manufacturer;
    case kValueColumn:
        return m.value;
    default:
        break;
    }
    if (m_layout.secondaryMain && column == kSecondaryMainColumn)
        return m.secondaryMain;
    const TableLayout &l = m_layout;
    if (column >= l.firstAdditionalColumn())
        return m.additional[std::size_t(column - l.firstAdditionalColumn())];
    const std::string *fields[] = {&m.unit, &m.medium, &m.time, &m.date, &m.status, &m.model};
    return *fields[column - l.unitColumn()];
}

std::vector<std::string> DeviceTable::rowTexts(int r) const
{
    std::vector<std::string> texts;
    for (int c = 0; c < columnCount(); ++c)
        texts.push_back(cellText(r, c));
    return texts;
}

MeterRow DeviceTable::rowFromTexts(const std::vector<std::string> &cells) const
{
    const auto at = [&cells](int column) {
        return std::size_t(column) < cells.size() ? cells[std::size_t(column)] : std::string();
    };
    const TableLayout &l = m_layout;
    MeterRow m;
    m.id = at(kIdColumn);
    m.address = TableAddress::fromText(at(kAddressColumn));
    m.manufacturer = at(kManufacturerColumn);
    m.value = at(kValueColumn);
    if (l.secondaryMain)
        m.secondaryMain = at(kSecondaryMainColumn);
    m.unit = at(l.unitColumn());
    m.medium = at(l.mediumColumn());
    m.time = at(l.timeColumn());
    m.date = at(l.dateColumn());
    m.status = at(l.statusColumn());
    m.model = at(l.modelColumn());
    for (int k = 0; k < l.additionalCount; ++k)
        m.additional.push_back(at(l.firstAdditionalColumn() + k));
    return m;
}

void DeviceTable::fitRow(MeterRow &row) const
{
    row.additional.resize(std::size_t(m_layout.additionalCount));
    if (!m_layout.secondaryMain)
        row.secondaryMain.clear();
}

void DeviceTable::notify(int first, int last)
{
    if (changed)
        changed(first, last);
}

void DeviceTable::setAdditionalCount(int count)
{
    count = std::clamp(count, 0, kMaxAdditionalValues);
    if (count == m_layout.additionalCount)
        return;
    m_layout.additionalCount = count;
    for (MeterRow &row : m_rows)
        fitRow(row);
    notify(0, rowCount() - 1);
}

void DeviceTable::switchSecondaryMain(bool on)
{
    if (on == m_layout.secondaryMain)
        return;
    m_layout.secondaryMain = on;
    for (MeterRow &row : m_rows)
        fitRow(row);
    notify(0, rowCount() - 1);
}

MeterRow DeviceTable::meterRow(const MeterHeader &header, const TableValues &values, const std::string &time,
                               const std::string &date) const
{
    const std::string maker = manufacturerCode(header.manufacturerField);
    MeterRow row;
    row.id = latin1ToUtf8(idText(header));
    row.address.number = header.address;
    row.manufacturer = latin1ToUtf8(maker);
    row.value = latin1ToUtf8(values.mainValue);
    row.secondaryMain = latin1ToUtf8(values.secondaryMain);
    row.unit = latin1ToUtf8(values.mainUnit);
    row.medium = latin1ToUtf8(std::string(mediumName(header.medium)));
    row.time = time;
    row.date = date;
    row.status = latin1ToUtf8(statusText(header.status, header.version, maker, false));
    row.model = latin1ToUtf8(values.model);
    for (const std::string &value : values.additional)
        row.additional.push_back(latin1ToUtf8(value));
    fitRow(row);
    return row;
}

std::optional<MeterSelection> DeviceTable::update(const MeterHeader &header, const std::vector<Record> &records,
                                                  RowRule rule, const std::string &time, const std::string &date,
                                                  char separator)
{
    const TableOptions options{m_layout.secondaryMain, m_layout.additionalCount};
    if (isPulseModuleReply(header, options))
        return writePulseModuleRow(header, records, time, date, separator);

    const MeterRow row = meterRow(header, chooseTableValues(header, records, options, separator), time, date);
    if (rule != RowRule::Scan) {
        int first = -1, last = -1;
        for (int r = 0; r < rowCount(); ++r) {
            MeterRow &existing = m_rows[std::size_t(r)];
            const bool same = rule == RowRule::ByAddress ? existing.address == row.address : existing.id == row.id;
            if (!same)
                continue;
            existing = row;
            first = first < 0 ? r : first;
            last = r;
        }
        if (first >= 0)
            notify(first, last);
        if (first >= 0)
            return selectionOf(row);
        if (rule == RowRule::ByAddress)
            return std::nullopt;
    }
    // Scan, or a secondary reply from a meter not in the table: a new row.
    m_rows.push_back(row);
    notify(rowCount() - 1, rowCount() - 1);
    return selectionOf(row);
}

// A QRV pulse module shows records 1 and 3 as its values, 2, 4, 5, ... as
// its additional values, not cut; it writes the last row with its address
// or ID, else a new one, and selects nothing.
std::optional<MeterSelection> DeviceTable::writePulseModuleRow(const MeterHeader &header,
                                                               const std::vector<Record> &records,
                                                               const std::string &time, const std::string &date,
                                                               char separator)
{
    const auto value = [&](std::size_t number) {
        return number >= 1 && number <= records.size() ? latin1ToUtf8(valueText(records[number - 1], separator))
                                                       : std::string();
    };
    const auto unit = [&](std::size_t number) {
        return number >= 1 && number <= records.size() ? latin1ToUtf8(unitText(records[number - 1])) : std::string();
    };
    const auto valueWithUnit = [&](std::size_t number) {
        return number >= 1 && number <= records.size() ? value(number) + ' ' + unit(number) : std::string();
    };

    MeterRow row = meterRow(header, TableValues{}, time, date);
    row.value = value(1);
    row.secondaryMain = value(3);
    row.unit = unit(1);
    // Additional values: record 2, then record 4, then records 5, 6, ...
    for (int k = 1; k <= m_layout.additionalCount; ++k)
        row.additional[std::size_t(k - 1)] = valueWithUnit(std::size_t(k == 1 ? 2 : k + 2));

    int target = -1;
    for (int r = 0; r < rowCount(); ++r)
        if (m_rows[std::size_t(r)].address == row.address || m_rows[std::size_t(r)].id == row.id)
            target = r;
    if (target < 0) {
        m_rows.push_back(std::move(row));
        target = rowCount() - 1;
    } else {
        m_rows[std::size_t(target)] = std::move(row);
    }
    notify(target, rowCount() - 1);
    return std::nullopt;
}

void DeviceTable::setAddress(int r, TableAddress address)
{
    if (r < 0 || r >= rowCount())
        return;
    m_rows[std::size_t(r)].address = std::move(address);
    notify(r, r);
}

void DeviceTable::setCellText(int r, int column, const std::string &text)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= columnCount())
        return;
    std::vector<std::string> texts = rowTexts(r);
    texts[std::size_t(column)] = text;
    MeterRow row = rowFromTexts(texts);
    row.secondaryMain = m_layout.secondaryMain ? row.secondaryMain : m_rows[std::size_t(r)].secondaryMain;
    m_rows[std::size_t(r)] = std::move(row);
    notify(r, r);
}

void DeviceTable::clear()
{
    m_rows.clear();
    notify(0, 0);
}

bool DeviceTable::removeRow(int r)
{
    if (r < 0 || r >= rowCount())
        return false;
    m_rows.erase(m_rows.begin() + r);
    notify(r, rowCount());
    return true;
}

void DeviceTable::appendRow(MeterRow row)
{
    fitRow(row);
    m_rows.push_back(std::move(row));
    notify(rowCount() - 1, rowCount() - 1);
}

void DeviceTable::setRows(std::vector<MeterRow> rows)
{
    m_rows = std::move(rows);
    for (MeterRow &row : m_rows)
        fitRow(row);
    notify(0, rowCount());
}

void DeviceTable::setRows(const std::vector<std::vector<std::string>> &texts)
{
    std::vector<MeterRow> rows;
    rows.reserve(texts.size());
    for (const std::vector<std::string> &cells : texts)
        rows.push_back(rowFromTexts(cells));
    setRows(std::move(rows));
}

std::optional<MeterSelection> DeviceTable::selectionAt(int r) const
{
    if (r < 0 || r >= rowCount())
        return std::nullopt;
    return selectionOf(m_rows[std::size_t(r)]);
}

int DeviceTable::lastRowWithAddress(int address) const
{
    for (int r = rowCount() - 1; r >= 0; --r)
        if (m_rows[std::size_t(r)].address.usable(kMaxAddress) == address)
            return r;
    return -1;
}

} // namespace decode
