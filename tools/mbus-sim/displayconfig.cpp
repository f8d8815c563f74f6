#include "displayconfig.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace mbussim {

namespace {
std::string trim(const std::string &s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> fields(const std::string &value)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = value.find(',', from);
        out.push_back(trim(value.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
        if (comma == std::string::npos)
            return out;
        from = comma + 1;
    }
}

// A whole number of 1..`digits` digits in low..high.
std::optional<int> smallNumber(const std::string &text, int low, int high, std::size_t digits = 4)
{
    if (text.empty() || text.size() > digits
        || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int v = std::stoi(text);
    if (v < low || v > high)
        return std::nullopt;
    return v;
}

std::optional<int> address(const std::string &text)
{
    return smallNumber(text, 1, kMaxDisplayAddress, 3);
}

// "2026-03-14 09:05", seconds optional.
std::optional<CivilTime> clockValue(const std::string &text)
{
    CivilTime t;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                              &t.second, &tail);
    if ((n != 5 && n != 6) || t.year < 2000 || t.year > 2099 || !validDate(t.year, t.month, t.day) || t.hour > 23
        || t.minute > 59 || t.second > 59 || t.hour < 0 || t.minute < 0 || t.second < 0)
        return std::nullopt;
    return t;
}
} // namespace

int unitCode(const std::string &text)
{
    for (int i = 1; i < kUnitCount; ++i)
        if (text == kUnitNames[i] || text == std::to_string(i))
            return i;
    return -1;
}

bool validMultDiv(const std::string &text)
{
    return smallNumber(text, 0, 9999, kMaxMultDiv).has_value();
}

bool splitMultDiv(const std::string &text, std::string &multiplier, std::string &divider)
{
    const std::size_t slash = text.find('/');
    multiplier = slash == std::string::npos ? text : text.substr(0, slash);
    divider = slash == std::string::npos ? "" : text.substr(slash + 1);
    if (multiplier.empty())
        multiplier = "1";
    if (divider.empty())
        divider = "1";
    return validMultDiv(multiplier) && validMultDiv(divider);
}

std::string DisplayBlock::set(const std::string &key, const std::string &value)
{
    if (key == "entry")
        return entry(value);
    if (key == "history")
        return history(value);
    if (std::find(m_seen.begin(), m_seen.end(), key) != m_seen.end())
        return "'" + key + "' given twice for the display";
    m_seen.push_back(key);
    const std::string v = lower(value);
    DisplayConfig &c = m_config;
    if (key == "model") {
        if (v == "tev-k40" || v == "tev")
            c.model = DisplayModel::TevK40;
        else if (v == "rux" || v == "rux-central")
            c.model = DisplayModel::Rux;
        else
            return "model must be TEV-K40 or RUX, not '" + value + "'";
    } else if (key == "clock") {
        if (v == "pc")
            return {};
        c.clock = clockValue(value);
        if (!c.clock)
            return "clock must be YYYY-MM-DD HH:MM (years 2000..2099) or 'pc', not '" + value + "'";
    } else if (key == "refresh") {
        const auto r = smallNumber(value, kMinRefresh, kMaxRefresh, 2);
        if (!r)
            return "refresh must be 4..12 seconds, not '" + value + "'";
        c.refresh = *r;
    } else if (key == "sort") {
        if (v == "address" || v == "0")
            c.sortType = 0;
        else if (v == "user" || v == "1")
            c.sortType = 1;
        else
            return "sort must be 'address' or 'user', not '" + value + "'";
    } else if (key == "months") {
        if (v == "english")
            c.months = MonthNames::English;
        else if (v == "italian")
            c.months = MonthNames::Italian;
        else if (v == "cyrillic")
            c.months = MonthNames::Cyrillic;
        else
            return "months must be english, italian or cyrillic, not '" + value + "'";
    } else if (key == "tariff-lines" || key == "final-line-break") {
        if (v != "yes" && v != "no")
            return key + " must be yes or no, not '" + value + "'";
        (key == "tariff-lines" ? c.tariffLines : c.finalLineBreak) = v == "yes";
    } else {
        return "unknown display key '" + key + "'";
    }
    return {};
}

std::string DisplayBlock::entry(const std::string &value)
{
    const std::vector<std::string> f = fields(value);
    if (f.size() > 13)
        return "an entry has at most 13 fields, this one " + std::to_string(f.size());
    const auto field = [&f](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
    DisplayEntry e;
    const auto a = address(f[0]);
    if (!a)
        return "entry address must be 1..250, not '" + f[0] + "'";
    e.address = *a;
    for (const DisplayEntry &known : m_config.entries)
        if (known.address == e.address)
            return "a second entry for address " + f[0];
    if (!field(1).empty()) {
        e.unit = unitCode(field(1));
        if (e.unit < 0)
            return "entry unit must be kWh, m3, kJ or MJ (or 1..4), not '" + field(1) + "'";
    }
    const char *const names[CounterCount] = {"start", "start P1", "start P2", "start cooling"};
    const char *const totals[CounterCount] = {"total", "total P1", "total P2", "total cooling"};
    for (int i = 0; i < CounterCount; ++i) {
        const std::string start = field(2 + std::size_t(i));
        const std::string total = field(9 + std::size_t(i));
        if (!start.empty()) {
            if (!parseDecimal(start))
                return std::string("entry ") + names[i] + " must be a number like 12.5, not '" + start + "'";
            e.start[std::size_t(i)] = start;
        }
        if (total.empty())
            continue;
        const auto t = parseDecimal(total);
        if (!t)
            return std::string("entry ") + totals[i] + " must be a number like 12.5, not '" + total + "'";
        const Decimal used = minus(*t, *parseDecimal(e.start[std::size_t(i)]));
        if (used.units < 0)
            return "entry total " + total + " is below its start value " + e.start[std::size_t(i)];
        e.used[std::size_t(i)] = used;
    }
    if (!field(6).empty() && !splitMultDiv(field(6), e.multiplier, e.divider))
        return "entry mult/div must be like 10/1 (up to 4 digits each), not '" + field(6) + "'";
    if (field(7).size() > kMaxUserNumber)
        return "entry user number has at most 4 characters, not '" + field(7) + "'";
    e.user = field(7);
    // The display keeps its texts in its code page.
    const std::optional<std::string> text = toWindows1251(field(8));
    if (!text)
        return "entry text must be Latin or Cyrillic letters (the display's Windows-1251), not '" + field(8) + "'";
    if (text->size() > kMaxFreeText)
        return "entry text has at most 20 characters, not '" + field(8) + "'";
    e.text = *text;
    const auto at = std::lower_bound(m_config.entries.begin(), m_config.entries.end(), e.address,
                                     [](const DisplayEntry &x, int a) { return x.address < a; });
    m_config.entries.insert(at, std::move(e));
    return {};
}

std::string DisplayBlock::history(const std::string &value)
{
    const std::vector<std::string> f = fields(value);
    if (f.size() != 3)
        return "history wants ADDRESS, YYYY-MM, records";
    const auto a = address(f[0]);
    if (!a)
        return "history address must be 1..250, not '" + f[0] + "'";
    for (const auto &known : m_histories)
        if (known.first == *a)
            return "a second history for address " + f[0];
    DisplayEntry h;
    char tail = 0;
    if (std::sscanf(f[1].c_str(), "%4d-%2d%c", &h.historyYear, &h.historyMonth, &tail) != 2 || h.historyYear < 2000
        || h.historyYear > 2099 || h.historyMonth < 1 || h.historyMonth > 12)
        return "history month must be YYYY-MM (years 2000..2099), not '" + f[1] + "'";
    std::istringstream words(f[2]);
    std::string word;
    while (words >> word) {
        HistoryRecord r;
        if (word != "-") {
            std::vector<std::string> parts;
            std::size_t from = 0;
            for (std::size_t slash; (slash = word.find('/', from)) != std::string::npos; from = slash + 1)
                parts.push_back(word.substr(from, slash - from));
            parts.push_back(word.substr(from));
            if (parts.size() != 1 && parts.size() != 4)
                return "a history record is VALUE, VALUE/T1/T2/T3 or -, not '" + word + "'";
            for (const std::string &p : parts)
                if (!parseDecimal(p))
                    return "history value must be a number like 12.5, not '" + p + "'";
            r.empty = false;
            r.value = parts[0];
            for (std::size_t i = 1; i < parts.size(); ++i)
                r.tariffs[i - 1] = parts[i];
        }
        h.history.push_back(std::move(r));
    }
    if (h.history.empty() || h.history.size() > kMaxHistoryRecords)
        return "history wants 1..24 records, not " + std::to_string(h.history.size());
    m_histories.emplace_back(*a, std::move(h));
    return {};
}

std::string DisplayBlock::finish()
{
    for (auto &[address, h] : m_histories) {
        const auto e = std::find_if(m_config.entries.begin(), m_config.entries.end(),
                                    [address = address](const DisplayEntry &x) { return x.address == address; });
        if (e == m_config.entries.end())
            return "history for address " + std::to_string(address) + ", which has no entry";
        e->historyYear = h.historyYear;
        e->historyMonth = h.historyMonth;
        e->history = std::move(h.history);
    }
    m_histories.clear();
    return {};
}

} // namespace mbussim
