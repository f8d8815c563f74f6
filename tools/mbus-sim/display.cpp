#include "display.h"

#include <algorithm>

namespace mbussim {

namespace {
constexpr const char *kCrLf = "\r\n";
constexpr const char *kMarker = "Active devices: ";

std::string lines(std::initializer_list<std::string> parts)
{
    std::string text;
    for (const std::string &p : parts)
        text += (text.empty() ? "" : kCrLf) + p;
    return text;
}

bool digits(std::string_view s, std::size_t max)
{
    return !s.empty() && s.size() <= max
           && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// 1..250 from a text of up to three digits; -1 otherwise.
int addressOf(std::string_view s)
{
    if (!digits(s, 3))
        return -1;
    const int a = std::stoi(std::string(s));
    return a >= 1 && a <= kMaxDisplayAddress ? a : -1;
}

std::string withUnit(const std::string &value, int unit)
{
    return unit > 0 && unit < kUnitCount ? value + " " + kUnitNames[unit] : value;
}

const char *const kCounterNames[CounterCount] = {"", " P1", " P2", " cooling"};
} // namespace

// A command split at '=' and ','. SET TEXT keeps its text whole: it may hold commas.
struct Display::Command {
    std::string name; // "SET ENTR"
    bool hasArgs = false;
    std::vector<std::string> args;
    int address = -1; // the device named by the first argument, or -1

