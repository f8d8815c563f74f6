#pragma once
// First look at the bytes collected after a request, before any decoding: the
// handlers only tell silence and a lone acknowledgement from a possible RSP_UD.
// Start bytes, length and checksum are the decoder's business.

#include "bytes.h"

#include <string_view>

namespace mbus {

enum class ReplyKind {
    NoResponse,  // nothing arrived
    Acknowledge, // exactly the single character E5
    Candidate,   // anything else: hand it whole to the decoder
};

inline constexpr std::uint8_t kAcknowledgeByte = 0xE5;
inline constexpr std::string_view kAcknowledgeLogText = "0xE5 (Acknowledge)";

ReplyKind classifyReply(ByteView reply);

// The read-all walk also takes a lone stray byte (anything shorter than 2 bytes
// that is not E5) for silence.
ReplyKind classifyReadAllReply(ByteView reply);

} // namespace mbus
