#include "telegrams.h"

#include "text_append.h"

namespace decode {

namespace {

// Report lines: two header lines, one line per record, "Decoded at", an empty line.
constexpr std::size_t kReportHeadLines = 2;
constexpr std::size_t kReportTailLines = 2;

struct Reading {
    std::vector<WorkRow> rows;
    std::vector<mbus::Bytes> data;
    std::vector<std::string> reportRecords;
};

// Takes a telegram's records into the reading, numbered on. Every telegram
// but the last gives up the 1F marker (its last record) and the work table's
// empty row after its records; the last keeps its rows as they are.
void take(Reading &reading, DecodeResult &telegram, bool last)
{
    std::vector<WorkRow> &rows = telegram.rows;
    std::size_t records = telegram.recordData.size();
    std::size_t keepRows = rows.size();
    std::size_t reportEnd = telegram.reportLines.size() >= kReportHeadLines + kReportTailLines
                                ? telegram.reportLines.size() - kReportTailLines
                                : kReportHeadLines;
    if (!last) {
        if (telegram.moreRecordsFollow && records > 0) {
            --records;
            if (reportEnd > kReportHeadLines)
                --reportEnd;
        }
        keepRows = std::min(keepRows, records);
    }
    for (std::size_t i = 0; i < keepRows; ++i) {
        WorkRow &row = rows[i];
        if (!row[ColNumber].empty()) {
            row[ColNumber].clear();
            appendInt(row[ColNumber], static_cast<long long>(reading.data.size() + 1));
            if (i < telegram.recordData.size())
                reading.data.push_back(std::move(telegram.recordData[i]));
        }
        reading.rows.push_back(std::move(row));
    }
    for (std::size_t i = kReportHeadLines; i < reportEnd; ++i)
        reading.reportRecords.push_back(std::move(telegram.reportLines[i]));
}

} // namespace

DecodeResult decodeReplies(const std::vector<mbus::ByteView> &telegrams, const DecodeOptions &options)
{
    if (telegrams.empty())
        return {};
    DecodeResult merged = decodeReply(telegrams.front(), options);
    if (telegrams.size() == 1 || !merged.valid || !merged.headerDecoded)
        return merged;

    Reading reading;
    take(reading, merged, false);
    bool complete = true;
    for (std::size_t i = 1; i < telegrams.size(); ++i) {
        DecodeResult next = decodeReply(telegrams[i], options);
        for (std::string &line : next.logLines)
            merged.logLines.push_back(std::move(line));
        if (!next.valid || !next.headerDecoded) {
            merged.valid = merged.valid && next.valid;
            complete = false;
            break;
        }
        const bool last = i + 1 == telegrams.size();
        merged.recordsTruncated = merged.recordsTruncated || next.recordsTruncated;
        merged.moreRecordsFollow = next.moreRecordsFollow;
        take(reading, next, last);
    }
    // Cut short: the reading ends after the records of the telegrams that
    // came, with the empty row the table always has after its records.
    if (!complete)
        reading.rows.emplace_back();
    merged.rows = std::move(reading.rows);
    merged.recordData = std::move(reading.data);

    if (merged.reportWritten && merged.reportLines.size() >= kReportHeadLines) {
        merged.reportLines.resize(kReportHeadLines);
        for (std::string &line : reading.reportRecords)
            merged.reportLines.push_back(std::move(line));
        merged.reportLines.push_back("Decoded at " + options.timeText + ", " + options.dateText);
        merged.reportLines.emplace_back();
    }
    return merged;
}

bool announcesMoreRecords(mbus::ByteView reply)
{
    return decodeRecords(reply, DecodeOptions()).moreRecordsFollow;
}

} // namespace decode
