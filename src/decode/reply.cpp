// A reply as the window shows it: the log lines, the header texts, the work
// table and the detailed report, all made from the typed telegram.

#include "decode.h"
#include "header.h"
#include "record_text.h"
#include "text_append.h"

namespace decode {

namespace {

void addFrameFaultLines(std::vector<std::string> &lines, unsigned faults)
{
    if (faults & kWrongStart)
        lines.emplace_back("Wrong START byte");
    if (faults & kWrongChecksum)
        lines.emplace_back("Wrong CRC");
    if (faults & kWrongStop)
        lines.emplace_back("Wrong STOP byte");
    if (faults & kWrongLength)
        lines.emplace_back("Wrong length in the header");
}

std::vector<std::string> reportHeadLines(const ReplyHeader &h)
{
    std::string access = "Access counter: ";
    appendInt(access, h.accessNumber);
    access += ", Status: ";
    access += h.statusText;
    access += ", Model: ";
    return {"ID:" + h.idText + ", Mfr: " + h.manufacturer + ", Main medium: " + h.mediumName, std::move(access)};
}

} // namespace

void formatRecords(DecodeResult &result, const DecodeOptions &options, bool cutShort)
{
    result.rows = workRows(result.records, options.decimalSeparator, cutShort);
    result.recordData.clear();
    result.recordData.reserve(result.records.size());
    for (const Record &record : result.records)
        result.recordData.emplace_back(record.data.view().begin(), record.data.view().end());
    if (!options.fullReport)
        return;
    std::vector<std::string> &lines = result.reportLines;
    lines = reportHeadLines(result.header);
    for (std::size_t i = 0; i < result.records.size(); ++i)
        lines.push_back(reportLine(result.records[i], result.rows[i]));
    lines.push_back("Decoded at " + options.timeText + ", " + options.dateText);
    lines.emplace_back();
    result.reportWritten = true;
}

DecodeResult decodeReply(mbus::ByteView reply, const DecodeOptions &options)
{
    DecodeResult result;
    const std::size_t n = reply.size();
    {
        std::string line;
        line.reserve(9 + 3 * n);
        line = "Respond: ";
        mbus::appendHexLogForm(line, reply);
        result.logLines.push_back(std::move(line));
    }
    Telegram telegram = decodeTelegram(reply);
    result.valid = telegram.valid;
    addFrameFaultLines(result.logLines, telegram.frameFaults);
    if (!telegram.valid)
        return result;
    if (!telegram.headerDecoded) {
        std::string line = "Exception - Reply too short for a data header: ";
        appendInt(line, static_cast<long long>(n));
        line += " bytes";
        result.logLines.push_back(std::move(line));
        return result;
    }

    result.headerDecoded = true;
    result.meter = telegram.header;
    result.header = headerTexts(telegram.header, options.fullReport);
    result.records = std::move(telegram.records);
    result.recordsTruncated = telegram.stop.reason == WalkStop::Reason::Incomplete;
    result.moreRecordsFollow = telegram.moreRecordsFollow;
    if (std::string line = walkStopLine(telegram.stop); !line.empty())
        result.logLines.push_back(std::move(line));
    formatRecords(result, options, false);
    result.updateDeviceTable = !options.fullReport;
    return result;
}

} // namespace decode
