#pragma once
// What the device table shows of one decoded reply: the main value, the
// secondary main value, the model text and the additional values, chosen from
// the record work table by the reply's medium (its unit slots) and maker.

#include "decode.h"

#include <string>
#include <vector>

namespace decode {

inline constexpr int kMaxAdditionalValues = 13;
inline constexpr std::size_t kAdditionalValueLength = 15;

struct TableOptions {
    bool secondaryMain = false; // "Secondary Main": a second main value column
    int additionalCount = 0;    // 0..13 additional value columns
};

struct TableValues {
    std::string mainValue;
    std::string mainUnit;
    std::string secondaryMain;
    std::string model;
    std::vector<std::string> additional; // additionalCount slots, "value unit", at most 15 characters
};

// QRV pulse modules (version 0x1B) with the secondary main value on have a
// table row of their own.
bool isPulseModuleReply(const ReplyHeader &header, const TableOptions &options);

TableValues chooseTableValues(const ReplyHeader &header, const std::vector<WorkRow> &rows, const TableOptions &options);

} // namespace decode
