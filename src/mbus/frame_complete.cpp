#include "frame_complete.h"

namespace mbus {

namespace {
constexpr std::uint8_t kSingle = 0xE5;
constexpr std::uint8_t kShortStart = 0x10;
constexpr std::uint8_t kLongStart = 0x68;
constexpr std::uint8_t kStop = 0x16;
constexpr std::size_t kShortSize = 5;
constexpr std::size_t kLongOverhead = 6; // 68 L L 68 .. CS 16
} // namespace

bool isCompleteFrame(ByteView bytes)
{
    const std::size_t n = bytes.size();
    if (n == 1)
        return bytes[0] == kSingle;
    if (n == kShortSize && bytes[0] == kShortStart)
        return bytes[4] == kStop && frameChecksum(bytes.subspan(1, 2)) == bytes[3];
    if (n < kLongOverhead + 3 || bytes[0] != kLongStart || bytes[3] != kLongStart || bytes[1] != bytes[2])
        return false;
    return n == bytes[1] + kLongOverhead && bytes[n - 1] == kStop
           && frameChecksum(bytes.subspan(4, n - kLongOverhead)) == bytes[n - 2];
}

std::size_t frameBytesMissing(ByteView bytes)
{
    const std::size_t n = bytes.size();
    if (n == 0)
        return 0;
    if (bytes[0] == kShortStart)
        return n < kShortSize ? kShortSize - n : 0;
    if (bytes[0] != kLongStart)
        return 0;
    if (n < 2)
        return kLongOverhead + 3 - n; // the shortest long frame
    if ((n >= 3 && bytes[2] != bytes[1]) || (n >= 4 && bytes[3] != kLongStart))
        return 0;
    const std::size_t whole = bytes[1] + kLongOverhead;
    return n < whole ? whole - n : 0;
}

} // namespace mbus
