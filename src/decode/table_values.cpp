#include "table_values.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace decode {

namespace {

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

bool inUnitSlots(const ReplyHeader &header, const std::string &unit)
{
    return std::find(header.unitSlots.begin(), header.unitSlots.end(), unit) != header.unitSlots.end();
}

// The work table ends with an empty row that holds no record.
bool isRecord(const WorkRow &row)
{
    return std::any_of(row.begin(), row.end(), [](const std::string &cell) { return !cell.empty(); });
}

// Units worth an additional value column.
constexpr std::array<std::string_view, 12> kAdditionalUnits{"m3", "kWh", "MWh",    "mbar",   "kW", "MW",
                                                            "kJ", "l/h", "deg. C", "deg. K", "MJ", "W"};

void chooseMainValue(const ReplyHeader &header, const std::vector<WorkRow> &rows, TableValues &out)
{
    const std::string &maker = header.manufacturer;
    const bool qrvOrAxi = maker == "QRV" || maker == "AXI";
    for (const WorkRow &row : rows) {
        if (!isRecord(row) || !inUnitSlots(header, row[ColUnit]))
            continue;
        out.mainValue = row[ColValue];
        out.mainUnit = row[ColUnit];
        if (row[ColDifDife] == "84 40 " && qrvOrAxi)
            return;
        if (maker == "QRV" && header.unitSlots[0] == "m3")
            out.model = row[ColDescription];
        // AXI meters: a later matching record replaces the choice.
        if (maker != "AXI")
            return;
    }
}

std::string chooseSecondaryMain(const ReplyHeader &header, const std::vector<WorkRow> &rows)
{
    const std::string &maker = header.manufacturer;
    const bool qrvOrAxi = maker == "QRV" || maker == "AXI";
    for (const WorkRow &row : rows) {
        if (!isRecord(row))
            continue;
        const std::string &unit = row[ColUnit];
        const bool inSlots = inUnitSlots(header, unit);
        const bool accumulated = unit == header.unitSlots[0] && row[ColDifDife] == "84 80 40 " && qrvOrAxi;
        const bool tariff1 = inSlots && row[ColDifDife] == "8C 10 " && isOneOf(row[ColVif], {"03", "04", "05", "06"})
                             && qrvOrAxi;
        const bool cooling = inSlots
                             && ((row[ColVif] == "86" && row[ColVife] == "3C ")
                                 || (row[ColDifDife] == "8C 20 " && row[ColVif] == "06"));
        if (accumulated || tariff1 || cooling)
            return row[ColValue];
    }
    return {};
}

void chooseAdditional(const ReplyHeader &header, const std::vector<WorkRow> &rows, int count, TableValues &out)
{
    out.additional.assign(std::size_t(std::clamp(count, 0, kMaxAdditionalValues)), std::string());
    std::size_t from = 0;
    for (std::string &slot : out.additional) {
        const auto found = std::find_if(
            rows.begin() + std::ptrdiff_t(std::min(from, rows.size())), rows.end(), [&](const WorkRow &row) {
                const std::string &unit = row[ColUnit];
                return unit != header.unitSlots[0]
                       && std::find(kAdditionalUnits.begin(), kAdditionalUnits.end(), unit) != kAdditionalUnits.end();
            });
        if (found == rows.end())
            return; // this slot and the following ones stay empty
        slot = ((*found)[ColValue] + ' ' + (*found)[ColUnit]).substr(0, kAdditionalValueLength);
        from = std::size_t(found - rows.begin()) + 1;
    }
}

} // namespace

bool isPulseModuleReply(const ReplyHeader &header, const TableOptions &options)
{
    return header.manufacturer == "QRV" && header.version == 0x1B && options.secondaryMain;
}

TableValues chooseTableValues(const ReplyHeader &header, const std::vector<WorkRow> &rows, const TableOptions &options)
{
    TableValues out;
    chooseMainValue(header, rows, out);
    if (options.secondaryMain && isOneOf(header.manufacturer, {"QRV", "AXI", "LUG"}))
        out.secondaryMain = chooseSecondaryMain(header, rows);
    chooseAdditional(header, rows, options.additionalCount, out);
    if (header.manufacturer != "QRV")
        out.model.clear();
    return out;
}

} // namespace decode
