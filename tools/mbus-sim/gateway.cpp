#include "gateway.h"

#include "frames.h"

#include <algorithm>
#include <charconv>

namespace mbussim::gateway {

namespace {
constexpr std::size_t kHeaderChecksumAt = 10;
constexpr std::size_t kSectionAt = 12;
constexpr std::size_t kChecksumAt = 298;
constexpr std::size_t kStopAt = 299;
constexpr std::size_t kReplyHeaderChecksumAt = 19;
constexpr std::size_t kReplySectionAt = 21;
constexpr std::uint8_t kStatusLength = 0x06;
constexpr std::uint8_t kStatusFlag = 0x10;

std::uint8_t sum(ByteView bytes, std::size_t from, std::size_t to) // from..to inclusive
{
    return mbus::frameChecksum(bytes.subspan(from, to - from + 1));
}

std::array<std::uint8_t, 2> flagsOf(std::uint8_t type)
{
    if (type == kMbusSection)
        return {0x10, 0x00};
    return {0x00, 0x00};
}

void put(Bytes &t, std::size_t at, std::uint8_t value)
{
    if (at < t.size())
        t[at] = value;
}

// Status section at `at`; 8 bytes.
void putStatus(Bytes &t, std::size_t at, const Status &s)
{
    put(t, at, kStatusSection);
    put(t, at + 1, kStatusLength);
    put(t, at + 2, kStatusFlag);
    put(t, at + 3, s.result);
    put(t, at + 4, s.secondError);
    put(t, at + 5, s.firstError);
    put(t, at + 6, sum(t, at + 1, at + 5));
    put(t, at + 7, kSectionEnd);
}

void finish(Bytes &t)
{
    t[kChecksumAt] = sum(t, 0, kChecksumAt - 1);
    t[kStopAt] = kStop;
}

struct SectionFit {
    std::size_t length = 0; // payload length n
    bool checksum = false;
    bool end = false;
    bool padding = false;
    bool ok() const { return checksum && end && padding; }
};

// The length byte holds n + 2 modulo 256, so n may be L-2 or L-2+256: both are
// tried, and the one that ends in AA with a good checksum and zeros after wins.
SectionFit fitSection(ByteView t)
{
    const std::size_t shortN = static_cast<std::uint8_t>(t[kSectionAt + 1] - 2);
    SectionFit best;
    for (std::size_t n : {shortN, shortN + 256}) {
        if (n > kMaxRequestPayload)
            continue;
        SectionFit fit;
        fit.length = n;
        fit.checksum = sum(t, 13, 15 + n) == t[16 + n];
        fit.end = t[17 + n] == kSectionEnd;
        fit.padding = std::all_of(t.begin() + static_cast<std::ptrdiff_t>(18 + n), t.begin() + kChecksumAt,
                                  [](std::uint8_t b) { return b == 0; });
        if (fit.ok())
            return fit;
        if (n == shortN || (fit.end && !best.end))
            best = fit;
    }
    return best;
}
} // namespace

std::optional<NetworkNumber> parseNetworkNumber(const std::string &text)
{
    NetworkNumber net{};
    const char *p = text.data();
    const char *end = text.data() + text.size();
    for (std::size_t i = 0; i < net.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != '.')
                return std::nullopt;
            ++p;
        }
        if (p == end || *p < '0' || *p > '9')
            return std::nullopt;
        unsigned value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || value > 255 || next - p > 3)
            return std::nullopt;
        net[i] = static_cast<std::uint8_t>(value);
        p = next;
    }
    if (p != end)
        return std::nullopt;
    return net;
}

std::string networkText(const NetworkNumber &net)
{
    return std::to_string(net[0]) + "." + std::to_string(net[1]) + "." + std::to_string(net[2]) + "."
           + std::to_string(net[3]);
}

Bytes buildRequest(const Request &request)
{
    const std::size_t n = request.payload.size();
    if (n > kMaxRequestPayload)
        return {};
    Bytes t(kTelegramSize, 0);
    t[0] = kStart;
    std::copy(request.net.begin(), request.net.end(), t.begin() + 1);
    t[6] = static_cast<std::uint8_t>(request.packet >> 8);
    t[7] = static_cast<std::uint8_t>(request.packet);
    t[9] = 0x01;
    t[kHeaderChecksumAt] = sum(t, 0, 9);
    t[11] = kHeaderEnd;
    t[12] = request.type;
    t[13] = static_cast<std::uint8_t>(n + 2);
    const auto flags = flagsOf(request.type);
    t[14] = flags[0];
    t[15] = flags[1];
    std::copy(request.payload.begin(), request.payload.end(), t.begin() + 16);
    t[16 + n] = sum(t, 13, 15 + n);
    t[17 + n] = kSectionEnd;
    finish(t);
    return t;
}

