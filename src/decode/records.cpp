// The record walk: DIF, DIFEs, VIF (with its plain-text unit), VIFEs, data; one
// work-table row per record, and one report line per record for a full report.
//
// Example record: 84 40 13 39 30 00 00 -> DIF 84, DIFE 40, VIF 13, four data
// bytes 12345 x 0.001 = "12.345" "m3" "KV1".

#include "decode.h"
#include "text_append.h"
#include "values.h"

namespace decode {

namespace {

constexpr std::size_t kFirstRecord = 19;
constexpr std::uint8_t kIdleFiller = 0x2F;
constexpr std::uint8_t kMoreRecordsFollow = 0x1F;

bool isVariable(std::uint8_t dif)
{
    return (dif & 0x0F) == 0x0D;
}

bool isPlainTextVif(std::uint8_t vif)
{
    return (vif & 0x7F) == 0x7C;
}

// Offset after a chain of bytes that starts at `first` and goes on while the
// extension bit is set, without leaving the area. When the area ends inside the
// chain (or before it) the result lies at or past the area's end.
std::size_t afterChain(const Reader &area, std::size_t first)
{
    std::size_t i = first;
    while ((area.at(i) & 0x80) && area.contains(i + 1))
        ++i;
    return i + 1;
}

// The walk cannot go on past a record it cannot read to its end: where the
// next one starts is unknown. The rows before it stay.
void stopIncomplete(RecordTable &table, int number)
{
    table.truncated = true;
    std::string line = "Record ";
    appendInt(line, number);
    line += " is incomplete, decoding stopped";
    table.logLines.push_back(std::move(line));
}

void stopUnknownLvar(RecordTable &table, std::uint8_t lvar)
{
    std::string line = "Unknown LVAR 0x";
    appendHex(line, lvar);
    line += ", decoding stopped";
    table.logLines.push_back(std::move(line));
}

void writeManufacturerRecord(RecordTable &table, const Reader &area, std::size_t difOffset, int number, bool fullReport)
{
    WorkRow &row = table.rows.back();
    appendInt(row[ColNumber], number);
    const mbus::ByteView data = area.from(difOffset + 1);
    row[ColValue].reserve(3 * data.size());
    mbus::appendHexLogForm(row[ColValue], data);
    row[ColDescription] += "Manf. secific";
    if (fullReport) {
        std::string line = "DIF:";
        appendHex(line, area.at(difOffset));
        line += ", Manufacturer specific: ";
        line += row[ColValue];
        table.reportLines.push_back(std::move(line));
    }
}

std::string reportLine(const WorkRow &row, std::string_view difDescription)
{
    std::string line;
    line.reserve(64 + row[ColDifDife].size() + row[ColVife].size() + difDescription.size() + row[ColValue].size()
                 + row[ColUnit].size() + row[ColDescription].size());
    line += "DIF,DIFE=";
    line += row[ColDifDife];
    line += "; VIF, VIFE=";
    line += row[ColVif];
    line += ' ';
    line += row[ColVife];
    line += "; ";
    line += difDescription;
    line += ", ";
    line += row[ColValue];
    line += ' ';
    line += row[ColUnit];
    line += ", ";
    line += row[ColDescription];
    return line;
}

} // namespace

RecordTable decodeRecords(mbus::ByteView reply, const DecodeOptions &options)
{
    RecordTable table;
    const Reader area = Reader::recordArea(reply);
    table.rows.reserve(area.size() > kFirstRecord ? (area.size() - kFirstRecord) / 4 + 2 : 1);
    table.rows.emplace_back(); // the table's one empty row

    std::string difDescription;
    int number = 1;
    std::size_t p = kFirstRecord;
    while (area.contains(p)) {
        const std::uint8_t dif = area.at(p);
        if (dif == kIdleFiller) { // padding between or before records: no record of its own
            ++p;
            continue;
        }
        if ((dif & 0x0F) == 0x0F) { // manufacturer data (0F, 1F) to the end
            writeManufacturerRecord(table, area, p, number, options.fullReport);
            const mbus::ByteView rest = area.from(p + 1);
            table.recordData.emplace_back(rest.begin(), rest.end());
            table.moreRecordsFollow = dif == kMoreRecordsFollow;
            break;
        }

        const std::size_t vifOffset = afterChain(area, p);
        if (!area.contains(vifOffset)) {
            stopIncomplete(table, number);
            break;
        }
        const std::uint8_t vif = area.at(vifOffset);

        // A plain-text unit (length byte and characters) sits right after the VIF
        // and is stepped over, not read as data; with 0xFC its VIFEs follow the text.
        std::size_t vifeOffset = vifOffset + 1;
        std::size_t dataOffset = afterChain(area, vifOffset);
        if (isPlainTextVif(vif)) {
            const auto textLength = area.byte(vifOffset + 1);
            if (!textLength || !area.has(vifOffset + 2, *textLength)) {
                stopIncomplete(table, number);
                break;
            }
            vifeOffset = vifOffset + 2 + *textLength;
            dataOffset = vif & 0x80 ? afterChain(area, vifeOffset) : vifeOffset;
        }
        if (!area.contains(dataOffset)) {
            stopIncomplete(table, number);
            break;
        }
        const auto length = detail::dataLength(area, dif, dataOffset);
        if (!length) {
            const auto lvar = area.byte(dataOffset);
            if (isVariable(dif) && lvar && !detail::lvarPayload(*lvar))
                stopUnknownLvar(table, *lvar);
            else
                stopIncomplete(table, number);
            break;
        }

        WorkRow &row = table.rows.back();
        const detail::VifMeaning meaning = detail::decodeVif(area, vifOffset, vif, row[ColUnit]);
        appendInt(row[ColNumber], number);
        detail::appendValue(row[ColValue], area, dif, dataOffset, *length, vif, meaning.exp10,
                            options.decimalSeparator);
        row[ColDescription] += meaning.description;
        mbus::appendHexLogForm(row[ColDifDife], area.from(p).first(vifOffset - p));
        appendHex(row[ColVif], vif);
        mbus::appendHexLogForm(row[ColVife], area.from(vifeOffset).first(dataOffset - vifeOffset));
        if (options.fullReport) {
            difDescription.clear();
            detail::appendDifDescription(difDescription, area, p);
            table.reportLines.push_back(reportLine(row, difDescription));
        }
        table.rows.emplace_back();
        const mbus::ByteView data = area.from(dataOffset).first(*length);
        table.recordData.emplace_back(data.begin(), data.end());

        ++number;
        p = dataOffset + *length;
    }
    return table;
}

} // namespace decode
