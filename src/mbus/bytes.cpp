#include "bytes.h"

namespace mbus {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string hexWith(ByteView bytes, bool spaced)
{
    std::string text;
    text.reserve(bytes.size() * (spaced ? 3 : 2));
    for (std::uint8_t b : bytes) {
        text.push_back(kHexDigits[b >> 4]);
        text.push_back(kHexDigits[b & 0x0F]);
        if (spaced)
            text.push_back(' ');
    }
    return text;
}
} // namespace

std::string hexLogForm(ByteView bytes) { return hexWith(bytes, true); }

std::string hexCompact(ByteView bytes) { return hexWith(bytes, false); }

std::uint8_t MBusChecksum(ByteView bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum);
}

} // namespace mbus
