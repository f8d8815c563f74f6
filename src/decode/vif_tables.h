#pragma once
// Lookups in the value information tables: the primary VIF table and the two
// extension tables reached through VIF 0xFB and 0xFD. The texts are the ones the
// user sees, exactly, trailing spaces and the program's own spellings included.

#include "record.h"

#include <cstdint>
#include <string_view>

namespace decode::tables {

struct VifEntry {
    std::string_view unit;
    std::string_view description;
    int exp10 = 0; // multiplier = 10^exp10
    Quantity quantity = Quantity::Unknown;
};

// key: VIF 0x00..0x7F (bit 7 already cleared). Keys not in the table: "N/A".
VifEntry primaryVif(std::uint8_t key);

// key: first VIFE after 0xFB, bit 7 cleared. Unknown keys: "VIF not supported".
VifEntry extensionFbVif(std::uint8_t key);

// key: first VIFE after 0xFD, bit 7 cleared; multiplier always 1.
enum class FdKind : std::uint8_t { Text, Volts, Ampers };
struct FdEntry {
    std::string_view unit; // for Volts/Ampers the prefix "Volts, 10^" / "Ampers, 10^"
    FdKind kind = FdKind::Text;
    int exponent = 0; // Volts/Ampers: the power of ten to append
};
FdEntry extensionFdVif(std::uint8_t key);

} // namespace decode::tables
