// The record walk: DIF, DIFEs, VIF (with its plain-text unit), VIFEs, data;
// one typed record each.
//
// Example record: 84 40 13 39 30 00 00 -> DIF 84, DIFE 40, VIF 13, four data
// bytes: 12345, volume in m3 x 10^-3, storage 1.

#include "record.h"
#include "values.h"

namespace decode {

namespace {

constexpr std::size_t kFirstRecord = 19;
constexpr std::uint8_t kIdleFiller = 0x2F;
constexpr std::uint8_t kMoreRecordsFollow = 0x1F;

bool isVariable(std::uint8_t dif)
{
    return (dif & 0x0F) == 0x0D;
}

bool isPlainTextVif(std::uint8_t vif)
{
    return (vif & 0x7F) == 0x7C;
}

// Offset after a chain of bytes that starts at `first` and goes on while the
// extension bit is set, without leaving the area. When the area ends inside the
// chain (or before it) the result lies at or past the area's end.
std::size_t afterChain(const Reader &area, std::size_t first)
{
    std::size_t i = first;
    while ((area.at(i) & 0x80) && area.contains(i + 1))
        ++i;
    return i + 1;
}

} // namespace

RecordWalk walkRecords(mbus::ByteView reply)
{
    RecordWalk walk;
    const Reader area = Reader::recordArea(reply);
    walk.records.reserve(area.size() > kFirstRecord ? (area.size() - kFirstRecord) / 5 + 1 : 0);
    // The walk cannot go on past a record it cannot read to its end: where
    // the next one starts is unknown. The records before it stay.
    const auto stopIncomplete = [&walk] {
        walk.stop = WalkStop{WalkStop::Reason::Incomplete, int(walk.records.size()) + 1, 0};
    };
    std::size_t p = kFirstRecord;
    while (area.contains(p)) {
        const std::uint8_t dif = area.at(p);
        if (dif == kIdleFiller) { // padding between or before records: no record of its own
            ++p;
            continue;
        }
        if ((dif & 0x0F) == 0x0F) { // manufacturer data (0F, 1F) to the end
            Record &record = walk.records.emplace_back();
            record.dib = {dif};
            record.data.assign(area.from(p + 1));
            record.unit.quantity = Quantity::ManufacturerSpecific;
            record.value = RawBytes{};
            walk.moreRecordsFollow = dif == kMoreRecordsFollow;
            break;
        }

        const std::size_t vifOffset = afterChain(area, p);
        if (!area.contains(vifOffset)) {
            stopIncomplete();
            break;
        }
        const std::uint8_t vif = area.at(vifOffset);

        // A plain-text unit (length byte and characters) sits right after the VIF
        // and is stepped over, not read as data; with 0xFC its VIFEs follow the text.
        std::size_t vifeOffset = vifOffset + 1;
        std::size_t dataOffset = afterChain(area, vifOffset);
        if (isPlainTextVif(vif)) {
            const auto textLength = area.byte(vifOffset + 1);
            if (!textLength || !area.has(vifOffset + 2, *textLength)) {
                stopIncomplete();
                break;
            }
            vifeOffset = vifOffset + 2 + *textLength;
            dataOffset = vif & 0x80 ? afterChain(area, vifeOffset) : vifeOffset;
        }
        if (!area.contains(dataOffset)) {
            stopIncomplete();
            break;
        }
        const auto length = detail::dataLength(area, dif, dataOffset);
        if (!length) {
            const auto lvar = area.byte(dataOffset);
            if (isVariable(dif) && lvar && !detail::lvarPayload(*lvar))
                walk.stop = WalkStop{WalkStop::Reason::UnknownLvar, int(walk.records.size()) + 1, *lvar};
            else
                stopIncomplete();
            break;
        }

        Record &record = walk.records.emplace_back();
        record.dib.assign(area.from(p).first(vifOffset - p));
        if (vifeOffset == vifOffset + 1) {
            record.vib.assign(area.from(vifOffset).first(dataOffset - vifOffset));
        } else { // the plain-text unit between VIF and VIFEs is left out
            mbus::Bytes vib{vif};
            const mbus::ByteView vifes = area.from(vifeOffset).first(dataOffset - vifeOffset);
            vib.insert(vib.end(), vifes.begin(), vifes.end());
            record.vib.assign(vib);
        }
        record.data.assign(area.from(dataOffset).first(*length));
        record.fields = recordFields(record.dib);
        record.unit = detail::decodeUnit(area, vifOffset, vif, record.plainUnit);
        record.value = detail::decodeValue(area, dif, dataOffset, *length, vif);
        p = dataOffset + *length;
    }
    return walk;
}

} // namespace decode
