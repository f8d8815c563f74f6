#include "telegram.h"

#include <charconv>

namespace gateway {

namespace {

std::uint8_t sum8(mbus::ByteView bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return std::uint8_t(sum);
}

struct ResultBit {
    std::uint8_t mask;
    const char *line;
};
constexpr ResultBit kFirstErrors[] = {
    {0x01, "Error in header checksum..."},
    {0x02, "Error in telegram checksum..."},
    {0x04, "Wrong telegram length..."},
    {0x08, "Bad telegram, unknow Start charachter..."},
    {0x10, "Action denied, no rights to perform it..."},
    {0x20, "Unknown telegram..."},
    {0x40, "Start/Stop charachter not recognized..."},
    {0x80, "Bad network number..."},
};
constexpr ResultBit kSecondErrors[] = {
    {0x01, "Packet number does not match..."},
    {0x02, "Timeout expired..."},
    {0x40, "Bad m-bus command..."},
    {0x80, "Bad packet, general communication error..."},
};

} // namespace

std::optional<NetworkNumber> parseNetworkNumber(std::string_view text)
{
    NetworkNumber number{};
    std::size_t part = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.')
            continue;
        if (part >= number.size())
            return std::nullopt; // more than three dots
        const std::string_view digits = text.substr(start, i - start);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value > 255)
            return std::nullopt;
        number[part++] = std::uint8_t(value);
        start = i + 1;
    }
    if (part != number.size())
        return std::nullopt;
    return number;
}

std::string networkNumberText(const NetworkNumber &number)
{
    return std::to_string(number[0]) + '.' + std::to_string(number[1]) + '.' + std::to_string(number[2]) + '.'
           + std::to_string(number[3]);
}

mbus::Bytes wrapRequest(mbus::ByteView payload, Section type, const NetworkNumber &network, std::int32_t packetCounter)
{
    if (payload.size() > kMaxPayload)
        return {};
    mbus::Bytes t;
    t.reserve(kTelegramSize);
    const auto counter = std::uint16_t(std::uint32_t(packetCounter) & 0xFFFF);
    t = {0x01,
         network[0],
         network[1],
         network[2],
         network[3],
         0x00,
         std::uint8_t(counter >> 8),
         std::uint8_t(counter & 0xFF),
         0x00,
         0x01};
    t.push_back(sum8(t));
    t.push_back(0x04);
    const std::size_t sectionStart = t.size();
    t.push_back(std::uint8_t(type));
    t.push_back(std::uint8_t(payload.size() + 2));
    t.push_back(type == Section::MbusFrame ? 0x10 : 0x00);
    t.push_back(0x00);
    t.insert(t.end(), payload.begin(), payload.end());
    t.push_back(sum8(mbus::ByteView(t).subspan(sectionStart + 1)));
    t.push_back(0xAA);
    t.resize(kTelegramSize - 2, 0x00);
    t.push_back(sum8(t));
    t.push_back(0x04);
    return t;
}

std::vector<std::string> resultLines(std::uint8_t result, std::uint8_t firstError, std::uint8_t secondError)
{
    if (result == 0)
        return {"Done!"};
    std::vector<std::string> lines;
    for (const ResultBit &bit : kFirstErrors)
        if (firstError & bit.mask)
            lines.emplace_back(bit.line);
    for (const ResultBit &bit : kSecondErrors)
        if (secondError & bit.mask)
            lines.emplace_back(bit.line);
    return lines;
}

Unpacked unpackReply(mbus::ByteView t)
{
    Unpacked out;
    const std::size_t count = t.size();
    if (count != kTelegramSize) {
        out.logLines.push_back("Wrong byte count in the telegram, " + std::to_string(count));
        return out;
    }
    if (t[0] != 0x01) {
        out.logLines.emplace_back("Error in START byte of ethernet response...");
        return out;
    }
    if (sum8(t.first(19)) != t[19]) {
        out.logLines.emplace_back("Error in header CRC of ethernet response...");
        return out;
    }
    if (sum8(t.first(count - 2)) != t[count - 2]) {
        out.logLines.emplace_back("Error in packet CRC of ethernet response...");
        return out;
    }
    if (t[count - 1] != 0x04) {
        out.logLines.emplace_back("Error in STOP byte of ethernet response...");
        return out;
    }
    const NetworkNumber number{t[1], t[2], t[3], t[4]};
    out.networkNumber = number;
    out.logLines.push_back("Device " + networkNumberText(number));

    std::vector<std::string> result;
    if (t[21] == std::uint8_t(Section::Status)) {
        result = resultLines(t[24], t[26], t[25]);
    } else {
        // L <= 255 keeps the payload (25..21+L) and the status (L+28..L+30) inside the 300 bytes.
        const std::size_t length = t[22];
        if (length > 4)
            out.response.assign(t.begin() + 25, t.begin() + std::ptrdiff_t(21 + length));
        result = resultLines(t[length + 28], t[length + 30], t[length + 29]);
    }
    out.logLines.insert(out.logLines.end(), result.begin(), result.end());
    return out;
}

Assembler::Outcome Assembler::feed(mbus::ByteView bytes)
{
    Outcome out;
    do {
        const std::size_t n = std::min(bytes.size(), kMaxRead);
        take(bytes.first(n), out);
        bytes = bytes.subspan(n);
    } while (!bytes.empty());
    return out;
}

void Assembler::take(mbus::ByteView read, Outcome &out)
{
    if (read.empty())
        return;
    const std::size_t reached = m_count + read.size();
    if (reached > kTelegramSize) {
        // Past one telegram: the buffer is discarded, the bytes beyond the
        // store are never written.
        out.logLines.push_back("Wrong byte count in the telegram, " + std::to_string(reached));
        clear();
        return;
    }
    std::copy(read.begin(), read.end(), m_store.begin() + std::ptrdiff_t(m_count));
    m_count = reached;
    if (m_count == kTelegramSize) {
        out.telegrams.emplace_back(m_store.begin(), m_store.begin() + std::ptrdiff_t(kTelegramSize));
        clear();
    }
}

} // namespace gateway
