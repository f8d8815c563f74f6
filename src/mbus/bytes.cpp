#include "bytes.h"

namespace mbus {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHex(std::string &out, ByteView bytes, bool spaced)
{
    const std::size_t start = out.size();
    const std::size_t width = spaced ? 3 : 2;
    out.resize(start + width * bytes.size());
    char *p = out.data() + start;
    for (std::uint8_t b : bytes) {
        p[0] = kHexDigits[b >> 4];
        p[1] = kHexDigits[b & 0x0F];
        if (spaced)
            p[2] = ' ';
        p += width;
    }
}
} // namespace

void appendHexLogForm(std::string &out, ByteView bytes)
{
    appendHex(out, bytes, true);
}

void appendHexCompact(std::string &out, ByteView bytes)
{
    appendHex(out, bytes, false);
}

std::string hexLogForm(ByteView bytes)
{
    std::string text;
    appendHexLogForm(text, bytes);
    return text;
}

std::string hexCompact(ByteView bytes)
{
    std::string text;
    appendHexCompact(text, bytes);
    return text;
}

std::uint8_t frameChecksum(ByteView bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum);
}

} // namespace mbus
