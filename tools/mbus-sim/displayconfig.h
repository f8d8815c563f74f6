#pragma once
// The [display] block of the bus file: the local display/concentrator and the
// table of meters it keeps.
//
//   [display]
//   model        = TEV-K40     (or RUX: the older address list, one per line)
//   clock        = 2026-03-14 09:05   (default: the PC's time)
//   refresh      = 4           (page refresh time, 4..12 s)
//   sort         = user        (or address)
//   months       = english     (italian, cyrillic)
//   tariff-lines = no          (yes: historical records carry T1..T3 lines)
//   entry        = ADDR, UNIT, START, START-P1, START-P2, START-COOLING, MULT/DIV, USER, TEXT,
//                  TOTAL, TOTAL-P1, TOTAL-P2, TOTAL-COOLING      (fields after ADDR optional)
//   history      = ADDR, YYYY-MM, R1 R2 ... (record 1's month, then up to 24
//                  records a month apart: VALUE, VALUE/T1/T2/T3, or - for none)
//
// The full description is in README.md.

#include "displaytext.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace mbussim {

enum class DisplayModel { TevK40, Rux };

inline constexpr int kMaxDisplayAddress = 250;
inline constexpr std::size_t kMaxHistoryRecords = 24;
inline constexpr std::size_t kMaxUserNumber = 4;
inline constexpr std::size_t kMaxFreeText = 20;
inline constexpr std::size_t kMaxMultDiv = 4;
inline constexpr int kMinRefresh = 4;
inline constexpr int kMaxRefresh = 12;

// Units of the main value, by the code of SET UNIT (0: none set).
inline constexpr const char *kUnitNames[] = {"", "kWh", "m3", "kJ", "MJ"};
inline constexpr int kUnitCount = 5;

struct HistoryRecord {
    bool empty = true;
    std::string value;
    std::array<std::string, 3> tariffs{"0", "0", "0"}; // T1..T3
};

// The four counters of an entry, in the order of the start-value commands.
enum Counter { MainCounter = 0, Pulse1Counter = 1, Pulse2Counter = 2, CoolingCounter = 3, CounterCount = 4 };

struct DisplayEntry {
    int address = 1;
    int unit = 0;                                                    // index into kUnitNames
    std::array<std::string, CounterCount> start{"0", "0", "0", "0"}; // as written
    std::array<Decimal, CounterCount> used{};                        // counted since the start: total = start + used
    std::string multiplier = "1";
    std::string divider = "1";
    std::string user;       // up to 4 characters
    std::string text;       // up to 20 characters, Windows-1251 (the bus file gives UTF-8)
    int historyYear = 2000; // month of record 1
    int historyMonth = 1;
    std::vector<HistoryRecord> history; // record k is k-1 months after record 1
};

struct DisplayConfig {
    int line = 0; // of the [display] header
    DisplayModel model = DisplayModel::TevK40;
    std::optional<CivilTime> clock; // none: the PC's time
    int refresh = kMinRefresh;
    int sortType = 1; // 0 by address, 1 by user number
    MonthNames months = MonthNames::English;
    bool tariffLines = false;
    bool finalLineBreak = false;       // every reply ends with CR LF
    std::vector<DisplayEntry> entries; // ascending addresses, each once
};

// Reads the keys of one [display] block.
class DisplayBlock {
public:
    explicit DisplayBlock(int line) { m_config.line = line; }

    // An error text, empty when the line is taken.
    std::string set(const std::string &key, const std::string &value);
    // Checks what needs the whole block (history of a known entry); an error text or empty.
    std::string finish();
    const DisplayConfig &config() const { return m_config; }

private:
    std::string entry(const std::string &value);
    std::string history(const std::string &value);

    DisplayConfig m_config;
    std::vector<std::string> m_seen;
    std::vector<std::pair<int, DisplayEntry>> m_histories; // address, records
};

// Shared with the commands: a unit by name ("m3") or code ("2"); -1 when unknown.
int unitCode(const std::string &text);
// The multiplier and divider of "10/1", "10", "/4"; false when a part is no
// number of 1..4 digits.
bool splitMultDiv(const std::string &text, std::string &multiplier, std::string &divider);
// A part of 1..4 digits.
bool validMultDiv(const std::string &text);

} // namespace mbussim
