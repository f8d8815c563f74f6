#pragma once
// Every telegram the master puts on the bus, as pure builders. Each returns the
// byte-exact frame with the texts the dispatch logs when sending it fails, or,
// for input that cannot be sent, an empty frame and the refusal text.
//
//   short frame:  10 C A CS 16                       e.g. 10 7B 05 80 16
//   long frame:   68 L L 68 C A CI data.. CS 16      e.g. 68 03 03 68 73 05 50 C8 16
//
// L counts C, A, CI and the data; CS is the sum of C up to the last data byte.
// Address arguments use their low 8 bits only.

#include "bytes.h"
#include "request.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace mbus {

// C field. The frame-count bit is fixed per request, never alternated.
inline constexpr std::uint8_t kCSndNke = 0x40;
inline constexpr std::uint8_t kCReqUd2 = 0x7B;     // FCB set
inline constexpr std::uint8_t kCReqUd2Fcb0 = 0x5B; // FCB clear ("5B" setting)
inline constexpr std::uint8_t kCSndUd = 0x73;      // FCB set
inline constexpr std::uint8_t kCSndUdFcb0 = 0x53;  // FCB clear

// A field.
inline constexpr std::uint8_t kMaxPrimaryAddress = 250;
inline constexpr std::uint8_t kSelectedAddress = 0xFD;  // meters selected by secondary address
inline constexpr std::uint8_t kBroadcastAddress = 0xFE; // every meter answers
inline constexpr std::uint8_t kBroadcastNoReply = 0xFF;

// CI field.
inline constexpr std::uint8_t kCiApplicationReset = 0x50;
inline constexpr std::uint8_t kCiDataSend = 0x51;
inline constexpr std::uint8_t kCiSelectSlave = 0x52;
inline constexpr std::uint8_t kCiBaud300 = 0xB8;
inline constexpr std::uint8_t kCiBaud2400 = 0xBB;
inline constexpr std::uint8_t kCiBaud9600 = 0xBD;

// Wildcard digit of a selection pattern (nibble 0xF).
inline constexpr std::uint8_t kWildcardDigit = 15;

Bytes shortFrame(std::uint8_t c, std::uint8_t a);
Bytes longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, ByteView data);

// REQ_UD2: read the meter. use5B sends C = 0x5B instead of 0x7B.
Request buildReqUd2(int address, bool use5B);
// SND_NKE: link reset; to 253 it ends a secondary selection.
Request buildSndNke(int address);
Request buildApplicationReset(int address);
// ci must be 0xB8, 0xBB or 0xBD (see baudRateCi).
Request buildBaudChange(int address, std::uint8_t ci);
// newAddress 0..250.
Request buildPrimaryAddressWrite(int address, int newAddress);
// idText: exactly 8 digits.
Request buildIdChange(int address, std::string_view idText);
// Volume counter in litres. BCD form: 1 to 8 digits, padded on the left with
// zeros. Integer form ("GIN"): a whole number 0..4294967295 (up to 10 digits),
// all 32 bits sent, least significant byte first.
Request buildLitresWrite(int address, std::string_view valueText, bool integerForm);
// Counter value with its unit's VIF, BCD form as above.
Request buildValueWithUnitWrite(int address, std::string_view valueText, std::uint8_t vif);
// idText: 8 digits, or "FFFFFFFF" to reach every meter on a broadcast.
Request buildMediumWrite(int address, std::uint8_t mediumCode, std::string_view idText);
Request buildUnitWrite(int address, std::uint8_t mediumCode, std::uint8_t vif);
// Select one meter by its 8-digit ID; an ID with any non-digit is not sent.
Request buildSecondarySelection(std::string_view idText);
// Select by digit pattern, digits[0] being the leftmost (most significant) digit
// as the ID is read; each digit 0..9 or 15 (any digit). Version and medium
// narrow the selection down; 0xFF stands for any. Not logged as sent.
// The caller purges the serial buffers before sending it.
Request buildWildcardSelection(const std::array<std::uint8_t, 8> &digits, std::uint8_t version = 0xFF,
                               std::uint8_t medium = 0xFF);

} // namespace mbus
