#pragma once
// User texts (identification numbers, values, medium and unit names, baud rates)
// turned into the bytes a request telegram carries. None of these reads past its
// input; a text that does not fit gives no bytes at all.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mbus {

using Bcd4 = std::array<std::uint8_t, 4>;

// An 8-character identification number d1..d8 (d1 = leftmost, most significant)
// as 4 BCD bytes, least significant byte first: "12345678" -> 78 56 34 12.
// Anything but exactly 8 characters '0'..'9' gives nothing. With allowWildcard
// an upper-case 'F' is also accepted and becomes the wildcard nibble 0xF.
std::optional<Bcd4> idToBcd(std::string_view text, bool allowWildcard = false);

// A counter value of 1 to 8 decimal digits as 8 BCD digits, padded on the left
// with zeros: "7" -> 07 00 00 00, "12345" -> 45 23 01 00.
std::optional<Bcd4> valueToBcd(std::string_view text);

// A counter value as an unsigned 32-bit integer: 1 to 10 decimal digits, at most
// 4294967295. No sign, no blanks.
std::optional<std::uint32_t> valueToInteger(std::string_view text);

// Medium name as shown in the medium box and the device grid -> medium code.
// Exact, case-sensitive; an unknown name gives 0x0F.
std::uint8_t mediumCode(std::string_view name);

// Unit ("l", "Wh", "kJ", "N/A") and multiplier ("0.001" ... "10000") -> VIF.
// Exact texts; an unknown unit gives 0x00, and so does an unknown multiplier
// for every unit but "N/A".
std::uint8_t unitVif(std::string_view unit, std::string_view multiplier);

// Baud rate (300, 2400, 9600) -> CI of the baud change (0xB8, 0xBB, 0xBD).
std::optional<std::uint8_t> baudRateCi(int baud);

struct MediumName {
    std::string_view name;
    std::uint8_t code;
};

// Names with their own code; every other text is 0x0F.
inline constexpr std::array<MediumName, 12> kMediumNames{{
    {"Oil", 0x01},
    {"Electricity", 0x02},
    {"Gas", 0x03},
    {"Heat meter", 0x04},
    {"Steam", 0x05},
    {"Hot water", 0x06},
    {"Water", 0x07},
    {"H.C.A", 0x08},
    {"Cold meter", 0x0B},
    {"Cold water", 0x16},
    {"Pressure", 0x18},
    {"Other", 0x00},
}};
inline constexpr std::uint8_t kUnknownMedium = 0x0F;

inline constexpr std::array<std::string_view, 4> kUnitNames{"l", "Wh", "kJ", "N/A"};

// Position k in this list is the exponent step added to the unit's base VIF.
inline constexpr std::array<std::string_view, 8> kMultiplierNames{"0.001", "0.01", "0.1",  "1",
                                                                  "10",    "100",  "1000", "10000"};

} // namespace mbus
