#pragma once
// The bus file: a text description of the simulated meters.
//
//   # comment (also ';'), anywhere on a line
//   [meter]
//   name         = Kitchen cold water      (optional, shown in the notes)
//   address      = 5                       (primary address 0..250 or none, default 0)
//   id           = 12345678                (8 digits, required)
//   manufacturer = ABC                     (3 letters, required)
//   version      = 0x01                    (0..255, default 0)
//   medium       = water                   (name or number, required)
//   status       = 0                       (0..255, default 0)
//   access       = 0                       (access number of the first reply, default 0)
//   record       = 0C 13 78 56 34 12       (one line per record, in telegram order)
//   raw          = 68 ... 16               (instead of records: the reply as it stands)
//   answer-every = 2                       (answers only every 2nd request, default 1)
//   drop-first   = 1                       (loses its first answer, default 0)
//
// One [display] block may describe the display/concentrator beside the
// meters (displayconfig.h). The full description, with the medium names, is
// in README.md and --help.

#include "displayconfig.h"
#include "meter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbussim {

struct BusFileResult {
    std::vector<MeterConfig> meters;
    std::optional<DisplayConfig> display; // the [display] block, when there is one
    int errorLine = 0;                    // 1-based line of the first error
    std::string error;                    // empty on success
    bool ok() const { return error.empty(); }
};

BusFileResult parseBusText(std::string_view text);
// Reads and parses a file; a file that cannot be read gives line 0.
BusFileResult readBusFile(const std::string &path);

// Medium names understood in the bus file ("water", "heat", ...), with codes.
struct MediumName {
    const char *name;
    std::uint8_t code;
};
extern const MediumName kMediumNames[];
extern const std::size_t kMediumNameCount;

} // namespace mbussim
