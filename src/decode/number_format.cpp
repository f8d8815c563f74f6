#include "number_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace decode {

namespace {

// Below 2^-1047 every value rounds to zero at any sensible number of decimals.
constexpr int kMaxFractionDigits = 1100;

// Rounds the digit string [digits, digits+len) to keep digits (half away from
// zero). A carry out of the first digit writes '1' in front (digits[-1] must be
// writable) and moves digits back by one. Returns false when the value rounds
// to zero (keep < 0, or keep == 0 without carry).
bool roundDigits(char *&digits, int &len, int &intDigits, int keep)
{
    if (keep >= len)
        return true;
    if (keep < 0) {
        len = 0;
        return false;
    }
    const bool up = digits[keep] >= '5';
    len = keep;
    if (up) {
        int i = len - 1;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            --digits;
            digits[0] = '1';
            ++len;
            ++intDigits;
        }
    }
    return len > 0;
}

void appendScientific(std::string &out, bool negative, const char *digits, int len, int intDigits, char separator)
{
    while (len > 1 && digits[len - 1] == '0')
        --len;
    if (negative)
        out.push_back('-');
    out.push_back(digits[0]);
    if (len > 1) {
        out.push_back(separator);
        out.append(digits + 1, static_cast<std::size_t>(len - 1));
    }
    out += "E+";
    char buf[8];
    auto res = std::to_chars(buf, buf + sizeof buf, intDigits - 1);
    out.append(buf, res.ptr);
}

void appendZero(std::string &out, int decimals, char separator)
{
    out.push_back('0');
    if (decimals > 0) {
        out.push_back(separator);
        out.append(static_cast<std::size_t>(decimals), '0');
    }
}

// digits[0..len) with intDigits integer digits (value = 0.digits x 10^intDigits),
// first digit not zero; digits[-1] must be writable for a carry.
void appendDigits(std::string &out, bool negative, char *digits, int len, int intDigits, int precision, int decimals,
                  char separator)
{
    if (intDigits > precision) {
        roundDigits(digits, len, intDigits, precision);
        appendScientific(out, negative, digits, len, intDigits, separator);
        return;
    }
    if (!roundDigits(digits, len, intDigits, std::min(precision, intDigits + decimals))) {
        appendZero(out, decimals, separator);
        return;
    }
    if (intDigits > precision) { // 99999999.9996 rounds up to nine digits
        appendScientific(out, negative, digits, len, intDigits, separator);
        return;
    }
    if (negative)
        out.push_back('-');
    if (intDigits <= 0) {
        out.push_back('0');
    } else {
        for (int i = 0; i < intDigits; ++i)
            out.push_back(i < len ? digits[i] : '0');
    }
    if (decimals > 0) {
        out.push_back(separator);
        for (int j = 0; j < decimals; ++j) {
            const int i = intDigits + j;
            out.push_back(i >= 0 && i < len ? digits[i] : '0');
        }
    }
}

} // namespace

void appendFixed(std::string &out, std::int64_t mantissa, int exp10, int precision, int decimals, char separator)
{
    const bool negative = mantissa < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(mantissa)
                                             : static_cast<std::uint64_t>(mantissa);
    if (magnitude == 0) {
        appendZero(out, decimals, separator);
        return;
    }
    char buf[24];
    char *digits = buf + 1; // room for a carry digit in front
    auto res = std::to_chars(digits, buf + sizeof buf, magnitude);
    const int len = static_cast<int>(res.ptr - digits);
    appendDigits(out, negative, digits, len, len + exp10, precision, decimals, separator);
}

void appendFixed(std::string &out, double value, int exp10, int precision, int decimals, char separator)
{
    if (!std::isfinite(value)) {
        out += "NaN";
        return;
    }
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    if (magnitude == 0) {
        appendZero(out, decimals, separator);
        return;
    }
    // magnitude = m * 2^(e-53) with a 53-bit m: its exact decimal form has as many
    // fraction digits as it has fraction bits. Print them all, so the rounding
    // below works on the exact value (ties away from zero, as for integers).
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent);
    const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int fractionDigits = std::max(0, 53 - binaryExponent - std::countr_zero(m));
    if (fractionDigits > kMaxFractionDigits) {
        appendZero(out, decimals, separator);
        return;
    }
    char buf[kMaxFractionDigits + 320];
    auto res = std::to_chars(buf + 1, buf + sizeof buf, magnitude, std::chars_format::fixed, fractionDigits);
    if (res.ec != std::errc{}) {
        out += "NaN";
        return;
    }
    // Squeeze out the point and leading zeros, counting the integer digits.
    char *digits = buf + 1;
    int len = 0;
    int intDigits = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (char *p = buf + 1; p != res.ptr; ++p) {
        if (*p == '.') {
            seenPoint = true;
            continue;
        }
        if (!seenDigit && *p == '0') {
            if (seenPoint)
                --intDigits;
            continue;
        }
        if (!seenPoint)
            ++intDigits;
        seenDigit = true;
        digits[len++] = *p;
    }
    while (len > 0 && digits[len - 1] == '0')
        --len;
    appendDigits(out, negative, digits, len, intDigits + exp10, precision, decimals, separator);
}

} // namespace decode
