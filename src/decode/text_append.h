#pragma once
// Small appenders for the texts the decoder builds: hex bytes and plain integers,
// written straight into the destination string.

#include "mbus/bytes.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>

namespace decode {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// "00" "01" ... "FF", so one byte costs one two-character copy.
inline constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (int b = 0; b < 256; ++b) {
        pairs[2 * b] = kHexDigits[b >> 4];
        pairs[2 * b + 1] = kHexDigits[b & 0x0F];
    }
    return pairs;
}();

// "7B"
inline void appendHex(std::string &out, std::uint8_t b)
{
    out.append(&kHexPairs[2 * b], 2);
}

inline void appendInt(std::string &out, long long value)
{
    if (value >= 0 && value < 10) { // record numbers, date parts
        out.push_back(static_cast<char>('0' + value));
        return;
    }
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

} // namespace decode
