#pragma once
// The fixed-point number texts of decoded values: rounded to at most `precision`
// significant digits and at most `decimals` decimals, written with exactly
// `decimals` decimals, the given decimal separator, no thousands separator and a
// leading "-" when negative. A number whose integer part needs more than
// `precision` digits is written in scientific form instead: the digits rounded
// to `precision` significant digits, trailing zeros dropped, then "E+" and the
// exponent ("1.2345678901234E+15").

#include <cstdint>
#include <string>

namespace decode {

// mantissa * 10^exp10, computed exactly in decimal (rounding half away from zero).
void appendFixed(std::string &out, std::int64_t mantissa, int exp10, int precision, int decimals, char separator);

// A binary floating-point value (the 32-bit reals of the records) times
// 10^exp10, rounded from its exact binary value in the same way: the power of
// ten moves the decimal point, so scaling adds no binary rounding error.
// Infinite or NaN values give "NaN".
void appendFixed(std::string &out, double value, int exp10, int precision, int decimals, char separator);

inline void appendFixed(std::string &out, double value, int precision, int decimals, char separator)
{
    appendFixed(out, value, 0, precision, decimals, separator);
}

inline std::string formatFixed(double value, int precision, int decimals, char separator = '.')
{
    std::string out;
    appendFixed(out, value, precision, decimals, separator);
    return out;
}

} // namespace decode
