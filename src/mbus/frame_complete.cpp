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

} // namespace mbus
