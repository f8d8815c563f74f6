#pragma once
// Faults of the simulated display, drawn from a seeded generator so a run can
// be repeated (--display-fault KIND[:PERCENT][@ADDRESS]):
//
//   missing-lines  the reply loses its last line
//   garbage        the reply is replaced by as many random bytes
//   silent         no reply; the display never heard the command
//   no-activate    SET ENTR is answered without "Active"/"Already" and not carried out
//
// With @ADDRESS only commands naming that device are struck (GET ADDR, GET
// MAIN and the like never are).

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace mbussim {

enum class DisplayFault { None, MissingLines, Garbage, Silent, NoActivate };

struct DisplayFaultOption {
    DisplayFault kind = DisplayFault::None;
    double percent = 100;
    int address = -1; // -1: any command
    bool operator==(const DisplayFaultOption &) const = default;
};

// "silent", "garbage:20", "no-activate@5", "missing-lines:50@7"; nullopt when malformed.
std::optional<DisplayFaultOption> parseDisplayFault(const std::string &text);
const char *displayFaultName(DisplayFault kind);

class DisplayFaults {
public:
    DisplayFaults(std::vector<DisplayFaultOption> options, std::uint32_t seed);

    // The fault for a command naming `address` (-1: none); the kinds are
    // tried in the order given and the first whose chance comes up counts.
    // no-activate is only tried on an activation.
    DisplayFault strike(int address, bool activation);
    std::string garbage(std::size_t size);

private:
    std::vector<DisplayFaultOption> m_options;
    std::mt19937 m_random;
};

} // namespace mbussim
