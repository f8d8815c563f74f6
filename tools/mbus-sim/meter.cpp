#include "meter.h"

#include "frames.h"

#include <algorithm>

namespace mbussim {

namespace {
constexpr std::uint8_t kRspUd = 0x08;
constexpr std::uint8_t kCiVariableData = 0x72;
constexpr std::uint8_t kMoreRecordsFollow = 0x1F;

std::size_t recordBytes(const std::vector<Record> &records)
{
    std::size_t n = 0;
    for (const Record &r : records)
        n += r.dib.size() + r.vib.size() + r.data.size();
    return n;
}

bool isCounterVif(std::uint8_t vif)
{
    return vif <= 0x17 || vif == 0x6E; // energy, volume, units for H.C.A.
}
} // namespace

std::string idText(const std::array<std::uint8_t, 4> &id)
{
    const Bytes msbFirst{id[3], id[2], id[1], id[0]};
    return mbus::hexCompact(msbFirst);
}

bool packManufacturer(const std::string &letters, std::uint16_t &packed)
{
    if (letters.size() != 3)
        return false;
    unsigned v = 0;
    for (char ch : letters) {
        if (ch < 'A' || ch > 'Z')
            return false;
        v = (v << 5) | static_cast<unsigned>(ch - 64);
    }
    packed = static_cast<std::uint16_t>(v);
    return true;
}

std::string manufacturerText(std::uint16_t packed)
{
    return {static_cast<char>(64 + ((packed >> 10) & 0x1F)), static_cast<char>(64 + ((packed >> 5) & 0x1F)),
            static_cast<char>(64 + (packed & 0x1F))};
}

Meter::Meter(MeterConfig config) : m_state(std::move(config)) {}

std::string Meter::label() const
{
    std::string s = "meter " + idText(m_state.id) + " (addr "
                    + (hasAddress() ? std::to_string(m_state.address) : std::string("none"));
    if (!m_state.name.empty())
        s += ", " + m_state.name;
    return s + ")";
}

bool Meter::answerGoesOut()
{
    const std::uint64_t n = ++m_answers;
    if (n <= static_cast<std::uint64_t>(m_state.dropFirst))
        return false;
    const auto every = static_cast<std::uint64_t>(std::max(1, m_state.answerEvery));
    return (n - static_cast<std::uint64_t>(m_state.dropFirst)) % every == 0;
}

Bytes Meter::readout()
{
    if (!m_state.raw.empty())
        return m_state.raw;
    return telegram(0);
}

Bytes Meter::readout(bool fcb, std::vector<std::string> &notes)
{
    if (!multiTelegram())
        return readout();
    const bool endless = m_state.telegrams == kEndlessTelegrams;
    const int count = endless ? 0 : m_state.telegrams;
    const bool lastSent = !endless && m_part == count - 1;
    const bool sameBit = m_part >= 0 && fcb == m_lastFcb;
    m_lastFcb = fcb;
    if (sameBit && !m_state.restartTelegrams) {
        notes.push_back(label() + ": frame count bit not toggled, telegram " + std::to_string(m_part + 1) + " again");
        return m_lastTelegram;
    }
    if (sameBit) {
        notes.push_back(label() + ": frame count bit not toggled, the reading starts over");
        m_part = -1;
    }
    m_part = m_part < 0 || lastSent ? 0 : m_part + 1;
    m_lastTelegram = telegram(static_cast<std::size_t>(m_part));
    notes.push_back(label() + ": telegram " + std::to_string(m_part + 1)
                    + (endless ? std::string(" of an endless reading") : " of " + std::to_string(count)));
    return m_lastTelegram;
}

// Telegram `part` of the reading: its share of the records, then 1F while
// more follow. A single-telegram meter has everything in part 0.
Bytes Meter::telegram(std::size_t part)
{
    Bytes data(m_state.id.begin(), m_state.id.end());
    data.push_back(static_cast<std::uint8_t>(m_state.manufacturer & 0xFF));
    data.push_back(static_cast<std::uint8_t>(m_state.manufacturer >> 8));
    data.push_back(m_state.version);
    data.push_back(m_state.medium);
    data.push_back(m_state.access++);
    data.push_back(m_state.status);
    data.push_back(0x00); // signature
    data.push_back(0x00);
    const std::size_t n = m_state.records.size();
    const bool endless = m_state.telegrams == kEndlessTelegrams;
    const auto parts = static_cast<std::size_t>(std::max(1, m_state.telegrams));
    const std::size_t first = endless ? 0 : part * n / parts, last = endless ? n : (part + 1) * n / parts;
    for (std::size_t i = first; i < last && i < n; ++i) {
        const Bytes b = m_state.records[i].bytes();
        data.insert(data.end(), b.begin(), b.end());
    }
    if (endless || part + 1 < parts)
        data.push_back(kMoreRecordsFollow);
    return longFrame(kRspUd, m_state.address, kCiVariableData, data);
}

bool Meter::matches(ByteView selection) const
{
    if (selection.size() != 8)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t want = selection[i], have = m_state.id[i];
        if ((want >> 4) != 0xF && (want >> 4) != (have >> 4))
            return false;
        if ((want & 0xF) != 0xF && (want & 0xF) != (have & 0xF))
            return false;
    }
    const unsigned man = selection[4] | (selection[5] << 8);
    if (man != 0xFFFF && man != m_state.manufacturer)
        return false;
    if (selection[6] != 0xFF && selection[6] != m_state.version)
        return false;
    return selection[7] == 0xFF || selection[7] == m_state.medium;
}

