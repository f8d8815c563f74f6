#include "telegrams.h"

#include "record_text.h"

namespace decode {

DecodeResult decodeReplies(const std::vector<mbus::ByteView> &telegrams, const DecodeOptions &options)
{
    if (telegrams.empty())
        return {};
    DecodeResult merged = decodeReply(telegrams.front(), options);
    if (telegrams.size() == 1 || !merged.valid || !merged.headerDecoded)
        return merged;

    // Every telegram but the last gives up its 1F marker, its last record.
    const auto takeRecords = [&merged](std::vector<Record> &records, bool moreFollow, bool last) {
        if (!last && moreFollow && !records.empty())
            records.pop_back();
        for (Record &record : records)
            merged.records.push_back(std::move(record));
    };
    std::vector<Record> first = std::move(merged.records);
    merged.records.clear();
    takeRecords(first, merged.moreRecordsFollow, false);
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
        merged.recordsTruncated = merged.recordsTruncated || next.recordsTruncated;
        merged.moreRecordsFollow = next.moreRecordsFollow;
        takeRecords(next.records, next.moreRecordsFollow, i + 1 == telegrams.size());
    }
    // Cut short: the reading ends after the records of the telegrams that
    // came, with the empty row the table always has after its records.
    formatRecords(merged, options, !complete);
    return merged;
}

bool announcesMoreRecords(mbus::ByteView reply)
{
    return walkRecords(reply).moreRecordsFollow;
}

} // namespace decode
