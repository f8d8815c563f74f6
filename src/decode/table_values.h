#pragma once
// What the device table shows of one decoded reply: the main value, the
// secondary main value, the model text and the additional values, chosen from
// the records by the reply's medium (its unit slots) and maker.

#include "record.h"

#include <string>
#include <vector>

namespace decode {

inline constexpr int kMaxAdditionalValues = 13;
inline constexpr std::size_t kAdditionalValueLength = 15;

// The unit a heat cost allocator's reading is shown in.
inline constexpr std::string_view kHcaUnit = "HCA units";

struct TableOptions {
    bool secondaryMain = false; // "Secondary Main": a second main value column
    int additionalCount = 0;    // 0..13 additional value columns
};

// Texts as the work table shows them (Latin-1, like the meter's bytes).
struct TableValues {
    std::string mainValue;
    std::string mainUnit;
    std::string secondaryMain;
    std::string model;
    std::vector<std::string> additional; // additionalCount slots, "value unit", at most 15 characters
};

// QRV pulse modules (version 0x1B) with the secondary main value on have a
// table row of their own.
bool isPulseModuleReply(const MeterHeader &header, const TableOptions &options);

TableValues chooseTableValues(const MeterHeader &header, const std::vector<Record> &records,
                              const TableOptions &options, char separator = '.');

} // namespace decode