RequestCheck parseRequest(ByteView t)
{
    RequestCheck r;
    const auto problem = [&r](std::uint8_t first, std::uint8_t second, std::string text) {
        r.firstError |= first;
        r.secondError |= second;
        r.problems.push_back(std::move(text));
    };
    if (t.size() >= 8) {
        std::copy(t.begin() + 1, t.begin() + 5, r.net.begin());
        r.packet = static_cast<std::uint16_t>(t[6] << 8 | t[7]);
    }
    if (t.size() != kTelegramSize) {
        problem(kErrLength, 0, "telegram of " + std::to_string(t.size()) + " bytes, not 300");
        return r;
    }

    if (t[0] != kStart)
        problem(kErrStart, 0, "start byte " + hexByte(t[0]) + ", not 01");
    if (sum(t, 0, 9) != t[kHeaderChecksumAt])
        problem(kErrHeaderChecksum, 0,
                "header checksum " + hexByte(t[kHeaderChecksumAt]) + ", the bytes sum to " + hexByte(sum(t, 0, 9)));
    if (t[11] != kHeaderEnd)
        problem(kErrStartStop, 0, "end of header " + hexByte(t[11]) + ", not 04");
    if (sum(t, 0, kChecksumAt - 1) != t[kChecksumAt])
        problem(kErrTelegramChecksum, 0,
                "telegram checksum " + hexByte(t[kChecksumAt]) + ", the bytes sum to "
                    + hexByte(sum(t, 0, kChecksumAt - 1)));
    if (t[kStopAt] != kStop)
        problem(kErrStartStop, 0, "stop byte " + hexByte(t[kStopAt]) + ", not 04");
    if (t[5] != 0x00 || t[8] != 0x00 || t[9] != 0x01)
        problem(0, kErrGeneral, "header bytes 5, 8, 9 are " + hexLine(std::array{t[5], t[8], t[9]}) + ", not 00 00 01");

    const std::uint8_t type = t[kSectionAt];
    if (type != kMbusSection && type != kDisplaySection) {
        problem(kErrUnknown, 0, "section type " + hexByte(type) + ", neither A8 nor A1");
    } else {
        const auto flags = flagsOf(type);
        if (t[14] != flags[0] || t[15] != flags[1])
            problem(kErrUnknown, 0,
                    "section flags " + hexLine(t.subspan(14, 2)) + " with type " + hexByte(type) + ", not "
                        + hexLine(flags));
    }
    const SectionFit fit = fitSection(t);
    const std::string at = " (section length " + hexByte(t[13]) + ")";
    if (!fit.end)
        problem(kErrLength, 0, "no AA after the payload" + at);
    else if (!fit.padding)
        problem(kErrLength, 0, "bytes after the section are not zero" + at);
    if (!fit.checksum)
        problem(0, kErrGeneral,
                "section checksum " + hexByte(t[16 + fit.length]) + ", the bytes sum to "
                    + hexByte(sum(t, 13, 15 + fit.length)) + at);

    if (r.problems.empty()) {
        Request request;
        request.net = r.net;
        request.packet = r.packet;
        request.type = type;
        request.payload.assign(t.begin() + 16, t.begin() + static_cast<std::ptrdiff_t>(16 + fit.length));
        r.request = std::move(request);
    }
    return r;
}

Bytes buildReply(const Reply &reply)
{
    if (reply.payload && reply.payload->size() > kMaxReplyPayload)
        return {};
    Bytes t(kTelegramSize, 0);
    t[0] = kStart;
    std::copy(reply.net.begin(), reply.net.end(), t.begin() + 1);
    t[6] = static_cast<std::uint8_t>(reply.packet >> 8);
    t[7] = static_cast<std::uint8_t>(reply.packet);
    t[9] = 0x01;
    t[kReplyHeaderChecksumAt] = sum(t, 0, kReplyHeaderChecksumAt - 1);
    t[20] = kHeaderEnd;
    std::size_t statusAt = kReplySectionAt;
    if (reply.payload) {
        const Bytes &p = *reply.payload;
        const std::size_t length = p.size() + 4;
        t[21] = reply.dataType;
        t[22] = static_cast<std::uint8_t>(length);
        const auto flags = flagsOf(reply.dataType);
        t[23] = flags[0];
        t[24] = flags[1];
        std::copy(p.begin(), p.end(), t.begin() + 25);
        t[21 + length] = sum(t, 22, 20 + length);
        t[22 + length] = kSectionEnd;
        statusAt = 25 + length; // after two zero bytes
    }
    putStatus(t, statusAt, reply.status);
    finish(t);
    return t;
}

ReadReply readReply(ByteView t)
{
    ReadReply r;
    if (t.size() != kTelegramSize) {
        r.error = "telegram of " + std::to_string(t.size()) + " bytes";
        return r;
    }
    if (t[0] != kStart)
        r.error = "start byte";
    else if (sum(t, 0, kReplyHeaderChecksumAt - 1) != t[kReplyHeaderChecksumAt])
        r.error = "header checksum";
    else if (sum(t, 0, kChecksumAt - 1) != t[kChecksumAt])
        r.error = "telegram checksum";
    else if (t[kStopAt] != kStop)
        r.error = "stop byte";
    if (!r.ok())
        return r;
    std::copy(t.begin() + 1, t.begin() + 5, r.net.begin());
    r.type = t[21];
    if (r.type == kStatusSection) {
        r.status = {t[24], t[26], t[25]};
        return r;
    }
    const std::size_t length = t[22]; // at most 255, so every offset below stays inside
    if (length >= 5)
        r.payload.assign(t.begin() + 25, t.begin() + static_cast<std::ptrdiff_t>(21 + length));
    r.status = {t[length + 28], t[length + 30], t[length + 29]};
    return r;
}

std::string errorText(const Status &status)
{
    static constexpr const char *kFirst[8] = {
        "header checksum", "telegram checksum", "wrong length", "bad start",
        "denied",          "unknown telegram",  "start/stop",   "bad network number"};
    static constexpr const char *kSecond[8] = {"packet number", "timeout",           "bit 2",        "bit 3", "bit 4",
                                               "bit 5",         "bad M-Bus command", "general error"};
    std::string text;
    const auto add = [&text](std::uint8_t bits, const char *const names[8]) {
        for (int bit = 0; bit < 8; ++bit)
            if (bits & (1u << bit))
                text += (text.empty() ? "" : ", ") + std::string(names[bit]);
    };
    add(status.firstError, kFirst);
    add(status.secondError, kSecond);
    return text;
}

} // namespace mbussim::gateway
