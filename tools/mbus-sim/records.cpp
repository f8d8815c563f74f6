#include "records.h"

#include <cstring>

namespace mbussim {

namespace {
constexpr std::size_t kMaxExtensions = 10; // DIFEs or VIFEs per record

bool isBcdCode(int code)
{
    return (code >= 0x9 && code <= 0xC) || code == 0xE;
}
bool isIntegerCode(int code)
{
    return (code >= 0x1 && code <= 0x4) || code == 0x6 || code == 0x7;
}

std::string at(std::size_t offset, const char *what)
{
    return std::string(what) + " at byte " + std::to_string(offset);
}

// Length of the value of a variable-length field, counting its LVAR byte; -1 for
// the reserved codes.
int variableLength(std::uint8_t lvar)
{
    if (lvar <= 0xBF)
        return lvar + 1;
    if (lvar <= 0xCF)
        return lvar - 0xC0 + 1;
    if (lvar <= 0xDF)
        return lvar - 0xD0 + 1;
    if (lvar <= 0xEF)
        return lvar - 0xE0 + 1;
    if (lvar <= 0xFA)
        return lvar - 0xF0 + 1;
    return -1;
}
} // namespace

bool Record::isCurrentValue() const
{
    if (dib.empty() || (dib[0] & 0x70) != 0) // function bits and storage bit 0
        return false;
    for (std::size_t i = 1; i < dib.size(); ++i)
        if ((dib[i] & 0x7F) != 0) // storage, tariff, subunit
            return false;
    return true;
}

Bytes Record::bytes() const
{
    Bytes b = dib;
    b.insert(b.end(), vib.begin(), vib.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

int dataFieldLength(std::uint8_t dif)
{
    static constexpr int kLength[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, -1, 6, -2};
    return kLength[dif & 0x0F];
}

RecordsResult parseRecords(ByteView bytes)
{
    RecordsResult result;
    std::size_t p = 0;
    const std::size_t n = bytes.size();
    while (p < n) {
        Record r;
        const std::size_t start = p;
        const std::uint8_t dif = bytes[p];
        if ((dif & 0x0F) == 0x0F) {
            // 0x2F is a one-byte idle filler; other special functions carry
            // manufacturer data up to the end.
            r.dib.push_back(dif);
            const std::size_t end = dif == 0x2F ? p + 1 : n;
            if (dif != 0x2F)
                r.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(p + 1), bytes.end());
            result.records.push_back(std::move(r));
            p = end;
            continue;
        }
        r.dib.push_back(bytes[p++]);
        while (r.dib.back() & 0x80) {
            if (p >= n)
                return {{}, at(start, "record cut short after its DIF/DIFE")};
            if (r.dib.size() > kMaxExtensions)
                return {{}, at(start, "more than 10 DIFEs")};
            r.dib.push_back(bytes[p++]);
        }
        if (p >= n)
            return {{}, at(start, "record without VIF")};
        r.vib.push_back(bytes[p++]);
        while (r.vib.back() & 0x80) {
            if (p >= n)
                return {{}, at(start, "record cut short after its VIF/VIFE")};
            if (r.vib.size() > kMaxExtensions)
                return {{}, at(start, "more than 10 VIFEs")};
            r.vib.push_back(bytes[p++]);
        }
        if (r.primaryVif() == 0x7C) {
            // plain-text unit: a length byte and that many characters
            if (p >= n || bytes[p] > n - p - 1)
                return {{}, at(start, "plain-text unit cut short")};
            const std::size_t textEnd = p + 1 + bytes[p];
            r.vib.insert(r.vib.end(), bytes.begin() + static_cast<std::ptrdiff_t>(p),
                         bytes.begin() + static_cast<std::ptrdiff_t>(textEnd));
            p = textEnd;
        }
        int length = dataFieldLength(dif);
        if (length == -1) {
            if (p >= n)
                return {{}, at(start, "variable-length record without length byte")};
            length = variableLength(bytes[p]);
            if (length < 0)
                return {{}, at(start, "reserved variable-length code")};
        }
        if (static_cast<std::size_t>(length) > n - p)
            return {{}, at(start, "record data cut short")};
        r.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(p),
                      bytes.begin() + static_cast<std::ptrdiff_t>(p + static_cast<std::size_t>(length)));
        p += static_cast<std::size_t>(length);
        result.records.push_back(std::move(r));
    }
    return result;
}

std::optional<std::uint64_t> readUnsigned(const Record &record)
{
    const int code = record.dif() & 0x0F;
    const int length = dataFieldLength(record.dif());
    if (length <= 0 || record.data.size() != static_cast<std::size_t>(length))
        return std::nullopt;
    std::uint64_t v = 0;
    if (isIntegerCode(code)) {
        for (std::size_t i = record.data.size(); i-- > 0;)
            v = (v << 8) | record.data[i];
        return v;
    }
    if (isBcdCode(code)) {
        for (std::size_t i = record.data.size(); i-- > 0;) {
            const std::uint8_t hi = record.data[i] >> 4, lo = record.data[i] & 0x0F;
            if (hi > 9 || lo > 9)
                return std::nullopt;
            v = v * 100 + hi * 10u + lo;
        }
        return v;
    }
    return std::nullopt;
}

Bytes toBcd(std::uint64_t value, int digits)
{
    Bytes out;
    for (int i = 0; i < digits; i += 2) {
        const auto lo = static_cast<std::uint8_t>(value % 10);
        value /= 10;
        const auto hi = static_cast<std::uint8_t>(value % 10);
        value /= 10;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

void storeUnsigned(Record &record, std::uint64_t value)
{
    const int code = record.dif() & 0x0F;
    const int length = dataFieldLength(record.dif());
    if (!record.special() && isIntegerCode(code)) {
        record.data.assign(static_cast<std::size_t>(length), 0);
        for (int i = 0; i < length; ++i)
            record.data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    } else if (!record.special() && isBcdCode(code)) {
        record.data = toBcd(value, length * 2);
    } else if (!record.special() && code == 0x5) {
        const auto f = static_cast<float>(value);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        record.data = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                       static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    } else {
        const std::uint8_t function = record.special() ? 0 : (record.dif() & 0xF0);
        if (record.dib.empty())
            record.dib.push_back(0);
        record.dib[0] = static_cast<std::uint8_t>(function | 0x0C);
        if (record.vib.empty())
            record.vib.push_back(0x13);
        record.data = toBcd(value, 8);
    }
}

} // namespace mbussim