    explicit Command(std::string_view raw)
    {
        while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n'))
            raw.remove_suffix(1);
        const std::size_t eq = raw.find('=');
        name = std::string(raw.substr(0, eq));
        if (eq == std::string_view::npos)
            return;
        hasArgs = true;
        std::string_view rest = raw.substr(eq + 1);
        for (;;) {
            const std::size_t comma = rest.find(',');
            if (comma == std::string_view::npos || (name == "SET TEXT" && args.size() == 1)) {
                args.emplace_back(rest);
                break;
            }
            args.emplace_back(rest.substr(0, comma));
            rest.remove_prefix(comma + 1);
        }
        static const char *const noDevice[] = {"SET DATE", "SET TIME", "SET REFR", "SET SRTP"};
        if (std::find(std::begin(noDevice), std::end(noDevice), name) == std::end(noDevice))
            address = addressOf(args[0]);
    }
    std::string arg(std::size_t i) const { return i < args.size() ? args[i] : std::string(); }
};

Display::Display(DisplayConfig config, std::uint32_t seed, std::vector<DisplayFaultOption> faults, Clock clock)
    : m_state(std::move(config)), m_faults(std::move(faults), seed), m_clock(clock ? std::move(clock) : Clock(localNow))
{
    if (m_state.clock)
        m_offset = civilSeconds(*m_state.clock) - m_clock();
    m_lastRead = now();
}

const char *Display::modelName() const
{
    return m_state.model == DisplayModel::Rux ? "RUX-CENTRAL" : "TEV-K40";
}

std::string Display::label() const
{
    static const char *const months[] = {"english", "italian", "cyrillic"};
    return std::string("display ") + modelName() + ", " + std::to_string(m_state.entries.size()) + " entries, months "
           + months[int(m_state.months)] + (m_state.tariffLines ? ", tariff lines" : "");
}

DisplayEntry *Display::find(int address)
{
    const auto e = std::find_if(m_state.entries.begin(), m_state.entries.end(),
                                [address](const DisplayEntry &x) { return x.address == address; });
    return e == m_state.entries.end() ? nullptr : &*e;
}

DisplayReply Display::answer(std::string_view raw)
{
    DisplayReply reply;
    const Command c(raw);
    if (c.name.empty() && !c.hasArgs) {
        reply.silent = true;
        return reply;
    }
    const bool activation = c.name == "SET ENTR";
    const DisplayFault fault = m_faults.strike(c.address, activation);
    const std::string why = std::string(" (--display-fault ") + displayFaultName(fault) + ")";
    switch (fault) {
    case DisplayFault::Silent:
        reply.silent = true;
        reply.notes.push_back("the display does not answer" + why);
        return reply;
    case DisplayFault::NoActivate:
        reply.text = "Device " + c.arg(0) + ": meter does not answer, try again";
        reply.notes.push_back("activation not confirmed" + why);
        return reply;
    default:
        break;
    }
    reply.text = run(c);
    if (fault == DisplayFault::MissingLines) {
        const std::size_t last = reply.text.rfind(kCrLf);
        reply.text.resize(last == std::string::npos ? 0 : last);
        reply.notes.push_back("the reply loses its last line" + why);
    } else if (fault == DisplayFault::Garbage) {
        reply.text = m_faults.garbage(reply.text.size());
        reply.notes.push_back("the reply is garbage" + why);
    }
    reply.silent = reply.text.empty();
    if (m_state.finalLineBreak && !reply.silent)
        reply.text += kCrLf;
    return reply;
}

std::string Display::execute(std::string_view raw)
{
    return run(Command(raw));
}

std::string Display::run(const Command &c)
{
    static const char *const plain[] = {"GET ADDR", "GET MAIN", "GET SERV", "SET LOCK", "SET SORT", "SET READ"};
    if (std::find(std::begin(plain), std::end(plain), c.name) != std::end(plain)) {
        if (c.hasArgs)
            return "Error: " + c.name + " takes no arguments";
        const int count = int(m_state.entries.size());
        if (c.name == "GET ADDR")
            return addressList();
        if (c.name == "GET MAIN")
            return mainInfo();
        if (c.name == "GET SERV")
            return serviceInfo();
        if (c.name == "SET LOCK") {
            m_locked = true;
            return "Keys locked";
        }
        if (c.name == "SET SORT") {
            m_sortTable = count;
            return "Sort table ready: " + std::to_string(count) + " devices";
        }
        m_lastRead = now();
        return "Readings updated: " + std::to_string(count) + " devices";
    }
    static const char *const withArgs[] = {"SET DATE", "SET TIME", "SET REFR", "SET SRTP", "SET ENTR",
                                           "DEL ENTR", "SET UNIT", "SET CONM", "SET COND", "SET INIT",
                                           "SET INI1", "SET INI2", "SET INI3", "SET INI4", "SET NUMB",
                                           "SET TEXT", "SET DELP", "GET ENTR", "GET TARR", "GET HIST"};
    if (std::find(std::begin(withArgs), std::end(withArgs), c.name) == std::end(withArgs))
        return "Error: unknown command";
    if (!c.hasArgs)
        return "Error: " + c.name + " wants arguments after '='";
    const std::string a = c.arg(0);
    if (c.name == "SET DATE") {
        int d = 0, m = 0, y = 0;
        const std::size_t s1 = a.find('/'), s2 = a.find('/', s1 == std::string::npos ? a.size() : s1 + 1);
        if (s1 == std::string::npos || s2 == std::string::npos || !digits(a.substr(0, s1), 2)
            || !digits(a.substr(s1 + 1, s2 - s1 - 1), 2) || !digits(a.substr(s2 + 1), 2) || c.args.size() != 1
            || !validDate(y = 2000 + std::stoi(a.substr(s2 + 1)), m = std::stoi(a.substr(s1 + 1, s2 - s1 - 1)),
                          d = std::stoi(a.substr(0, s1))))
            return "Error: date wants dd/mm/yy";
        CivilTime t = civilTime(now());
        t.year = y, t.month = m, t.day = d;
        m_offset = civilSeconds(t) - m_clock();
        return "Date set: " + dateText(t);
    }
    if (c.name == "SET TIME") {
        const std::size_t colon = a.find(':');
        if (colon == std::string::npos || !digits(a.substr(0, colon), 2) || !digits(a.substr(colon + 1), 2)
            || c.args.size() != 1 || std::stoi(a.substr(0, colon)) > 23 || std::stoi(a.substr(colon + 1)) > 59)
            return "Error: time wants hh:mm";
        CivilTime t = civilTime(now());
        t.hour = std::stoi(a.substr(0, colon));
        t.minute = std::stoi(a.substr(colon + 1));
        t.second = 0;
        m_offset = civilSeconds(t) - m_clock();
        return "Time set: " + timeText(t);
    }
    if (c.name == "SET REFR") {
        if (!digits(a, 2) || c.args.size() != 1 || std::stoi(a) < kMinRefresh || std::stoi(a) > kMaxRefresh)
            return "Error: refresh time 4..12 s";
        m_state.refresh = std::stoi(a);
        return "Refresh time: " + std::to_string(m_state.refresh) + " s";
    }
    if (c.name == "SET SRTP") {
        if ((a != "0" && a != "1") || c.args.size() != 1)
            return "Error: sort type 0 (by address) or 1 (by user number)";
        m_state.sortType = a == "1";
        return std::string("Sort type: ") + a + (a == "1" ? " (by user number)" : " (by address)");
    }
    return entryCommand(c);
}

std::string Display::entryCommand(const Command &c)
{
    const std::string device = "Device " + c.arg(0);
    if (c.address < 0)
        return c.arg(0).empty() ? "Error: address missing" : "Error: address " + c.arg(0) + " not in 1..250";
    const std::size_t wanted = c.name == "SET ENTR" || c.name == "DEL ENTR" ? 1 : 2;
    if (c.args.size() != wanted)
        return "Error: " + c.name + " wants " + (wanted == 1 ? "an address" : "an address and a value");
    DisplayEntry *e = find(c.address);
    if (c.name == "SET ENTR") {
        if (e)
            return device + " Already in table";
        DisplayEntry fresh;
        fresh.address = c.address;
        const CivilTime t = civilTime(now());
        fresh.historyYear = t.year;
        fresh.historyMonth = t.month;
        const auto at = std::lower_bound(m_state.entries.begin(), m_state.entries.end(), c.address,
                                         [](const DisplayEntry &x, int a) { return x.address < a; });
        m_state.entries.insert(at, std::move(fresh));
        return device + " Active";
    }
    if (!e)
        return "Error: device " + c.arg(0) + " not in table";
    if (c.name == "DEL ENTR") {
        m_state.entries.erase(m_state.entries.begin() + (e - m_state.entries.data()));
        return device + " deleted";
    }
    if (c.name.rfind("GET ", 0) == 0)
        return readCommand(c, *e);
    const std::string v = c.arg(1);
    if (c.name == "SET UNIT") {
        const int unit = digits(v, 1) ? unitCode(v) : -1;
        if (unit < 0)
            return "Error: unit 1..4 (kWh, m3, kJ, MJ)";
        e->unit = unit;
        return device + " unit: " + kUnitNames[unit];
    }
    if (c.name == "SET CONM" || c.name == "SET COND") {
        const bool mult = c.name == "SET CONM";
        if (!validMultDiv(v))
            return std::string("Error: ") + (mult ? "multiplier" : "divider") + " of 1..4 digits";
        (mult ? e->multiplier : e->divider) = v;
        return device + (mult ? " multiplier: " : " divider: ") + v;
    }
    if (c.name.rfind("SET INI", 0) == 0) {
        static const char *const names[] = {"SET INIT", "SET INI1", "SET INI2", "SET INI3", "SET INI4"};
        const int index = int(std::find(std::begin(names), std::end(names), c.name) - std::begin(names));
        const int counter = std::min(index, int(CoolingCounter)); // INI3 and INI4 both set the cooling start
        if (!parseDecimal(v))
            return "Error: start value must be a number like 12.5";
        e->start[std::size_t(counter)] = v;
        return device + " start value" + kCounterNames[counter] + ": " + v;
    }
    if (c.name == "SET NUMB") {
        if (v.empty() || v.size() > kMaxUserNumber)
            return "Error: user number of 1..4 characters";
        e->user = v;
        return device + " user number: " + v;
    }
    if (c.name == "SET TEXT") {
        e->text = v.substr(0, kMaxFreeText);
        return device + " text: " + e->text;
    }
    // SET DELP
    if (v != "0")
        return "Error: SET DELP wants 0";
    for (std::string &s : e->start)
        s = "0";
    return device + " start values: 0";
}

std::string Display::readCommand(const Command &c, const DisplayEntry &e)
{
    const std::string device = "Device " + std::to_string(e.address);
    const std::string &which = c.args[1];
    if (c.name == "GET HIST") {
        if (!digits(which, 2) || std::stoi(which) < 1 || std::stoi(which) > int(kMaxHistoryRecords))
            return "Error: record 1..24";
        return history(e, std::stoi(which));
    }
    int counter = MainCounter;
    std::string header = device;
    if (c.name == "GET ENTR") {
        if (which == "2")
            return lines({device, "User #: " + e.user, "Text: " + e.text});
        if (which != "1")
            return "Error: record 1 (values) or 2 (user)";
    } else { // GET TARR
        if (which != "0" && which != "1" && which != "3")
            return "Error: tariff 0 (pulse input 1), 1 (pulse input 2) or 3 (cooling/T4)";
        counter = which == "0" ? Pulse1Counter : which == "1" ? Pulse2Counter : CoolingCounter;
        header += counter == CoolingCounter  ? ", cooling/T4"
                  : counter == Pulse1Counter ? ", pulse input 1"
                                             : ", pulse input 2";
    }
    const std::size_t i = std::size_t(counter);
    const int unit = counter == Pulse1Counter || counter == Pulse2Counter ? 2 : e.unit;
    const std::string total = decimalText(plus(parseDecimal(e.start[i]).value_or(Decimal{}), e.used[i]));
    return lines({header, "Total pulses *" + e.multiplier + "/" + e.divider, "Start: " + withUnit(e.start[i], unit),
                  "Total: " + withUnit(total, unit)});
}

std::string Display::history(const DisplayEntry &e, int record) const
{
    const std::size_t k = std::size_t(record);
    const bool empty = k > e.history.size() || e.history[k - 1].empty;
    const HistoryRecord none{true, "---", {"---", "---", "---"}};
    const HistoryRecord &r = empty ? none : e.history[k - 1];
    std::string text = lines(
        {"Device " + std::to_string(e.address) + ", record " + std::to_string(record), "Hist values: " + r.value});
    if (m_state.tariffLines)
        for (int t = 0; t < 3; ++t)
            text += kCrLf + ("T" + std::to_string(t + 1) + ": " + r.tariffs[std::size_t(t)]);
    if (empty)
        return text + kCrLf + "Date: 00/---/00";
    const int months = e.historyYear * 12 + (e.historyMonth - 1) + record - 1;
    const int year = months / 12, month = months % 12 + 1;
    CivilTime day;
    day.year = year;
    day.month = month;
    day.day = lastDayOfMonth(year, month);
    const std::string date = dateText(day);
    return text + kCrLf + "Date: " + date.substr(0, 3) + monthText(m_state.months, month) + date.substr(5);
}

std::string Display::addressList() const
{
    if (m_state.entries.empty())
        return "No active devices";
    std::vector<int> addresses;
    for (const DisplayEntry &e : m_state.entries)
        addresses.push_back(e.address);
    if (m_state.model == DisplayModel::TevK40)
        return kMarker + addressRanges(addresses);
    std::string text = kMarker;
    for (int a : addresses)
        text += kCrLf + std::to_string(a);
    return text;
}

std::string Display::mainInfo() const
{
    const CivilTime t = civilTime(now());
    return lines({std::string(modelName()) + " display concentrator", "Date: " + dateText(t) + "  Time: " + timeText(t),
                  "Refresh time: " + std::to_string(m_state.refresh) + " s",
                  std::string("Sort type: ") + (m_state.sortType ? "1 (by user number)" : "0 (by address)"),
                  "Devices: " + std::to_string(m_state.entries.size())});
}

std::string Display::serviceInfo() const
{
    const CivilTime read = civilTime(m_lastRead);
    return lines(
        {"Service information", std::string("Firmware: ") + (m_state.model == DisplayModel::Rux ? "1.08" : "3.21"),
         "M-Bus: 2400 baud, " + std::to_string(m_state.entries.size()) + " devices",
         "Last reading: " + dateText(read) + " " + timeText(read),
         "Sort table: " + (m_sortTable < 0 ? std::string("not built") : std::to_string(m_sortTable) + " devices"),
         std::string("Keys: ") + (m_locked ? "locked" : "unlocked")});
}

} // namespace mbussim
