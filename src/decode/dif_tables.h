#pragma once
// Data information tables: what the DIF's data field (bits 3..0) holds and how
// its value is shown, and the function/storage text of its upper nibble.

#include <array>
#include <cstdint>
#include <string_view>

namespace decode::tables {

enum class DataKind : std::uint8_t {
    NoData,    // 0x0
    Integer,   // 0x1..0x4, 0x6: two's complement, least significant byte first
    Real,      // 0x5: IEEE 754 single
    Integer64, // 0x7: shown as hex only
    Selection, // 0x8: selection for readout
    Bcd,       // 0x9..0xC, 0xE: least significant byte first
    Variable,  // 0xD: LVAR byte first
    Special,   // 0xF: manufacturer-specific data to the end
};

struct DataField {
    DataKind kind;
    std::uint8_t length;    // bytes (Variable: from LVAR; Special: to the end)
    std::uint8_t precision; // significant digits of the fixed-point value text
};

inline constexpr std::array<DataField, 16> kDataFields{{
    {DataKind::NoData, 0, 0},
    {DataKind::Integer, 1, 8},
    {DataKind::Integer, 2, 8},
    {DataKind::Integer, 3, 11},
    {DataKind::Integer, 4, 13},
    {DataKind::Real, 4, 9},
    {DataKind::Integer, 6, 13},
    {DataKind::Integer64, 8, 0},
    {DataKind::Selection, 0, 0},
    {DataKind::Bcd, 1, 8},
    {DataKind::Bcd, 2, 8},
    {DataKind::Bcd, 3, 11},
    {DataKind::Bcd, 4, 13},
    {DataKind::Variable, 0, 0},
    {DataKind::Bcd, 6, 15},
    {DataKind::Special, 0, 0},
}};

// DIF bits 7..4.
inline constexpr std::array<std::string_view, 16> kFunctionTexts{
    "Instantenous value ",
    "Maximum value ",
    "Minimum value ",
    "Value during Error state ",
    "Storage number, Instantenous value ",
    "Storage number, Maximum value ",
    "Storage number, Minimum value ",
    "Storage number, Value during Error state ",
    "Instantenous value, Extension ",
    "Maximum value, Extension ",
    "Minimum value, Extension ",
    "Value during error state, Extension ",
    "Storage number, Instantenous value, Extension ",
    "Storage number, Maximum value, Extension ",
    "Storage number, Minimum value, Extension ",
    "Storage number, Value during Error state, Extension ",
};

} // namespace decode::tables
