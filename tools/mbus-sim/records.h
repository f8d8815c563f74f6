#pragma once
// Data records of the variable data structure: DIF [DIFE...] VIF [VIFE...] data.
//
//   0C 13 78 56 34 12    volume 12345.678 m3 as 8-digit BCD (data LSB first)
//   04 6D 2A 0E 83 2C    date and time (type F)
//   84 40 13 ...         DIF with a DIFE (storage, tariff, subunit bits)
//   0F ...               manufacturer-specific data up to the end
//
// Used to check the records of a bus file, to read what a master writes
// with SND_UD, and to change a meter's counter.

#include "mbus/bytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mbussim {

using mbus::Bytes;
using mbus::ByteView;

struct Record {
    Bytes dib;  // DIF and its DIFEs
    Bytes vib;  // VIF and its VIFEs, and a plain-text unit (length, characters); empty for 0x_F DIFs
    Bytes data; // value bytes as sent, least significant first

    std::uint8_t dif() const { return dib.empty() ? 0 : dib[0]; }
    std::uint8_t vif() const { return vib.empty() ? 0 : vib[0]; }
    // The VIF without its extension bit (0x93 -> 0x13).
    std::uint8_t primaryVif() const { return vif() & 0x7F; }
    // DIF low nibble 0xF: manufacturer data, idle filler or the like; no VIF.
    bool special() const { return (dif() & 0x0F) == 0x0F; }
    // Instantaneous value, storage 0, tariff 0, subunit 0: a current reading.
    bool isCurrentValue() const;
    Bytes bytes() const;
};

struct RecordsResult {
    std::vector<Record> records;
    std::string error; // empty when every byte was taken into a record
    bool ok() const { return error.empty(); }
};

// Splits `bytes` into records. Fails, with a reason naming the offset, on a record
// cut short or on a reserved variable-length code; bounds-checked throughout.
RecordsResult parseRecords(ByteView bytes);

// Data length of a DIF's data field: 0..8, -1 for variable length (0x_D),
// -2 for the special functions (0x_F).
int dataFieldLength(std::uint8_t dif);

// Reads an integer (0x_1..0x_4, 0x_6, 0x_7) or BCD (0x_9..0x_C, 0x_E) value as
// an unsigned number; nullopt for other codes or for a BCD nibble above 9.
std::optional<std::uint64_t> readUnsigned(const Record &record);

// Stores `value` in the record's own data format (BCD digits or integer bytes
// cut to the field width, a real as float); a record of another format becomes
// 8-digit BCD with the same function and VIF.
void storeUnsigned(Record &record, std::uint64_t value);

// `digits` BCD digits of value (mod 10^digits), least significant byte first.
Bytes toBcd(std::uint64_t value, int digits);

} // namespace mbussim
