#include "frames.h"

namespace mbussim {

FrameCheck checkFrame(ByteView buffer)
{
    using S = FrameCheck::Status;
    if (buffer.empty())
        return {S::NeedMore, 0, ""};
    switch (buffer[0]) {
    case kAck:
        return {S::Complete, 1, ""};
    case kShortStart: {
        if (buffer.size() < 5)
            return {S::NeedMore, 0, ""};
        if (buffer[4] != kStop)
            return {S::Invalid, 0, "short frame without stop byte"};
        if (mbus::frameChecksum(buffer.subspan(1, 2)) != buffer[3])
            return {S::Invalid, 0, "short frame with bad checksum"};
        return {S::Complete, 5, ""};
    }
    case kLongStart: {
        if (buffer.size() < 4)
            return {S::NeedMore, 0, ""};
        const std::size_t l = buffer[1];
        if (buffer[2] != l || buffer[3] != kLongStart)
            return {S::Invalid, 0, "long frame with a bad header"};
        if (l < 3)
            return {S::Invalid, 0, "long frame shorter than C, A, CI"};
        const std::size_t total = l + 6;
        if (buffer.size() < total)
            return {S::NeedMore, 0, ""};
        if (buffer[total - 1] != kStop)
            return {S::Invalid, 0, "long frame without stop byte"};
        if (mbus::frameChecksum(buffer.subspan(4, l)) != buffer[total - 2])
            return {S::Invalid, 0, "long frame with bad checksum"};
        return {S::Complete, total, ""};
    }
    default:
        return {S::Invalid, 0, "not a frame"};
    }
}

std::optional<Frame> parseFrame(ByteView bytes)
{
    const FrameCheck check = checkFrame(bytes);
    if (check.status != FrameCheck::Status::Complete || check.length != bytes.size())
        return std::nullopt;
    Frame f;
    switch (bytes[0]) {
    case kAck:
        f.kind = Frame::Kind::Ack;
        break;
    case kShortStart:
        f.kind = Frame::Kind::Short;
        f.c = bytes[1];
        f.a = bytes[2];
        break;
    default:
        f.kind = Frame::Kind::Long;
        f.c = bytes[4];
        f.a = bytes[5];
        f.ci = bytes[6];
        f.data = bytes.subspan(7, bytes[1] - 3u);
        break;
    }
    return f;
}

Bytes shortFrame(std::uint8_t c, std::uint8_t a)
{
    return {kShortStart, c, a, static_cast<std::uint8_t>(c + a), kStop};
}

Bytes longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, ByteView data)
{
    if (data.size() > 252)
        data = data.first(252);
    const auto l = static_cast<std::uint8_t>(data.size() + 3);
    Bytes f;
    f.reserve(data.size() + 9);
    for (std::uint8_t b : {kLongStart, l, l, kLongStart, c, a, ci})
        f.push_back(b);
    for (std::uint8_t b : data)
        f.push_back(b);
    f.push_back(mbus::frameChecksum(ByteView(f).subspan(4)));
    f.push_back(kStop);
    return f;
}

bool longFrameChecksOut(ByteView frame)
{
    const std::size_t n = frame.size();
    if (n < 8)
        return false;
    return mbus::frameChecksum(frame.subspan(4, n - 6)) == frame[n - 2] && frame[n - 1] == kStop && frame[1] + 6u == n;
}

std::string hexByte(std::uint8_t byte)
{
    return mbus::hexCompact(ByteView(&byte, 1));
}

std::string hexLine(ByteView bytes)
{
    std::string s = mbus::hexLogForm(bytes);
    if (!s.empty())
        s.pop_back();
    return s;
}

} // namespace mbussim