void Meter::setIdKeepingWildcards(ByteView bytes)
{
    for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) {
        std::uint8_t hi = bytes[i] >> 4, lo = bytes[i] & 0xF;
        if (hi == 0xF)
            hi = m_state.id[i] >> 4;
        if (lo == 0xF)
            lo = m_state.id[i] & 0xF;
        m_state.id[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
}

Record *Meter::mainCounter()
{
    for (Record &r : m_state.records)
        if (!r.special() && r.isCurrentValue() && isCounterVif(r.primaryVif()))
            return &r;
    return nullptr;
}

void Meter::setCounter(std::uint8_t vif, std::uint64_t value, std::vector<std::string> &notes)
{
    if (!m_state.raw.empty()) {
        notes.push_back(label() + ": value write ignored, the reply is a fixed telegram");
        return;
    }
    vif &= 0x7F;
    Record *target = nullptr;
    for (Record &r : m_state.records)
        if (!r.special() && r.isCurrentValue() && r.primaryVif() == vif) {
            target = &r;
            break;
        }
    if (!target && !isCounterVif(vif)) {
        notes.push_back(label() + ": value write ignored, no record with VIF " + hexByte(vif));
        return;
    }
    if (!target) {
        target = mainCounter();
        if (target)
            target->vib = {vif};
    }
    if (!target) {
        Record r{{0x0C}, {vif}, {}};
        if (recordBytes(m_state.records) + 6 > kMaxRecordBytes) {
            notes.push_back(label() + ": value write ignored, no room for a new record");
            return;
        }
        m_state.records.push_back(std::move(r));
        target = &m_state.records.back();
    }
    storeUnsigned(*target, value);
    notes.push_back(label() + ": value " + std::to_string(value) + " with VIF " + hexByte(vif));
}

bool Meter::write(ByteView data, std::vector<std::string> &notes)
{
    const RecordsResult parsed = parseRecords(data);
    if (!parsed.ok()) {
        notes.push_back(label() + ": SND_UD not acknowledged, " + parsed.error);
        return false;
    }
    for (const Record &r : parsed.records) {
        const std::uint8_t vif = r.primaryVif();
        if (r.special()) {
            // Unit write: 0F VIF 03 M 01 01 gives the counter a new VIF and the meter a new medium.
            if (r.data.size() >= 3 && r.data[1] == 0x03) {
                if (Record *counter = mainCounter(); counter && m_state.raw.empty())
                    counter->vib = {static_cast<std::uint8_t>(r.data[0] & 0x7F)};
                m_state.medium = r.data[2];
                notes.push_back(label() + ": unit VIF " + hexByte(r.data[0]) + ", medium " + hexByte(r.data[2]));
            } else {
                notes.push_back(label() + ": manufacturer record ignored");
            }
            continue;
        }
        if (vif == 0x7A) { // new primary address
            const auto v = readUnsigned(r);
            if (!v || *v > kMaxPrimaryAddress) {
                notes.push_back(label() + ": address write ignored, not an address 0..250");
                continue;
            }
            notes.push_back(label() + ": primary address -> " + std::to_string(*v));
            m_state.address = static_cast<std::uint8_t>(*v);
            continue;
        }
        if (vif == 0x79 && r.data.size() == 4) { // new identification number
            const std::string before = label();
            setIdKeepingWildcards(r.data);
            notes.push_back(before + ": ID -> " + idText(m_state.id));
            continue;
        }
        if (vif == 0x79 && r.data.size() == 8) { // ID, manufacturer, version, medium; F/FF keep
            setIdKeepingWildcards(ByteView(r.data).first(4));
            const unsigned man = r.data[4] | (r.data[5] << 8);
            if (man != 0xFFFF)
                m_state.manufacturer = static_cast<std::uint16_t>(man);
            if (r.data[6] != 0xFF)
                m_state.version = r.data[6];
            if (r.data[7] != 0xFF)
                m_state.medium = r.data[7];
            notes.push_back(label() + ": identification written, medium " + hexByte(m_state.medium));
            continue;
        }
        if (vif >= 0x79) {
            notes.push_back(label() + ": record " + hexLine(r.bytes()) + " ignored");
            continue;
        }
        if (const auto v = readUnsigned(r)) {
            setCounter(r.vif(), *v, notes);
            continue;
        }
        notes.push_back(label() + ": record " + hexLine(r.bytes()) + " ignored");
    }
    return true;
}

} // namespace mbussim
