#pragma once
// A decoded reply as values: the fixed header and the data records, each with
// its function, storage, tariff and sub-unit, its quantity, unit and power of
// ten, and its value as what it is (a number, digits, a text, a date). Texts
// are made from these only where they are shown (record_text.h).
//
// Example record 84 40 13 39 30 00 00: DIB 84 40 (storage 1), VIB 13 (volume,
// m3, 10^-3), value 12345 -> 12.345 m3.

#include "mbus/bytes.h"
#include "record_fields.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace decode {

enum class Quantity : std::uint8_t {
    Unknown, // a VIF the tables do not know, a reserved or unsupported one
    Energy,
    Volume,
    Power,
    VolumeFlow,
    FlowTemperature,
    ReturnTemperature,
    TemperatureDifference,
    ExternalTemperature,
    Pressure,
    Date,
    DateTime,
    OnTime,
    OperatingTime,
    HcaUnits,
    AveragingDuration,
    ActualityDuration,
    FabricationNumber,
    Voltage,
    Current,
    Other,                // the 0xFD texts: credit, access number, model/version, ...
    PlainText,            // a unit the meter names itself (VIF 7C/FC)
    Readout,              // VIF 7E/FE
    ManufacturerSpecific, // VIF 7F/FF, or manufacturer data (DIF 0F/1F)
};

// "Energy", "Volume flow", ...; empty where the unit names the quantity.
std::string_view quantityName(Quantity quantity);

// Type G date, the year as sent (0..127; 0..80 are 2000..2080).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    int fullYear() const { return year <= 80 ? 2000 + year : 1900 + year; }
    bool valid() const { return month >= 1 && month <= 12 && day >= 1 && day <= 31; }
    bool operator==(const Date &) const = default;
};

// Type F date and time.
struct DateTime {
    Date date;
    int hour = 0;
    int minute = 0;
    bool valid() const { return date.valid() && hour < 24 && minute < 60; }
    bool operator==(const DateTime &) const = default;
};

// Shown as sent: fabrication numbers, BCD strings of variable length ("-" in
// front of a negative one).
struct Digits {
    std::string text;
    bool operator==(const Digits &) const = default;
};

// Characters as sent (a variable-length text).
struct Text {
    std::string text;
    bool operator==(const Text &) const = default;
};

// The data bytes are the value (binary of variable length, manufacturer data).
struct RawBytes {
    bool operator==(const RawBytes &) const = default;
};

enum class NoValue : std::uint8_t {
    NoData,       // data field 0
    Selection,    // data field 8: selection for readout
    BadBcd,       // a BCD digit above 9
    DateTooShort, // a date VIF with fewer bytes than the date needs
};

// Integers (binary or BCD) as int64, 32-bit reals as float.
using Value = std::variant<NoValue, std::int64_t, float, Digits, Text, Date, DateTime, RawBytes>;

struct Unit {
    Quantity quantity = Quantity::Unknown;
    std::string_view name;        // as the tables name it: "kWh", "deg. C", "V", ...; empty for a plain-text unit
    std::string_view description; // "KV1", "Flow Temp.", "hours", ...
    int exp10 = 0;                // the value is its number times 10^exp10 in this unit
    bool complete = true;         // false: the VIFE or the unit text lay past the checksum
};

// Bytes of a part of a record, inline up to kInline (every DIB and VIB the
// standard allows, the data of every fixed-length field), longer ones on the
// heap: a decode costs no allocation per record part.
class RecordBytes {
public:
    static constexpr std::size_t kInline = 15;

    RecordBytes() = default;
    RecordBytes(std::initializer_list<std::uint8_t> bytes) { assign(mbus::ByteView(bytes.begin(), bytes.size())); }
    explicit RecordBytes(mbus::ByteView bytes) { assign(bytes); }

    void assign(mbus::ByteView bytes)
    {
        m_size = bytes.size();
        if (m_size <= kInline) {
            std::copy(bytes.begin(), bytes.end(), m_inline.begin());
            m_heap.clear();
        } else {
            m_heap.assign(bytes.begin(), bytes.end());
        }
    }
    mbus::ByteView view() const { return {m_size <= kInline ? m_inline.data() : m_heap.data(), m_size}; }
    operator mbus::ByteView() const { return view(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::uint8_t operator[](std::size_t i) const { return view()[i]; }
    bool operator==(const RecordBytes &other) const { return std::ranges::equal(view(), other.view()); }

private:
    std::array<std::uint8_t, kInline> m_inline{};
    std::size_t m_size = 0;
    std::vector<std::uint8_t> m_heap;
};

struct Record {
    RecordBytes dib;       // DIF and DIFEs
    RecordBytes vib;       // VIF and VIFEs (a plain-text unit's length and characters left out)
    RecordBytes data;      // as sent, an LVAR byte included; manufacturer data: everything after the DIF
    RecordFields fields;   // function, storage, tariff, sub-unit
    Unit unit;             // manufacturer data: ManufacturerSpecific, no name
    std::string plainUnit; // the meter's own unit text (VIF 7C/FC)
    Value value;

    std::uint8_t dif() const { return dib.empty() ? 0 : dib[0]; }
    std::uint8_t vif() const { return vib.empty() ? 0 : vib[0]; }
    bool isManufacturerData() const { return (dif() & 0x0F) == 0x0F; }
};

// The fixed part of a variable-data reply (CI 0x72).
struct MeterHeader {
    std::uint8_t address = 0;
    std::uint32_t id = 0; // bytes 7..10, least significant first: BCD digits as a rule
    std::uint16_t manufacturerField = 0;
    std::uint8_t version = 0;
    std::uint8_t medium = 0;
    std::uint8_t access = 0;
    std::uint8_t status = 0;
};

// Why the record walk ended before the checksum.
struct WalkStop {
    enum class Reason : std::uint8_t { None, Incomplete, UnknownLvar };
    Reason reason = Reason::None;
    int record = 0;        // Incomplete: the number of the record that did not fit
    std::uint8_t lvar = 0; // UnknownLvar: the code
};

// The frame tests a reply failed, as bits.
enum FrameFault : unsigned {
    kWrongStart = 1,
    kWrongChecksum = 2,
    kWrongStop = 4,
    kWrongLength = 8,
};

struct Telegram {
    bool valid = false;         // at least 8 bytes, no frame fault
    unsigned frameFaults = 0;   // FrameFault bits
    bool headerDecoded = false; // valid and long enough for the fixed header
    MeterHeader header;
    std::vector<Record> records; // in order; manufacturer data, when sent, last
    WalkStop stop;
    bool moreRecordsFollow = false; // the walk ended at DIF 1F
};

// Validation, header and record walk; never reads outside `reply`.
Telegram decodeTelegram(mbus::ByteView reply);

// The record walk from offset 19 (validated or not: nothing is read past the checksum).
struct RecordWalk {
    std::vector<Record> records;
    WalkStop stop;
    bool moreRecordsFollow = false;
};
RecordWalk walkRecords(mbus::ByteView reply);

// The number a value holds before its power of ten: an integer, or a real
// from its shortest decimal form (1.1f is 1.1, not 1.100000023841858).
// Nothing for values that are no number.
std::optional<double> rawNumber(const Record &record);

// The value scaled to its unit: 12345 with exponent -3 gives 12.345.
std::optional<double> scaledValue(const Record &record);

} // namespace decode
