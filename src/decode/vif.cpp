#include "values.h"
#include "vif_tables.h"

namespace decode::detail {

Unit decodeUnit(const Reader &area, std::size_t vifOffset, std::uint8_t vif, std::string &plainUnit)
{
    Unit unit;
    const bool readable = area.contains(vifOffset);
    switch (vif) {
    case 0x7C:
    case 0xFC: { // plain-text unit: length byte, then the characters
        unit.quantity = Quantity::PlainText;
        const auto length = readable ? area.byte(vifOffset + 1) : std::nullopt;
        const auto text = length ? area.bytes(vifOffset + 2, *length) : std::nullopt;
        if (!text)
            unit.complete = false;
        else
            plainUnit.assign(reinterpret_cast<const char *>(text->data()), text->size());
        return unit;
    }
    case 0xFD:
    case 0xFB: {
        const auto vife = readable ? area.byte(vifOffset + 1) : std::nullopt;
        if (!vife) {
            unit.complete = false;
            unit.name = "VIF not supported";
            return unit;
        }
        if (vif == 0xFB) {
            const tables::VifEntry entry = tables::extensionFbVif(*vife & 0x7F);
            return Unit{entry.quantity, entry.unit, entry.description, entry.exp10, true};
        }
        const tables::FdEntry entry = tables::extensionFdVif(*vife & 0x7F);
        switch (entry.kind) {
        case tables::FdKind::Volts:
            return Unit{Quantity::Voltage, "V", {}, entry.exponent, true};
        case tables::FdKind::Ampers:
            return Unit{Quantity::Current, "A", {}, entry.exponent, true};
        case tables::FdKind::Text:
            break;
        }
        unit.quantity = entry.unit == "VIF not supported" ? Quantity::Unknown : Quantity::Other;
        unit.name = entry.unit;
        return unit;
    }
    case 0x7E:
    case 0xFE:
        return Unit{Quantity::Readout, "Readout - not supported for now", {}, 0, true};
    case 0x7F:
    case 0xFF:
        return Unit{Quantity::ManufacturerSpecific, "Manufacturer specific", {}, 0, true};
    default:
        break;
    }
    // 0x80..0xEF are looked up without their extension bit; 0xF0..0xFA find nothing.
    const std::uint8_t key = vif < 0xF0 ? static_cast<std::uint8_t>(vif & 0x7F) : vif;
    const tables::VifEntry entry = tables::primaryVif(key);
    return Unit{entry.quantity, entry.unit, entry.description, entry.exp10, true};
}

} // namespace decode::detail
