#include "hex_text.h"

namespace mbus {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

std::optional<Bytes> parseHexText(std::string_view text, std::string *error)
{
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isBlank(c))
            continue;
        const int v = hexValue(c);
        if (v < 0) {
            if (error)
                *error = "not a hex digit at character " + std::to_string(i + 1);
            return std::nullopt;
        }
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0) {
        if (error)
            *error = "odd number of hex digits";
        return std::nullopt;
    }
    if (bytes.empty()) {
        if (error)
            *error = "no telegram given";
        return std::nullopt;
    }
    return bytes;
}

} // namespace mbus
