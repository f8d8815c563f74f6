#include "conversions.h"

namespace mbus {

namespace {

bool isDecimal(char c)
{
    return c >= '0' && c <= '9';
}

bool allDecimal(std::string_view text)
{
    for (char c : text)
        if (!isDecimal(c))
            return false;
    return true;
}

std::optional<std::uint8_t> nibble(char c, bool allowWildcard)
{
    if (isDecimal(c))
        return static_cast<std::uint8_t>(c - '0');
    if (allowWildcard && c == 'F')
        return std::uint8_t{0x0F};
    return std::nullopt;
}

} // namespace

std::optional<Bcd4> idToBcd(std::string_view text, bool allowWildcard)
{
    if (text.size() != 8)
        return std::nullopt;
    Bcd4 bytes{};
    // Digit pair (d1,d2) is the last byte, (d7,d8) the first.
    for (std::size_t pair = 0; pair < 4; ++pair) {
        const auto high = nibble(text[2 * pair], allowWildcard);
        const auto low = nibble(text[2 * pair + 1], allowWildcard);
        if (!high || !low)
            return std::nullopt;
        bytes[3 - pair] = static_cast<std::uint8_t>(*high << 4 | *low);
    }
    return bytes;
}

std::optional<Bcd4> valueToBcd(std::string_view text)
{
    if (text.empty() || text.size() > 8 || !allDecimal(text))
        return std::nullopt;
    std::array<char, 8> padded;
    padded.fill('0');
    for (std::size_t i = 0; i < text.size(); ++i)
        padded[8 - text.size() + i] = text[i];
    return idToBcd(std::string_view(padded.data(), padded.size()));
}

std::optional<std::uint32_t> valueToInteger(std::string_view text)
{
    if (text.empty() || text.size() > 10 || !allDecimal(text))
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text)
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::uint8_t mediumCode(std::string_view name)
{
    for (const auto &medium : kMediumNames)
        if (medium.name == name)
            return medium.code;
    return kUnknownMedium;
}

std::uint8_t unitVif(std::string_view unit, std::string_view multiplier)
{
    // "N/A": heat cost allocator units have no multiplier.
    if (unit == "N/A")
        return 0x6E;

    std::uint8_t base = 0;
    if (unit == "l")
        base = 0x10; // volume, multiplier in litres
    else if (unit == "Wh")
        base = 0x00; // energy, 10^(k-3) Wh
    else if (unit == "kJ")
        base = 0x08; // energy, multiplier in kJ
    else
        return 0x00;

    for (std::size_t k = 0; k < kMultiplierNames.size(); ++k)
        if (kMultiplierNames[k] == multiplier)
            return static_cast<std::uint8_t>(base + k);
    return 0x00;
}

std::optional<std::uint8_t> baudRateCi(int baud)
{
    switch (baud) {
    case 300:
        return std::uint8_t{0xB8};
    case 2400:
        return std::uint8_t{0xBB};
    case 9600:
        return std::uint8_t{0xBD};
    default:
        return std::nullopt;
    }
}

} // namespace mbus
