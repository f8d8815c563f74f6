#include "values.h"

#include "text_append.h"
#include "vif_tables.h"

#include <cmath>

namespace decode::detail {

VifMeaning decodeVif(const Reader &area, std::size_t vifOffset, std::uint8_t vif, std::string &unit)
{
    VifMeaning info;
    const bool readable = area.contains(vifOffset);
    switch (vif) {
    case 0x7C:
    case 0xFC: { // plain-text unit: length byte, then the characters
        const auto length = readable ? area.byte(vifOffset + 1) : std::nullopt;
        const auto text = length ? area.bytes(vifOffset + 2, *length) : std::nullopt;
        if (!text) {
            info.complete = false;
            unit += "Unknown";
        } else if (*length == 0) {
            unit += "Unknown";
        } else {
            unit += "VIF is user ASCII string: ";
            unit.append(reinterpret_cast<const char *>(text->data()), text->size());
        }
        return info;
    }
    case 0xFD: {
        const auto vife = readable ? area.byte(vifOffset + 1) : std::nullopt;
        if (!vife) {
            info.complete = false;
            unit += "VIF not supported";
            return info;
        }
        const tables::FdEntry entry = tables::extensionFdVif(*vife & 0x7F);
        unit += entry.unit;
        if (entry.kind != tables::FdKind::Text)
            appendInt(unit, entry.exponent);
        return info;
    }
    case 0xFB: {
        const auto vife = readable ? area.byte(vifOffset + 1) : std::nullopt;
        if (!vife) {
            info.complete = false;
            unit += "VIF not supported";
            return info;
        }
        const tables::VifEntry entry = tables::extensionFbVif(*vife & 0x7F);
        unit += entry.unit;
        info.exp10 = entry.exp10;
        return info;
    }
    case 0x7E:
    case 0xFE:
        unit += "Readout - not supported for now";
        return info;
    case 0x7F:
    case 0xFF:
        unit += "Manufacturer specific";
        return info;
    default:
        break;
    }
    // 0x80..0xEF are looked up without their extension bit; 0xF0..0xFA find nothing.
    const std::uint8_t key = vif < 0xF0 ? static_cast<std::uint8_t>(vif & 0x7F) : vif;
    const tables::VifEntry entry = tables::primaryVif(key);
    unit += entry.unit;
    info.description = entry.description;
    info.exp10 = entry.exp10;
    return info;
}

} // namespace decode::detail

namespace decode {

double VifInfo::multiplier() const
{
    return std::pow(10.0, exp10);
}

VifInfo decodeVif(mbus::ByteView reply, std::size_t vifOffset, std::uint8_t vif)
{
    VifInfo info;
    const detail::VifMeaning meaning = detail::decodeVif(Reader::recordArea(reply), vifOffset, vif, info.unit);
    info.description = meaning.description;
    info.exp10 = meaning.exp10;
    info.complete = meaning.complete;
    return info;
}

} // namespace decode
