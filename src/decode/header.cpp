#include "header.h"

#include "reader.h"
#include "text_append.h"

#include <array>
#include <string_view>

namespace decode {

namespace {

enum class UnitSet : std::uint8_t { Energy, Volume, Pressure, NotApplicable };

struct Medium {
    std::uint8_t code;
    std::string_view name;
    UnitSet units;
};

constexpr std::array kMedia{
    Medium{0x00, "Other", UnitSet::NotApplicable},      Medium{0x01, "Oil", UnitSet::Volume},
    Medium{0x02, "Electricity", UnitSet::Energy},       Medium{0x03, "Gas", UnitSet::Volume},
    Medium{0x04, "Heat (rt)", UnitSet::Energy},         Medium{0x05, "Steam", UnitSet::NotApplicable},
    Medium{0x06, "Hot water", UnitSet::Volume},         Medium{0x07, "Water", UnitSet::Volume},
    Medium{0x08, "Heat C.A.", UnitSet::NotApplicable},  Medium{0x09, "Compr. Air", UnitSet::NotApplicable},
    Medium{0x0A, "Cooling, rt", UnitSet::Energy},       Medium{0x0B, "Cooling, ft", UnitSet::Energy},
    Medium{0x0C, "Heat (ft)", UnitSet::Energy},         Medium{0x0D, "H/C load meter", UnitSet::Energy},
    Medium{0x0E, "Bus/System", UnitSet::NotApplicable}, Medium{0x0F, "Unknown", UnitSet::NotApplicable},
    Medium{0x16, "Cold water", UnitSet::Volume},        Medium{0x17, "Dual water", UnitSet::Volume},
    Medium{0x18, "Pressure", UnitSet::Pressure},        Medium{0x19, "A/D converter", UnitSet::NotApplicable},
};

constexpr bool ascending(const decltype(kMedia) &media)
{
    for (std::size_t i = 1; i < media.size(); ++i) {
        if (media[i].code <= media[i - 1].code)
            return false;
    }
    return true;
}
static_assert(ascending(kMedia), "medium codes must be unique and ascending");

// U1..U4 of each set; U1 is the main unit.
constexpr std::array<std::array<std::string_view, 4>, 4> kUnitSlots{{
    {"kWh", "GJ", "MJ", "kJ"},
    {"m3", "", "m3", "m3"},
    {"mbar", "", "mbar", "mbar"},
    {"N/A", "", "N/A", "N/A"},
}};

} // namespace

std::optional<std::int32_t> hexToInt(std::string_view text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return std::nullopt;
        value = value << 4 | digit;
    }
    return static_cast<std::int32_t>(value);
}

std::string manufacturerCode(std::uint16_t field)
{
    const unsigned v = field;
    const unsigned groups[3] = {v >> 10, (v >> 5) & 0x1F, v & 0x1F};
    std::string code;
    for (unsigned g : groups) {
        const unsigned c = 64 + g;
        code.push_back(static_cast<char>(c == 127 ? 0x90 : c));
    }
    return code;
}

namespace {

const Medium *findMedium(std::uint8_t code)
{
    for (const Medium &m : kMedia)
        if (m.code == code)
            return &m;
    return nullptr;
}

} // namespace

std::string_view mediumName(std::uint8_t medium)
{
    const Medium *m = findMedium(medium);
    return m ? m->name : std::string_view("Unknown");
}

const std::array<std::string_view, 4> &unitSlots(std::uint8_t medium)
{
    const Medium *m = findMedium(medium);
    return kUnitSlots[static_cast<std::size_t>(m ? m->units : UnitSet::NotApplicable)];
}

void setMedium(ReplyHeader &header, std::uint8_t medium)
{
    header.mediumName.assign(mediumName(medium));
    const auto &slots = unitSlots(medium);
    for (std::size_t i = 0; i < slots.size(); ++i)
        header.unitSlots[i].assign(slots[i]);
}

std::string statusText(std::uint8_t status, std::uint8_t version, const std::string &manufacturer, bool fullReport)
{
    std::string text;
    if (fullReport || version == 0x1B || manufacturer != "QRV") {
        text = "0x";
        appendHex(text, status);
        return text;
    }
    constexpr std::string_view kStatusLetters = "QBMOTV"; // bits 7 .. 2
    for (std::size_t i = 0; i < kStatusLetters.size(); ++i) {
        if (status & (0x80u >> i))
            text.push_back(kStatusLetters[i]);
    }
    return text;
}

MeterHeader readHeader(mbus::ByteView reply)
{
    const Reader r(reply);
    MeterHeader header;
    header.address = r.at(5);
    header.id = std::uint32_t(r.at(7)) | std::uint32_t(r.at(8)) << 8 | std::uint32_t(r.at(9)) << 16
                | std::uint32_t(r.at(10)) << 24;
    header.manufacturerField = static_cast<std::uint16_t>(r.at(11) | r.at(12) << 8);
    header.version = r.at(13);
    header.medium = r.at(14);
    header.access = r.at(15);
    header.status = r.at(16);
    return header;
}

std::string idText(const MeterHeader &header)
{
    std::string text;
    text.reserve(8);
    for (int shift = 24; shift >= 0; shift -= 8)
        appendHex(text, static_cast<std::uint8_t>(header.id >> shift));
    return text;
}

ReplyHeader headerTexts(const MeterHeader &meter, bool fullReport)
{
    ReplyHeader header;
    header.primaryAddress = meter.address;
    header.idText = idText(meter);
    header.manufacturer = manufacturerCode(meter.manufacturerField);
    header.version = meter.version;
    setMedium(header, meter.medium);
    header.accessNumber = meter.access;
    header.statusText = statusText(meter.status, meter.version, header.manufacturer, fullReport);
    return header;
}

ReplyHeader decodeHeader(mbus::ByteView reply, bool fullReport)
{
    return headerTexts(readHeader(reply), fullReport);
}

Telegram decodeTelegram(mbus::ByteView reply)
{
    Telegram telegram;
    const std::size_t n = reply.size();
    if (n < 8)
        return telegram;
    if (reply[0] != 0x68 || reply[3] != 0x68)
        telegram.frameFaults |= kWrongStart;
    if (mbus::frameChecksum(reply.subspan(4, n - 6)) != reply[n - 2])
        telegram.frameFaults |= kWrongChecksum;
    if (reply[n - 1] != 0x16)
        telegram.frameFaults |= kWrongStop;
    if (n != reply[1] + 6u || reply[2] != reply[1])
        telegram.frameFaults |= kWrongLength;
    telegram.valid = telegram.frameFaults == 0;
    // A control frame or other short reply can pass the frame tests; its
    // header offsets would lie past its end.
    if (!telegram.valid || n < kHeaderReplySize)
        return telegram;
    telegram.headerDecoded = true;
    telegram.header = readHeader(reply);
    RecordWalk walk = walkRecords(reply);
    telegram.records = std::move(walk.records);
    telegram.stop = walk.stop;
    telegram.moreRecordsFollow = walk.moreRecordsFollow;
    return telegram;
}

} // namespace decode
