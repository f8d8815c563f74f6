#include "values.h"

#include "dif_tables.h"
#include "number_format.h"
#include "text_append.h"

#include <cmath>

namespace decode::detail {

namespace {

constexpr std::uint8_t kVifFabricationNo = 0x78;
constexpr int kDecimals = 3;

bool isDateVif(std::uint8_t vif)
{
    return (vif & 0x7F) == 0x6C || (vif & 0x7F) == 0x6D;
}

// Dates of type G (2 bytes) and F (4 bytes); the date is read from the data start
// whatever the data field says.
void appendDate(std::string &out, const Reader &area, std::size_t dataOffset, std::uint8_t vif)
{
    const bool withTime = (vif & 0x7F) == 0x6D;
    const auto data = area.bytes(dataOffset, withTime ? 4 : 2);
    if (!data) {
        out += "Exception decoding DateTime";
        return;
    }
    const mbus::ByteView b = *data;
    const std::size_t dayByte = withTime ? 2 : 0;
    const int day = b[dayByte] & 0x1F;
    const int month = b[dayByte + 1] & 0x0F;
    const int year = (b[dayByte] >> 5) + 8 * (b[dayByte + 1] >> 4);
    if (withTime) {
        const int minute = b[0] & 0x3F;
        appendInt(out, b[1] & 0x1F);
        out += minute < 10 ? ":0" : ":";
        appendInt(out, minute);
        out += ", ";
    }
    appendInt(out, day);
    out.push_back('.');
    appendInt(out, month);
    out.push_back('.');
    appendInt(out, year);
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

void appendHexMsbFirst(std::string &out, mbus::ByteView b)
{
    for (std::size_t i = b.size(); i-- > 0;)
        appendHex(out, b[i]);
}

void appendInteger(std::string &out, mbus::ByteView b, const tables::DataField &field, std::uint8_t vif, int exp10,
                   char separator)
{
    if (vif == kVifFabricationNo && b.size() == 3) {
        out += "00";
        appendHexMsbFirst(out, b);
        return;
    }
    const std::int64_t value = signedLittleEndian(b);
    if (vif == kVifFabricationNo && b.size() >= 4)
        appendInt(out, value); // plain integer, whatever its digit count
    else
        appendFixed(out, value, exp10, field.precision, kDecimals, separator);
}

void appendBcd(std::string &out, mbus::ByteView b, const tables::DataField &field, std::uint8_t vif, int exp10,
               char separator)
{
    if (vif == kVifFabricationNo && b.size() >= 3) { // the digits as they are
        appendHexMsbFirst(out, b);
        return;
    }
    std::int64_t value = 0;
    for (std::size_t i = b.size(); i-- > 0;) {
        const int high = b[i] >> 4;
        const int low = b[i] & 0x0F;
        if (high > 9 || low > 9) {
            out += "Exception ";
            return;
        }
        value = value * 100 + high * 10 + low;
    }
    appendFixed(out, value, exp10, field.precision, kDecimals, separator);
}

// Scaled by the VIF like the integer and BCD types: a flow meter that sends its
// m3/h as a real must not show up a thousand times too small.
void appendReal(std::string &out, mbus::ByteView b, int exp10, char separator)
{
    const std::uint32_t bits = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16
                               | std::uint32_t{b[3]} << 24;
    const unsigned exponent = (bits >> 23) & 0xFF;
    const std::uint32_t fraction = bits & 0x7FFFFF;
    if (exponent == 255) {
        out += "NaN or Infinite";
        return;
    }
    // Exponent 0 is read like the others, so zero shows as 0.00000.
    const float value = std::ldexp(1.0f + static_cast<float>(fraction) / 8388608.0f, static_cast<int>(exponent) - 127);
    if (bits >> 31)
        out.push_back('-');
    appendFixed(out, static_cast<double>(value), exp10, 9, 5, separator);
}

void appendVariable(std::string &out, mbus::ByteView data)
{
    const std::uint8_t lvar = data[0];
    const mbus::ByteView rest = data.subspan(1);
    if (lvar < 0xC0) {
        out.append(reinterpret_cast<const char *>(rest.data()), rest.size());
    } else if (lvar < 0xD0) {
        mbus::appendHexCompact(out, rest);
    } else if (lvar < 0xE0) {
        out.push_back('-');
        mbus::appendHexCompact(out, rest);
    } else { // binary, E0..F6: dataLength() refuses the undefined codes
        out += "0x";
        mbus::appendHexCompact(out, rest);
    }
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

void appendValue(std::string &out, const Reader &area, std::uint8_t dif, std::size_t dataOffset, std::size_t length,
                 std::uint8_t vif, int exp10, char separator)
{
    if (isDateVif(vif)) {
        appendDate(out, area, dataOffset, vif);
        return;
    }
    const tables::DataField &field = tables::kDataFields[dif & 0x0F];
    const auto data = area.bytes(dataOffset, length);
    if (!data) // dataLength() refused it; stay safe for direct callers
        return;
    switch (field.kind) {
    case tables::DataKind::NoData:
        out += "No data ";
        break;
    case tables::DataKind::Selection:
        out += "Unrecognizable DIF, not decoded ";
        break;
    case tables::DataKind::Integer:
        appendInteger(out, *data, field, vif, exp10, separator);
        break;
    case tables::DataKind::Real:
        appendReal(out, *data, exp10, separator);
        break;
    case tables::DataKind::Integer64:
        out += "64-bit integer not supported, but hex is: 0x";
        appendHexMsbFirst(out, *data);
        break;
    case tables::DataKind::Bcd:
        appendBcd(out, *data, field, vif, exp10, separator);
        break;
    case tables::DataKind::Variable:
        appendVariable(out, *data);
        break;
    case tables::DataKind::Special:
        mbus::appendHexLogForm(out, *data);
        break;
    }
}

void appendDifDescription(std::string &out, const Reader &area, std::size_t difOffset)
{
    const std::uint8_t dif = area.at(difOffset);
    out += tables::kFunctionTexts[dif >> 4];
    const auto dife = area.byte(difOffset + 1);
    if (!(dif & 0x80) || !dife)
        return;
    out += "Storage is: ";
    if ((*dife & 0x0F) < 10)
        out.push_back(static_cast<char>('0' + (*dife & 0x0F)));
    out += ", Tariff is: ";
    out.push_back(static_cast<char>('0' + ((*dife >> 4) & 0x03)));
    out.push_back(' ');
}

} // namespace decode::detail

namespace decode {

DifInfo decodeDif(mbus::ByteView reply, std::size_t difOffset, std::size_t dataOffset, std::uint8_t vif, int exp10,
                  char decimalSeparator)
{
    DifInfo info;
    const Reader area = Reader::recordArea(reply);
    if (!area.contains(difOffset)) {
        info.complete = false;
        return info;
    }
    detail::appendDifDescription(info.description, area, difOffset);
    const std::uint8_t dif = area.at(difOffset);
    const auto length = detail::dataLength(area, dif, dataOffset);
    if (!length) {
        info.complete = false;
        return info;
    }
    info.dataLength = *length;
    detail::appendValue(info.value, area, dif, dataOffset, *length, vif, exp10, decimalSeparator);
    return info;
}

} // namespace decode
