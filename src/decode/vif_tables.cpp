#include "vif_tables.h"

#include <array>
#include <cstddef>

namespace decode::tables {

namespace {

// One range of keys sharing a unit; the exponent grows by expStep per key.
struct VifRange {
    std::uint8_t first;
    std::uint8_t last;
    std::string_view unit;
    std::int8_t exp10First;
    std::int8_t expStep;
    std::string_view description;
    Quantity quantity = Quantity::Unknown;
    bool timeUnits = false; // description by key bits 1..0: seconds .. days
};

constexpr std::array<std::string_view, 4> kTimeUnits{"seconds", "minutes", "hours", "days"};

constexpr std::array kPrimary{
    VifRange{0x00, 0x07, "kWh", -6, 1, "", Quantity::Energy},
    VifRange{0x08, 0x0F, "kJ", -3, 1, "", Quantity::Energy},
    VifRange{0x10, 0x12, "m3", -6, 1, "", Quantity::Volume},
    VifRange{0x13, 0x13, "m3", -3, 0, "KV1", Quantity::Volume},
    VifRange{0x14, 0x14, "m3", -2, 0, "KV2", Quantity::Volume},
    VifRange{0x15, 0x17, "m3", -1, 1, "", Quantity::Volume},
    VifRange{0x20, 0x23, "On Time", 0, 0, "", Quantity::OnTime, true},
    VifRange{0x24, 0x27, "Operating Time", 0, 0, "", Quantity::OperatingTime, true},
    VifRange{0x28, 0x2D, "W", -3, 1, "", Quantity::Power},
    VifRange{0x2E, 0x2F, "kW", 0, 1, "", Quantity::Power},
    VifRange{0x30, 0x36, "J/h", 0, 1, "", Quantity::Power},
    VifRange{0x38, 0x3F, "l/h", -3, 1, "Debit", Quantity::VolumeFlow},
    VifRange{0x58, 0x5B, "deg. C", -3, 1, "Flow Temp.", Quantity::FlowTemperature},
    VifRange{0x5C, 0x5F, "deg. C", -3, 1, "Return Temp.", Quantity::ReturnTemperature},
    VifRange{0x60, 0x63, "deg. K", -3, 1, "TDiff", Quantity::TemperatureDifference},
    VifRange{0x64, 0x67, "deg. C", -3, 1, "External Temperature", Quantity::ExternalTemperature},
    VifRange{0x68, 0x6A, "mbar", 0, 1, "", Quantity::Pressure},
    VifRange{0x6C, 0x6C, "Time point", 0, 0, "Date (dd.mm.yyyy)", Quantity::Date},
    VifRange{0x6D, 0x6D, "Time point", 0, 0, "Date and time (hh:mm, dd.mm.yyyy)", Quantity::DateTime},
    VifRange{0x6E, 0x6E, "Dimensionless", 0, 0, "", Quantity::HcaUnits},
    VifRange{0x70, 0x70, "Average duration", 0, 0, "", Quantity::AveragingDuration},
    VifRange{0x74, 0x74, "Actuality Duration", 0, 0, "", Quantity::ActualityDuration},
    VifRange{0x78, 0x78, "Fabr. No.", 0, 0, "", Quantity::FabricationNumber},
};

constexpr std::array kExtensionFb{
    VifRange{0x00, 0x01, "kWh", 2, 1, "", Quantity::Energy},
    VifRange{0x02, 0x07, "Reserved", 0, 0, "", Quantity::Unknown},
    VifRange{0x08, 0x09, "GJ", -1, 1, "", Quantity::Energy},
    VifRange{0x0A, 0x0F, "Reserved", 0, 0, "", Quantity::Unknown},
    VifRange{0x10, 0x11, "m3", 2, 1, "", Quantity::Volume},
    VifRange{0x28, 0x29, "kW", 2, 1, "", Quantity::Power},
    VifRange{0x2A, 0x2F, "Reserved", 0, 0, "", Quantity::Unknown},
    VifRange{0x58, 0x5A, "Flow Temperature, deg. F", -3, 1, "", Quantity::FlowTemperature},
    VifRange{0x5B, 0x5B, "Flow Temperature, F", 0, 0, "", Quantity::FlowTemperature},
    VifRange{0x5C, 0x5F, "Return Temperature, deg. F", -3, 1, "", Quantity::ReturnTemperature},
    VifRange{0x60, 0x63, "Temp. difference, deg. F", -3, 1, "", Quantity::TemperatureDifference},
    VifRange{0x64, 0x67, "External temperature, F", -3, 1, "", Quantity::ExternalTemperature},
    VifRange{0x68, 0x6F, "Reserved", 0, 0, "", Quantity::Unknown},
};

struct FdRange {
    std::uint8_t first;
    std::uint8_t last;
    std::string_view unit;
    FdKind kind = FdKind::Text;
};

constexpr std::array kExtensionFd{
    FdRange{0x00, 0x03, "Credit in currency units"},
    FdRange{0x04, 0x07, "Debit in currency units"},
    FdRange{0x08, 0x08, "Access Number"},
    FdRange{0x09, 0x09, "Medium"},
    FdRange{0x0A, 0x0A, "Manufacturer"},
    FdRange{0x0B, 0x0B, "Enhanced identification"},
    FdRange{0x0C, 0x0C, "Model/Version"},
    FdRange{0x0D, 0x0D, "Hardware version No."},
    FdRange{0x0E, 0x0E, "Firmware version No."},
    FdRange{0x0F, 0x0F, "Software version No."},
    FdRange{0x10, 0x10, "Customer location"},
    FdRange{0x11, 0x11, "Customer"},
    FdRange{0x12, 0x12, "Access code user"},
    FdRange{0x13, 0x13, "Access code operator"},
    FdRange{0x16, 0x16, "Password"},
    FdRange{0x17, 0x17, "Error flags"},
    FdRange{0x18, 0x18, "Error mask"},
    FdRange{0x19, 0x19, "Reserved"},
    FdRange{0x1A, 0x1A, "Digitial Output (binary)"},
    FdRange{0x1B, 0x1B, "Digitial Input (binary)"},
    FdRange{0x1C, 0x1C, "Baudrate"},
    FdRange{0x1D, 0x1D, "Response Delay time"},
    FdRange{0x1E, 0x1E, "Retry"},
    FdRange{0x1F, 0x1F, "Reserved"},
    FdRange{0x3A, 0x3A, "Dimensionless"},
    FdRange{0x40, 0x4F, "Volts, 10^", FdKind::Volts},
    FdRange{0x50, 0x55, "Ampers, 10^", FdKind::Ampers},
};

// Ranges must be well formed, ascending and disjoint, and lie in 0x00..0x7F.
template <typename Range, std::size_t N>
constexpr bool wellFormed(const std::array<Range, N> &table)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i].first > table[i].last || table[i].last > 0x7F)
            return false;
        if (i > 0 && table[i].first <= table[i - 1].last)
            return false;
    }
    return true;
}
static_assert(wellFormed(kPrimary), "primary VIF ranges overlap or are out of order");
static_assert(wellFormed(kExtensionFb), "0xFB ranges overlap or are out of order");
static_assert(wellFormed(kExtensionFd), "0xFD ranges overlap or are out of order");

