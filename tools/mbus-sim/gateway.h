#pragma once
// The 300-byte gateway telegram, seen from the gateway: reading the master's
// request telegrams and building the reply telegrams it sends back.
//
// Request (master to gateway), n payload bytes:
//   0   01                 start
//   1   a b c d            network number of the gateway addressed
//   5   00
//   6   hi lo              packet counter (big-endian)
//   8   00 01
//   10  sum of 0..9        header checksum
//   11  04                 end of header
//   12  A8 | A1            section: M-Bus frame | display command
//   13  n + 2 (mod 256)    section length
//   14  10 00 | 00 00      section flags
//   16  payload (n bytes, at most 280)
//   16+n sum of 13..15+n   section checksum
//   17+n AA                end of section, then zeros up to 297
//   298 sum of 0..297      telegram checksum
//   299 04                 stop
//
// Reply (gateway to master), as we build it; the master reads only the bytes
// marked *:
//   0*  01   1* a b c d (our network number)   5 00   6 hi lo (the request's
//   packet counter echoed)   8 00 01   10..18 zeros   19* sum of 0..18   20 04
//   then either a status section alone at 21, or a data section at 21 followed
//   by a status section at 25+L:
//     data:    21* type  22* L = n+4  23 flags as in a request  25* payload
//              21+L section checksum (sum of 22..20+L)  22+L AA  23+L 00 00
//     status:  S* A5  S+1 06  S+2 10  S+3* result  S+4* second error
//              S+5* first error  S+6 section checksum (sum of S+1..S+5)  S+7 AA
//   zeros up to 297, 298* sum of 0..297, 299* 04.
// The byte before the result is not zero on purpose: a master reading the
// status one byte early sees an error where there is none.

#include "mbus/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mbussim::gateway {

using mbus::Bytes;
using mbus::ByteView;

inline constexpr std::size_t kTelegramSize = 300;
inline constexpr std::size_t kMaxRequestPayload = 280;
inline constexpr std::size_t kMaxReplyPayload = 251; // L = n + 4 must fit one byte

inline constexpr std::uint8_t kStart = 0x01;
inline constexpr std::uint8_t kHeaderEnd = 0x04;
inline constexpr std::uint8_t kStop = 0x04;
inline constexpr std::uint8_t kSectionEnd = 0xAA;
inline constexpr std::uint8_t kMbusSection = 0xA8;
inline constexpr std::uint8_t kDisplaySection = 0xA1;
inline constexpr std::uint8_t kStatusSection = 0xA5;

// First error byte of a status section.
inline constexpr std::uint8_t kErrHeaderChecksum = 0x01;
inline constexpr std::uint8_t kErrTelegramChecksum = 0x02;
inline constexpr std::uint8_t kErrLength = 0x04;
inline constexpr std::uint8_t kErrStart = 0x08;
inline constexpr std::uint8_t kErrDenied = 0x10;
inline constexpr std::uint8_t kErrUnknown = 0x20;
inline constexpr std::uint8_t kErrStartStop = 0x40;
inline constexpr std::uint8_t kErrNetwork = 0x80;
// Second error byte.
inline constexpr std::uint8_t kErrPacket = 0x01;
inline constexpr std::uint8_t kErrTimeout = 0x02;
inline constexpr std::uint8_t kErrMbusCommand = 0x40;
inline constexpr std::uint8_t kErrGeneral = 0x80;

using NetworkNumber = std::array<std::uint8_t, 4>;

// "a.b.c.d", each part 0..255 in decimal; nullopt for anything else.
std::optional<NetworkNumber> parseNetworkNumber(const std::string &text);
std::string networkText(const NetworkNumber &net);

struct Request {
    NetworkNumber net{};
    std::uint16_t packet = 0;
    std::uint8_t type = kMbusSection;
    Bytes payload;
};

// The request telegram for `request`, flags after its type; empty when the
// payload is longer than 280 bytes. Tests and tools play the master with it.
Bytes buildRequest(const Request &request);

struct RequestCheck {
    std::optional<Request> request; // set when every check passed
    std::uint16_t packet = 0;       // as read, even from a broken telegram
    NetworkNumber net{};            // likewise
    std::uint8_t firstError = 0;    // the error bits the reply reports
    std::uint8_t secondError = 0;
    std::vector<std::string> problems; // one text per broken part
    bool ok() const { return request.has_value(); }
};

// Checks every part of a request telegram; never reads past `telegram`.
RequestCheck parseRequest(ByteView telegram);

struct Status {
    std::uint8_t result = 0; // 0 done, 1 failed
    std::uint8_t firstError = 0;
    std::uint8_t secondError = 0;
    bool operator==(const Status &) const = default;
};

struct Reply {
    NetworkNumber net{};
    std::uint16_t packet = 0;
    std::optional<Bytes> payload; // set: a data section before the status
    std::uint8_t dataType = kMbusSection;
    Status status;
};

// The reply telegram; empty when the payload is longer than kMaxReplyPayload.
Bytes buildReply(const Reply &reply);

// A reply as the master reads it: start, header checksum, telegram checksum and
// stop in this order (the first failure is `error`), then the sections.
struct ReadReply {
    std::string error; // empty when the telegram checks out
    NetworkNumber net{};
    std::uint8_t type = 0; // type of the first section
    Bytes payload;
    Status status;
    bool ok() const { return error.empty(); }
};
ReadReply readReply(ByteView telegram);

// "header checksum, start byte": the meaning of the bits set, for the output.
std::string errorText(const Status &status);

} // namespace mbussim::gateway
