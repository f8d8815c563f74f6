#pragma once
// One reading that came in several telegrams: every telegram but the last
// ends with DIF 1F ("more records follow"). The telegrams are decoded one by
// one and joined into one result, as if the meter had sent one long reply:
// the header of the first, the records of all in order (the 1F markers
// dropped, the records numbered on), one detailed report.

#include "decode.h"

#include <vector>

namespace decode {

// Telegrams in the order they arrived; each is a reply decodeReply accepts.
// With one telegram the result is exactly decodeReply's. valid is true when
// every telegram is valid; a telegram that is not valid ends the reading there
// (its lines are logged, its records are not taken).
DecodeResult decodeReplies(const std::vector<mbus::ByteView> &telegrams, const DecodeOptions &options);

// The reply's record walk ends at DIF 1F: the meter has another telegram.
bool announcesMoreRecords(mbus::ByteView reply);

} // namespace decode
