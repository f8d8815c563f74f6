#include "table_values.h"

#include "header.h"
#include "record_text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace decode {

namespace {

constexpr std::uint8_t kHeatCostAllocator = 0x08;

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool bytesAre(mbus::ByteView bytes, std::initializer_list<std::uint8_t> expected)
{
    return std::ranges::equal(bytes, expected);
}

// The record's texts as its work-table row shows them.
struct Shown {
    std::string value;
    std::string unit;
    std::string_view description;
};

Shown shown(const Record &record, char separator)
{
    if (record.isManufacturerData())
        return {valueText(record, separator), {}, "Manf. secific"};
    return {valueText(record, separator), unitText(record), record.unit.description};
}

// Units worth an additional value column.
constexpr std::array<std::string_view, 12> kAdditionalUnits{"m3", "kWh", "MWh",    "mbar",   "kW", "MW",
                                                            "kJ", "l/h", "deg. C", "deg. K", "MJ", "W"};

struct Choice {
    const MeterHeader &header;
    const std::vector<Record> &records;
    std::string maker;
    const std::array<std::string_view, 4> &slots;
    char separator;

    bool inSlots(const std::string &unit) const { return std::find(slots.begin(), slots.end(), unit) != slots.end(); }
    bool qrvOrAxi() const { return maker == "QRV" || maker == "AXI"; }
};

void chooseMainValue(const Choice &c, TableValues &out)
{
    if (c.header.medium == kHeatCostAllocator) {
        // The allocator's reading: its current HCA units.
        for (const Record &record : c.records) {
            if (record.unit.quantity == Quantity::HcaUnits && record.fields.storage == 0
                && record.fields.function == RecordFunction::Instantaneous) {
                out.mainValue = valueText(record, c.separator);
                out.mainUnit = kHcaUnit;
                return;
            }
        }
    }
    for (const Record &record : c.records) {
        Shown s = shown(record, c.separator);
        if (!c.inSlots(s.unit))
            continue;
        out.mainValue = std::move(s.value);
        out.mainUnit = std::move(s.unit);
        if (bytesAre(record.dib, {0x84, 0x40}) && c.qrvOrAxi())
            return;
        if (c.maker == "QRV" && c.slots[0] == "m3")
            out.model = s.description;
        // AXI meters: a later matching record replaces the choice.
        if (c.maker != "AXI")
            return;
    }
}

std::string chooseSecondaryMain(const Choice &c)
{
    for (const Record &record : c.records) {
        Shown s = shown(record, c.separator);
        const bool inSlots = c.inSlots(s.unit);
        const std::uint8_t vif = record.vif();
        const mbus::ByteView vifes = record.vib.view().subspan(std::min<std::size_t>(1, record.vib.size()));
        const bool accumulated = s.unit == c.slots[0] && bytesAre(record.dib, {0x84, 0x80, 0x40}) && c.qrvOrAxi();
        const bool tariff1 = inSlots && bytesAre(record.dib, {0x8C, 0x10}) && vif >= 0x03 && vif <= 0x06
                             && c.qrvOrAxi();
        const bool cooling = inSlots
                             && ((vif == 0x86 && bytesAre(vifes, {0x3C}))
                                 || (bytesAre(record.dib, {0x8C, 0x20}) && vif == 0x06));
        if (accumulated || tariff1 || cooling)
            return s.value;
    }
    return {};
}

void chooseAdditional(const Choice &c, int count, TableValues &out)
{
    out.additional.assign(std::size_t(std::clamp(count, 0, kMaxAdditionalValues)), std::string());
    auto record = c.records.begin();
    for (std::string &slot : out.additional) {
        Shown s;
        record = std::find_if(record, c.records.end(), [&](const Record &r) {
            s = shown(r, c.separator);
            return s.unit != c.slots[0]
                   && std::find(kAdditionalUnits.begin(), kAdditionalUnits.end(), s.unit) != kAdditionalUnits.end();
        });
        if (record == c.records.end())
            return; // this slot and the following ones stay empty
        slot = (s.value + ' ' + s.unit).substr(0, kAdditionalValueLength);
        ++record;
    }
}

} // namespace

bool isPulseModuleReply(const MeterHeader &header, const TableOptions &options)
{
    return manufacturerCode(header.manufacturerField) == "QRV" && header.version == 0x1B && options.secondaryMain;
}

TableValues chooseTableValues(const MeterHeader &header, const std::vector<Record> &records,
                              const TableOptions &options, char separator)
{
    const Choice choice{header, records, manufacturerCode(header.manufacturerField), unitSlots(header.medium),
                        separator};
    TableValues out;
    chooseMainValue(choice, out);
    if (options.secondaryMain && isOneOf(choice.maker, {"QRV", "AXI", "LUG"}))
        out.secondaryMain = chooseSecondaryMain(choice);
    chooseAdditional(choice, options.additionalCount, out);
    if (choice.maker != "QRV")
        out.model.clear();
    return out;
}

} // namespace decode
