#pragma once
// The texts of typed records as the program shows them: the value alone, the
// unit, the work table's row and the detailed report's line. These are the
// only places a record becomes text.
//
//   84 40 13 39 30 00 00  ->  "1" "12.345" "m3" "KV1" "84 40 " "13" ""
//   report: "DIF,DIFE=84 40 ; VIF, VIFE=13 ; Storage number, Instantenous
//            value, ..., 12.345 m3, KV1"

#include "decode.h"
#include "record.h"

#include <string>
#include <vector>

namespace decode {

// The value of data under DIF `dif`, scaled by 10^exp10 where it is a number:
// "12.345", "14.5.25", "10:30, 14.5.25", "00123456", "No data ", ...
void appendValueText(std::string &out, const Value &value, std::uint8_t dif, mbus::ByteView data, int exp10,
                     char separator);

// The power of ten the work table applies: volts and amperes keep theirs in
// the unit text instead ("Volts, 10^-1").
int shownExp10(const Unit &unit);

std::string valueText(const Record &record, char separator = '.');

// "m3", "Volts, 10^-1", "VIF is user ASCII string: pcs", "Unknown", ...
void appendUnitText(std::string &out, const Unit &unit, const std::string &plainUnit);
std::string unitText(const Unit &unit, const std::string &plainUnit);
inline std::string unitText(const Record &record)
{
    return unitText(record.unit, record.plainUnit);
}

// The work-table row of a record; number counts from 1.
WorkRow workRow(const Record &record, int number, char separator);

// One row per record, numbered from 1, then the table's empty row, which a
// walk that ended in manufacturer data does not add (unless cutShort: a
// reading that ended early always gets it).
std::vector<WorkRow> workRows(const std::vector<Record> &records, char separator, bool cutShort = false);

// "Instantenous value ", "... Storage is: 1, Tariff is: 0 ": the function of
// the DIF, then storage and tariff of the first DIFE when there is one.
std::string difDescription(std::uint8_t dif, std::optional<std::uint8_t> firstDife);

// The detailed report's line of a record whose work-table row is `row`.
std::string reportLine(const Record &record, const WorkRow &row);

// "Record 3 is incomplete, decoding stopped", "Unknown LVAR 0xF8, decoding
// stopped"; empty when the walk went to its end.
std::string walkStopLine(const WalkStop &stop);

// Rows, record data and (in full-report mode) the report of a result whose
// header and records are set.
void formatRecords(DecodeResult &result, const DecodeOptions &options, bool cutShort);

} // namespace decode
