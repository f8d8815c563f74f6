#pragma once
// Small pieces of the display's text: month names in the three languages the
// firmware comes in, decimal values that add up exactly, the address ranges of
// the TEV-K40's list, the display clock, and output-safe text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbussim {

enum class MonthNames { English, Italian, Cyrillic };

// The three-letter month (1..12) as the display writes it; the Cyrillic
// names are Windows-1251 bytes (January: DF ED F3).
std::string monthText(MonthNames names, int month);

// UTF-8 text (as a bus file holds it) in Windows-1251, the display's code
// page: ASCII and the Cyrillic letters; nothing when a character has no byte
// there or the UTF-8 is broken.
std::optional<std::string> toWindows1251(std::string_view utf8);

// A value as the display stores it: digits with at most one point, kept
// scaled so that start + consumption gives the same digits a person would.
struct Decimal {
    std::int64_t units = 0; // the value times 10^places
    int places = 0;
    bool operator==(const Decimal &) const = default;
};
inline constexpr int kMaxDecimalPlaces = 6;
inline constexpr std::size_t kMaxDecimalDigits = 15;

// "12.5", "0", "007.250": digits, perhaps one point with digits after it; no
// sign, at most 15 digits and 6 places.
std::optional<Decimal> parseDecimal(std::string_view text);
std::string decimalText(Decimal value);
Decimal plus(Decimal a, Decimal b);
Decimal minus(Decimal a, Decimal b);

// Ascending addresses as the TEV-K40 lists them: runs of three or more as a
// range, the rest one by one ("1-3,7,12"). Duplicates are listed once.
std::string addressRanges(std::vector<int> addresses);

// A moment of the display clock, as seconds since 1970-01-01 00:00 of the
// display's own (zone-less) calendar.
struct CivilTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
CivilTime civilTime(std::int64_t seconds);
std::int64_t civilSeconds(const CivilTime &time);
bool validDate(int year, int month, int day);
int lastDayOfMonth(int year, int month);
// The PC's local time, in the same count.
std::int64_t localNow();

// "dd/mm/yy" and "hh:mm", as the display shows its clock.
std::string dateText(const CivilTime &time);
std::string timeText(const CivilTime &time);

// For the output lines: CR LF as " | ", other bytes outside printable ASCII as \xNN.
std::string printableText(std::string_view bytes);

} // namespace mbussim
