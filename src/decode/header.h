#pragma once
// The fixed part of an RSP_UD reply (CI 0x72 layout), offsets from the first
// start byte:
//   68 L L 68 C A CI | ID ID ID ID | MAN MAN | VER MED ACC STA SIG SIG | records | CS 16
//   0  1 2 3  4 5 6  | 7  8  9  10 | 11  12  | 13  14  15  16  17  18  | 19 ..   | N-2 N-1

#include "decode.h"
#include "record.h"

#include <array>
#include <string>
#include <string_view>

namespace decode {

inline constexpr std::size_t kHeaderReplySize = 21; // header plus checksum and stop byte

// Three-letter code of the 16-bit manufacturer field (letters from 5-bit groups;
// the top group is not masked, so bit 15 reaches the lower-case range).
std::string manufacturerCode(std::uint16_t field);

// "Water", "Heat (rt)", ...; "Unknown" for codes the program does not know.
std::string_view mediumName(std::uint8_t medium);

// U1..U4 of a medium: the units its main values come in; U1 is the main unit.
const std::array<std::string_view, 4> &unitSlots(std::uint8_t medium);

// Medium name and unit slots of a medium byte.
void setMedium(ReplyHeader &header, std::uint8_t medium);

// "0x84", or the letters of the set status bits for "QRV" meters outside full
// reports and with a version other than 0x1B.
std::string statusText(std::uint8_t status, std::uint8_t version, const std::string &manufacturer, bool fullReport);

// The fixed header of a reply; bytes past its end read as 0.
MeterHeader readHeader(mbus::ByteView reply);

// "12345678": the ID bytes as 8 hex digits, most significant first.
std::string idText(const MeterHeader &header);

// The header's texts; the status text depends on the mode (see statusText).
ReplyHeader headerTexts(const MeterHeader &header, bool fullReport);

// Header of a reply of at least kHeaderReplySize bytes.
ReplyHeader decodeHeader(mbus::ByteView reply, bool fullReport);

} // namespace decode