constexpr std::uint8_t kNone = 0xFF;

// Key -> range index, so a lookup is one array access.
template <typename Range, std::size_t N>
constexpr std::array<std::uint8_t, 128> indexOf(const std::array<Range, N> &table)
{
    static_assert(N < kNone);
    std::array<std::uint8_t, 128> index{};
    for (auto &slot : index)
        slot = kNone;
    for (std::size_t i = 0; i < N; ++i) {
        for (unsigned key = table[i].first; key <= table[i].last; ++key)
            index[key] = static_cast<std::uint8_t>(i);
    }
    return index;
}

constexpr auto kPrimaryIndex = indexOf(kPrimary);
constexpr auto kFbIndex = indexOf(kExtensionFb);
constexpr auto kFdIndex = indexOf(kExtensionFd);

// Spot checks of the worked examples.
static_assert(kPrimary[kPrimaryIndex[0x13]].description == "KV1");
static_assert(kPrimaryIndex[0x37] == kNone && kPrimaryIndex[0x6B] == kNone);
static_assert(kExtensionFb[kFbIndex[0x5B]].unit == "Flow Temperature, F");
static_assert(kExtensionFd[kFdIndex[0x4C]].kind == FdKind::Volts);

VifEntry entryOf(const VifRange &range, std::uint8_t key)
{
    const int step = key - range.first;
    return VifEntry{range.unit, range.timeUnits ? kTimeUnits[key & 0x03] : range.description,
                    range.exp10First + range.expStep * step, range.quantity};
}

} // namespace

VifEntry primaryVif(std::uint8_t key)
{
    const std::uint8_t i = key < 0x80 ? kPrimaryIndex[key] : kNone;
    if (i == kNone)
        return VifEntry{"N/A", "", 0};
    return entryOf(kPrimary[i], key);
}

VifEntry extensionFbVif(std::uint8_t key)
{
    const std::uint8_t i = key < 0x80 ? kFbIndex[key] : kNone;
    if (i == kNone)
        return VifEntry{"VIF not supported", "", 0};
    return entryOf(kExtensionFb[i], key);
}

FdEntry extensionFdVif(std::uint8_t key)
{
    const std::uint8_t i = key < 0x80 ? kFdIndex[key] : kNone;
    if (i == kNone)
        return FdEntry{"VIF not supported", FdKind::Text, 0};
    const FdRange &range = kExtensionFd[i];
    switch (range.kind) {
    case FdKind::Volts:
        return FdEntry{range.unit, range.kind, (key & 0x0F) - 9};
    case FdKind::Ampers:
        return FdEntry{range.unit, range.kind, (key & 0x0F) - 12};
    case FdKind::Text:
        break;
    }
    return FdEntry{range.unit, FdKind::Text, 0};
}

} // namespace decode::tables
