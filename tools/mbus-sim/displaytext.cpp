#include "displaytext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace mbussim {

namespace {
const char *const kEnglish[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char *const kItalian[12] = {"Gen", "Feb", "Mar", "Apr", "Mag", "Giu", "Lug", "Ago", "Set", "Ott", "Nov", "Dic"};
// Яну Фев Мар Апр Май Юни Юли Авг Сеп Окт Ное Дек in Windows-1251.
const char *const kCyrillic[12] = {"\xDF\xED\xF3", "\xD4\xE5\xE2", "\xCC\xE0\xF0", "\xC0\xEF\xF0",
                                   "\xCC\xE0\xE9", "\xDE\xED\xE8", "\xDE\xEB\xE8", "\xC0\xE2\xE3",
                                   "\xD1\xE5\xEF", "\xCE\xEA\xF2", "\xCD\xEE\xE5", "\xC4\xE5\xEA"};

std::int64_t power10(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Both values at the larger number of places.
void align(Decimal &a, Decimal &b)
{
    while (a.places < b.places) {
        a.units *= 10;
        ++a.places;
    }
    while (b.places < a.places) {
        b.units *= 10;
        ++b.places;
    }
}

std::string twoDigits(int v)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", ((v % 100) + 100) % 100);
    return text;
}
} // namespace

std::optional<std::string> toWindows1251(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        // Cyrillic is U+0400..U+04FF: two bytes, 110xxxxx 10xxxxxx.
        if ((b & 0xE0) != 0xC0 || i + 1 >= utf8.size() || (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) != 0x80)
            return std::nullopt;
        const unsigned code = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        if (code >= 0x0410 && code <= 0x044F) // А..я
            out += char(0xC0 + (code - 0x0410));
        else if (code == 0x0401) // Ё
            out += char(0xA8);
        else if (code == 0x0451) // ё
            out += char(0xB8);
        else
            return std::nullopt;
        i += 2;
    }
    return out;
}

std::string monthText(MonthNames names, int month)
{
    if (month < 1 || month > 12)
        return "---";
    switch (names) {
    case MonthNames::Italian:
        return kItalian[month - 1];
    case MonthNames::Cyrillic:
        return kCyrillic[month - 1];
    case MonthNames::English:
        break;
    }
    return kEnglish[month - 1];
}

std::optional<Decimal> parseDecimal(std::string_view text)
{
    Decimal d;
    std::size_t digits = 0;
    bool point = false;
    for (char c : text) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        if (++digits > kMaxDecimalDigits)
            return std::nullopt;
        d.units = d.units * 10 + (c - '0');
        if (point && ++d.places > kMaxDecimalPlaces)
            return std::nullopt;
    }
    if (digits == 0 || (point && d.places == 0))
        return std::nullopt;
    return d;
}

std::string decimalText(Decimal value)
{
    const bool negative = value.units < 0;
    const std::int64_t magnitude = negative ? -value.units : value.units;
    const std::int64_t scale = power10(value.places);
    std::string text = std::to_string(magnitude / scale);
    if (value.places > 0) {
        std::string fraction = std::to_string(magnitude % scale);
        text += "." + std::string(static_cast<std::size_t>(value.places) - fraction.size(), '0') + fraction;
    }
    return negative ? "-" + text : text;
}

Decimal plus(Decimal a, Decimal b)
{
    align(a, b);
    return {a.units + b.units, a.places};
}

Decimal minus(Decimal a, Decimal b)
{
    align(a, b);
    return {a.units - b.units, a.places};
}

std::string addressRanges(std::vector<int> addresses)
{
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    std::string text;
    for (std::size_t i = 0; i < addresses.size();) {
        std::size_t end = i;
        while (end + 1 < addresses.size() && addresses[end + 1] == addresses[end] + 1)
            ++end;
        const auto item = [&text](int a) { text += (text.empty() ? "" : ",") + std::to_string(a); };
        if (end - i >= 2) {
            item(addresses[i]);
            text += "-" + std::to_string(addresses[end]);
        } else {
            for (std::size_t k = i; k <= end; ++k)
                item(addresses[k]);
        }
        i = end + 1;
    }
    return text;
}

CivilTime civilTime(std::int64_t seconds)
{
    using namespace std::chrono;
    const sys_seconds moment{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(moment);
    const year_month_day ymd{day};
    const hh_mm_ss hms{moment - day};
    return {int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

std::int64_t civilSeconds(const CivilTime &t)
{
    using namespace std::chrono;
    const sys_days day{year{t.year} / month{unsigned(t.month)} / std::chrono::day{unsigned(t.day)}};
    return day.time_since_epoch().count() * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

bool validDate(int y, int m, int d)
{
    using namespace std::chrono;
    return m >= 1 && m <= 12 && d >= 1 && d <= 31
           && year_month_day{year{y} / month{unsigned(m)} / day{unsigned(d)}}.ok();
}

int lastDayOfMonth(int y, int m)
{
    using namespace std::chrono;
    return int(unsigned(year_month_day_last{year{y} / month{unsigned(m)} / last}.day()));
}

std::int64_t localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::int64_t(now) + local.tm_gmtoff;
}

std::string dateText(const CivilTime &t)
{
    return twoDigits(t.day) + "/" + twoDigits(t.month) + "/" + twoDigits(t.year);
}

std::string timeText(const CivilTime &t)
{
    return twoDigits(t.hour) + ":" + twoDigits(t.minute);
}

std::string printableText(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += " | ";
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

} // namespace mbussim
