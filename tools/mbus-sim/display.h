#pragma once
// The local display/concentrator (TEV-K40, or the older RUX): a table of
// meters by primary address, configured and read with plain-text commands of
// a verb, a four-letter keyword and comma-separated arguments:
//
//   GET ADDR            -> "Active devices: 1-3,7,12"   (RUX: the marker line, then one address a line)
//   SET ENTR=5          -> "Device 5 Active"  /  "Device 5 Already in table"
//   GET ENTR=5,1        -> Device 5 | Total pulses *10/1 | Start: 1234.5 m3 | Total: 4567.8 m3
//   GET HIST=5,3        -> Device 5, record 3 | Hist values: 123.4 | Date: 31/Mar/25
//
// Lines are separated by CR LF; a reply has no line end after its last line
// (the reader takes the last lines as the answer). Every SET and DEL changes
// the state, so what is written reads back. Replies for each command are in
// README.md.

#include "displayconfig.h"
#include "displayfaults.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mbussim {

struct DisplayReply {
    bool silent = false; // nothing goes back
    std::string text;    // the reply bytes
    std::vector<std::string> notes;
};

class Display {
public:
    // The PC's clock, as seconds of a zone-less calendar (localNow()).
    using Clock = std::function<std::int64_t()>;

    explicit Display(DisplayConfig config, std::uint32_t seed = 1, std::vector<DisplayFaultOption> faults = {},
                     Clock clock = {});

    // One command in, the reply out, with the faults.
    DisplayReply answer(std::string_view command);
    // The reply without faults.
    std::string execute(std::string_view command);

    const DisplayConfig &state() const { return m_state; }
    std::int64_t now() const { return m_clock() + m_offset; }
    // "display TEV-K40, 12 entries, months english" for the start-up note.
    std::string label() const;

private:
    struct Command;
    std::string run(const Command &c);
    std::string entryCommand(const Command &c);
    std::string readCommand(const Command &c, const DisplayEntry &e);
    std::string addressList() const;
    std::string mainInfo() const;
    std::string serviceInfo() const;
    std::string history(const DisplayEntry &e, int record) const;
    DisplayEntry *find(int address);
    const char *modelName() const;

    DisplayConfig m_state;
    DisplayFaults m_faults;
    Clock m_clock;
    std::int64_t m_offset = 0;   // display clock minus PC clock
    std::int64_t m_lastRead = 0; // display time of the last reading of the meters
    int m_sortTable = -1;        // devices in the sort table; -1 not built
    bool m_locked = false;
};

} // namespace mbussim
