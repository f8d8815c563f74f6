#include "values.h"

#include "dif_tables.h"

#include <bit>
#include <cstring>

namespace decode::detail {

namespace {

constexpr std::uint8_t kVifFabricationNo = 0x78;

bool isDateVif(std::uint8_t vif)
{
    return (vif & 0x7F) == 0x6C || (vif & 0x7F) == 0x6D;
}

// Dates of type G (2 bytes) and F (4 bytes).
Value dateValue(const Reader &area, std::size_t dataOffset, std::uint8_t vif)
{
    const bool withTime = (vif & 0x7F) == 0x6D;
    const auto data = area.bytes(dataOffset, withTime ? 4 : 2);
    if (!data)
        return NoValue::DateTooShort;
    const mbus::ByteView b = *data;
    const std::size_t dayByte = withTime ? 2 : 0;
    Date date;
    date.day = b[dayByte] & 0x1F;
    date.month = b[dayByte + 1] & 0x0F;
    date.year = (b[dayByte] >> 5) + 8 * (b[dayByte + 1] >> 4);
    if (!withTime)
        return date;
    return DateTime{date, b[1] & 0x1F, b[0] & 0x3F};
}

// Least significant byte first, sign taken from the top bit of the last byte.
std::int64_t signedLittleEndian(mbus::ByteView b)
{
    std::uint64_t u = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        u = (u << 8) | b[i];
    const unsigned bits = static_cast<unsigned>(8 * b.size());
    if (bits < 64 && (u >> (bits - 1)) & 1)
        u |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(u);
}

std::string hexMsbFirst(mbus::ByteView b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * b.size() + 2);
    for (std::size_t i = b.size(); i-- > 0;) {
        out.push_back(kDigits[b[i] >> 4]);
        out.push_back(kDigits[b[i] & 0x0F]);
    }
    return out;
}

// A fabrication number is shown as its digits: a 3-byte integer as hex with
// "00" in front, a longer one as a plain decimal number.
Value integerValue(mbus::ByteView b, std::uint8_t vif)
{
    if (vif == kVifFabricationNo && b.size() == 3)
        return Digits{"00" + hexMsbFirst(b)};
    const std::int64_t value = signedLittleEndian(b);
    if (vif == kVifFabricationNo && b.size() >= 4)
        return Digits{std::to_string(value)};
    return value;
}

Value bcdValue(mbus::ByteView b, std::uint8_t vif)
{
    if (vif == kVifFabricationNo && b.size() >= 3) // the digits as they are
        return Digits{hexMsbFirst(b)};
    std::int64_t value = 0;
    for (std::size_t i = b.size(); i-- > 0;) {
        const int high = b[i] >> 4;
        const int low = b[i] & 0x0F;
        if (high > 9 || low > 9)
            return NoValue::BadBcd;
        value = value * 100 + high * 10 + low;
    }
    return value;
}

Value variableValue(mbus::ByteView data)
{
    const std::uint8_t lvar = data[0];
    const mbus::ByteView rest = data.subspan(1);
    if (lvar < 0xC0)
        return Text{std::string(reinterpret_cast<const char *>(rest.data()), rest.size())};
    if (lvar < 0xD0)
        return Digits{mbus::hexCompact(rest)};
    if (lvar < 0xE0)
        return Digits{"-" + mbus::hexCompact(rest)};
    return RawBytes{}; // binary, E0..F6: dataLength() refuses the undefined codes
}

} // namespace

std::optional<std::size_t> lvarPayload(std::uint8_t lvar)
{
    if (lvar < 0xC0)
        return lvar; // text
    if (lvar < 0xF0)
        return lvar & 0x0Fu; // positive BCD, negative BCD, binary
    if (lvar <= 0xF4)
        return 4u * (lvar - 0xECu); // binary, 16..32 bytes
    if (lvar == 0xF5)
        return 6; // 48-bit binary number
    if (lvar == 0xF6)
        return 8; // 64-bit binary number
    return std::nullopt;
}

std::optional<std::size_t> dataLength(const Reader &area, std::uint8_t dif, std::size_t dataOffset)
{
    const tables::DataField &field = tables::kDataFields[dif & 0x0F];
    std::size_t length = field.length;
    if (field.kind == tables::DataKind::Special) {
        length = area.from(dataOffset).size();
    } else if (field.kind == tables::DataKind::Variable) {
        const auto lvar = area.byte(dataOffset);
        const auto payload = lvar ? lvarPayload(*lvar) : std::nullopt;
        if (!payload)
            return std::nullopt;
        length = *payload + 1;
    }
    if (!area.has(dataOffset, length))
        return std::nullopt;
    return length;
}

Value decodeValue(const Reader &area, std::uint8_t dif, std::size_t dataOffset, std::size_t length, std::uint8_t vif)
{
    if (isDateVif(vif))
        return dateValue(area, dataOffset, vif);
    const auto data = area.bytes(dataOffset, length);
    if (!data) // dataLength() refused it; stay safe for direct callers
        return RawBytes{};
    switch (tables::kDataFields[dif & 0x0F].kind) {
    case tables::DataKind::NoData:
        return NoValue::NoData;
    case tables::DataKind::Selection:
        return NoValue::Selection;
    case tables::DataKind::Integer:
        return integerValue(*data, vif);
    case tables::DataKind::Real: {
        std::uint32_t bits = 0;
        for (std::size_t i = 4; i-- > 0;)
            bits = bits << 8 | (*data)[i];
        return std::bit_cast<float>(bits);
    }
    case tables::DataKind::Integer64:
        return signedLittleEndian(*data);
    case tables::DataKind::Bcd:
        return bcdValue(*data, vif);
    case tables::DataKind::Variable:
        return variableValue(*data);
    case tables::DataKind::Special:
        break;
    }
    return RawBytes{};
}

} // namespace decode::detail
