#include "record_text.h"

#include "dif_tables.h"
#include "number_format.h"
#include "reader.h"
#include "text_append.h"
#include "values.h"

#include <cmath>

namespace decode {

namespace {

constexpr int kDecimals = 3;
constexpr int kRealPrecision = 9;
constexpr int kRealDecimals = 5;

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

void appendHexMsbFirst(std::string &out, mbus::ByteView b)
{
    for (std::size_t i = b.size(); i-- > 0;)
        appendHex(out, b[i]);
}

void appendDate(std::string &out, const Date &date)
{
    appendInt(out, date.day);
    out.push_back('.');
    appendInt(out, date.month);
    out.push_back('.');
    appendInt(out, date.year);
}

std::string_view noValueText(NoValue reason)
{
    switch (reason) {
    case NoValue::NoData:
        return "No data ";
    case NoValue::Selection:
        return "Unrecognizable DIF, not decoded ";
    case NoValue::BadBcd:
        return "Exception ";
    case NoValue::DateTooShort:
        return "Exception decoding DateTime";
    }
    return {};
}

} // namespace

void appendValueText(std::string &out, const Value &value, std::uint8_t dif, mbus::ByteView data, int exp10,
                     char separator)
{
    const tables::DataField &field = tables::kDataFields[dif & 0x0F];
    std::visit(Overloaded{
                   [&](NoValue reason) { out += noValueText(reason); },
                   [&](std::int64_t number) {
                       if (field.kind == tables::DataKind::Integer64) {
                           out += "64-bit integer not supported, but hex is: 0x";
                           appendHexMsbFirst(out, data);
                       } else {
                           appendFixed(out, number, exp10, field.precision, kDecimals, separator);
                       }
                   },
                   [&](float real) {
                       if (!std::isfinite(real)) {
                           out += "NaN or Infinite";
                           return;
                       }
                       if (std::signbit(real))
                           out.push_back('-');
                       appendFixed(out, static_cast<double>(std::fabs(real)), exp10, kRealPrecision, kRealDecimals,
                                   separator);
                   },
                   [&](const Digits &digits) { out += digits.text; },
                   [&](const Text &text) { out += text.text; },
                   [&](const Date &date) { appendDate(out, date); },
                   [&](const DateTime &moment) {
                       appendInt(out, moment.hour);
                       out += moment.minute < 10 ? ":0" : ":";
                       appendInt(out, moment.minute);
                       out += ", ";
                       appendDate(out, moment.date);
                   },
                   [&](RawBytes) {
                       if (field.kind == tables::DataKind::Variable && !data.empty()) {
                           out += "0x";
                           mbus::appendHexCompact(out, data.subspan(1));
                       } else if (field.kind == tables::DataKind::Special) {
                           mbus::appendHexLogForm(out, data);
                       }
                   },
               },
               value);
}

int shownExp10(const Unit &unit)
{
    return unit.quantity == Quantity::Voltage || unit.quantity == Quantity::Current ? 0 : unit.exp10;
}

std::string valueText(const Record &record, char separator)
{
    std::string out;
    appendValueText(out, record.value, record.dif(), record.data, shownExp10(record.unit), separator);
    return out;
}

void appendUnitText(std::string &out, const Unit &unit, const std::string &plainUnit)
{
    switch (unit.quantity) {
    case Quantity::PlainText:
        if (plainUnit.empty()) {
            out += "Unknown";
        } else {
            out += "VIF is user ASCII string: ";
            out += plainUnit;
        }
        return;
    case Quantity::Voltage:
        out += "Volts, 10^";
        appendInt(out, unit.exp10);
        return;
    case Quantity::Current:
        out += "Ampers, 10^";
        appendInt(out, unit.exp10);
        return;
    default:
        out += unit.name;
        return;
    }
}

std::string unitText(const Unit &unit, const std::string &plainUnit)
{
    std::string out;
    appendUnitText(out, unit, plainUnit);
    return out;
}

namespace {

void fillWorkRow(WorkRow &row, const Record &record, int number, char separator)
{
    appendInt(row[ColNumber], number);
    if (record.isManufacturerData()) {
        mbus::appendHexLogForm(row[ColValue], record.data);
        row[ColDescription] = "Manf. secific";
        return;
    }
    appendValueText(row[ColValue], record.value, record.dif(), record.data, shownExp10(record.unit), separator);
    appendUnitText(row[ColUnit], record.unit, record.plainUnit);
    row[ColDescription] = record.unit.description;
    mbus::appendHexLogForm(row[ColDifDife], record.dib);
    appendHex(row[ColVif], record.vif());
    if (record.vib.size() > 1)
        mbus::appendHexLogForm(row[ColVife], record.vib.view().subspan(1));
}

} // namespace

WorkRow workRow(const Record &record, int number, char separator)
{
    WorkRow row;
    fillWorkRow(row, record, number, separator);
    return row;
}

std::vector<WorkRow> workRows(const std::vector<Record> &records, char separator, bool cutShort)
{
    std::vector<WorkRow> rows;
    rows.reserve(records.size() + 1);
    for (std::size_t i = 0; i < records.size(); ++i)
        fillWorkRow(rows.emplace_back(), records[i], int(i) + 1, separator);
    if (cutShort || records.empty() || !records.back().isManufacturerData())
        rows.emplace_back();
    return rows;
}

std::string difDescription(std::uint8_t dif, std::optional<std::uint8_t> firstDife)
{
    std::string out(tables::kFunctionTexts[dif >> 4]);
    if (!(dif & 0x80) || !firstDife)
        return out;
    out += "Storage is: ";
    if ((*firstDife & 0x0F) < 10)
        out.push_back(static_cast<char>('0' + (*firstDife & 0x0F)));
    out += ", Tariff is: ";
    out.push_back(static_cast<char>('0' + ((*firstDife >> 4) & 0x03)));
    out.push_back(' ');
    return out;
}

std::string reportLine(const Record &record, const WorkRow &row)
{
    std::string line;
    if (record.isManufacturerData()) {
        line = "DIF:";
        appendHex(line, record.dif());
        line += ", Manufacturer specific: ";
        line += row[ColValue];
        return line;
    }
    const std::string description = difDescription(
        record.dif(), record.dib.size() > 1 ? std::optional<std::uint8_t>(record.dib[1]) : std::nullopt);
    line.reserve(64 + row[ColDifDife].size() + row[ColVife].size() + description.size() + row[ColValue].size()
                 + row[ColUnit].size() + row[ColDescription].size());
    line += "DIF,DIFE=";
    line += row[ColDifDife];
    line += "; VIF, VIFE=";
    line += row[ColVif];
    line += ' ';
    line += row[ColVife];
    line += "; ";
    line += description;
    line += ", ";
    line += row[ColValue];
    line += ' ';
    line += row[ColUnit];
    line += ", ";
    line += row[ColDescription];
    return line;
}

std::string walkStopLine(const WalkStop &stop)
{
    std::string line;
    switch (stop.reason) {
    case WalkStop::Reason::None:
        break;
    case WalkStop::Reason::Incomplete:
        line = "Record ";
        appendInt(line, stop.record);
        line += " is incomplete, decoding stopped";
        break;
    case WalkStop::Reason::UnknownLvar:
        line = "Unknown LVAR 0x";
        appendHex(line, stop.lvar);
        line += ", decoding stopped";
        break;
    }
    return line;
}

// --- the building blocks of decode.h ----------------------------------------

RecordTable decodeRecords(mbus::ByteView reply, const DecodeOptions &options)
{
    RecordWalk walk = walkRecords(reply);
    RecordTable table;
    table.rows = workRows(walk.records, options.decimalSeparator);
    if (options.fullReport)
        for (std::size_t i = 0; i < walk.records.size(); ++i)
            table.reportLines.push_back(reportLine(walk.records[i], table.rows[i]));
    table.truncated = walk.stop.reason == WalkStop::Reason::Incomplete;
    table.moreRecordsFollow = walk.moreRecordsFollow;
    for (const Record &record : walk.records)
        table.recordData.emplace_back(record.data.view().begin(), record.data.view().end());
    if (const std::string line = walkStopLine(walk.stop); !line.empty())
        table.logLines.push_back(line);
    return table;
}

VifInfo decodeVif(mbus::ByteView reply, std::size_t vifOffset, std::uint8_t vif)
{
    std::string plainUnit;
    const Unit unit = detail::decodeUnit(Reader::recordArea(reply), vifOffset, vif, plainUnit);
    return VifInfo{unitText(unit, plainUnit), unit.description, shownExp10(unit), unit.complete};
}

double VifInfo::multiplier() const
{
    return std::pow(10.0, exp10);
}

DifInfo decodeDif(mbus::ByteView reply, std::size_t difOffset, std::size_t dataOffset, std::uint8_t vif, int exp10,
                  char decimalSeparator)
{
    DifInfo info;
    const Reader area = Reader::recordArea(reply);
    if (!area.contains(difOffset)) {
        info.complete = false;
        return info;
    }
    const std::uint8_t dif = area.at(difOffset);
    info.description = difDescription(dif, area.byte(difOffset + 1));
    const auto length = detail::dataLength(area, dif, dataOffset);
    if (!length) {
        info.complete = false;
        return info;
    }
    info.dataLength = *length;
    const Value value = detail::decodeValue(area, dif, dataOffset, *length, vif);
    appendValueText(info.value, value, dif, area.bytes(dataOffset, *length).value_or(mbus::ByteView{}), exp10,
                    decimalSeparator);
    return info;
}

} // namespace decode
