#pragma once
// Decoding of RSP_UD replies: frame validation, the fixed variable-data header and
// the data records. Pure: bytes (and the time of decoding) in; the typed
// telegram (record.h) and the texts made from it out. The window applies the
// result to the log, the work table, the report and the device table.
//
// Texts are 8-bit strings (read them as Latin-1): ASCII values and units carry
// the meter's bytes unchanged, and a manufacturer character code 127 comes out
// as the byte 0x90.
//
// Example reply (QRV water meter, ID 12345678, one volume record 12.345 m3 "KV1"):
//   68 15 15 68 08 05 72 78 56 34 12 56 46 10 07 55 00 00 00 04 13 39 30 00 00 1B 16
//
// Applying a DecodeResult, in this order:
//   1. append logLines to the communication log (always; the first is "Respond: ...");
//   2. headerDecoded: replace the work table GridFullTelegram by rows;
//   3. reportWritten: append reportLines to the report memo, show the report
//      window and clear the full report request (without it the request stays);
//   4. updateDeviceTable: update the device table from header and rows;
//   5. hand valid back to the caller for its retry logic.
// The header's status text depends on the mode (see statusText), so a result
// decoded for the report is not a substitute for one decoded for the table.

#include "mbus/bytes.h"
#include "record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace decode {

struct DecodeOptions {
    bool fullReport = false;     // write the detailed report lines instead of feeding the device table
    char decimalSeparator = '.'; // the locale's decimal separator for every number text
    std::string timeText;        // for the report's "Decoded at " line: long time format, with seconds
    std::string dateText;        // ... and short date format
};

// Unit slots that a medium implies; U1 is the main unit. An unset slot is empty.
struct ReplyHeader {
    int primaryAddress = 0;               // byte 5
    std::string idText;                   // 8 hex digits of bytes 10, 9, 8, 7 ("12345678", "F2345678")
    std::string manufacturer;             // 3 characters
    std::uint8_t version = 0;             // byte 13, raw
    std::string mediumName;               // "Water", "Heat (rt)", "Unknown", ...
    std::array<std::string, 4> unitSlots; // U1..U4
    int accessNumber = 0;                 // byte 15
    std::string statusText;               // "0x84"; letters of bits 7..2 ("QV") for QRV meters of a
                                          // version other than 0x1B outside full reports
};

// One row of the record work table GridFullTelegram.
enum Column : std::size_t {
    ColNumber = 0,      // record number, from 1
    ColValue = 1,       // value text
    ColUnit = 2,        // unit text
    ColDescription = 3, // description from the VIF tables ("KV1", "Flow Temp.", ...)
    ColDifDife = 4,     // "84 40 ": DIF and DIFEs, each followed by a space
    ColVif = 5,         // "13": the VIF, no space
    ColVife = 6,        // "3C ": VIFEs, each followed by a space; empty when none
    ColumnCount = 7
};
using WorkRow = std::array<std::string, ColumnCount>;

struct DecodeResult {
    // False when the reply is shorter than 8 bytes or fails a frame test
    // (both start bytes, checksum, stop byte, both length bytes); true
    // otherwise, even when later steps fail.
    bool valid = false;

    // True when the fixed header was decoded (a valid reply of at least 21 bytes;
    // a shorter valid reply gets one "Exception - " log line and nothing else).
    bool headerDecoded = false;
    ReplyHeader header;
    MeterHeader meter; // the same header as values

    // The records as values, in the order of their rows.
    std::vector<Record> records;

    // True in normal mode when the record decoder ran: the window then updates
    // the device table from header and rows. False in full-report mode and when
    // nothing was decoded.
    bool updateDeviceTable = false;

    // True when the detailed report was written (reportLines hold it): the
    // window appends the lines, shows the report window and clears its request.
    bool reportWritten = false;

    // The work table as the grid holds it. The table starts with one empty row;
    // record k is written into row k-1 and one empty row is added after it. So
    // after n ordinary records it has n+1 rows, the last one empty; a
    // manufacturer-specific record ends the walk without adding a row. Empty
    // when the header was not decoded: the window then leaves its table alone.
    std::vector<WorkRow> rows;

    // True when the record walk stopped at a record that runs past the checksum
    // (that record and everything after it are not in the table). The walk also
    // stops, without this flag, at an LVAR code that defines no length; either
    // way a log line says so.
    bool recordsTruncated = false;

    // The walk ended at DIF 1F: the meter has more records for the next
    // telegram (asked for with the frame count bit toggled).
    bool moreRecordsFollow = false;

    // The data bytes of each record, in the order of its row in rows (an LVAR
    // byte included; for manufacturer data every byte after the DIF).
    std::vector<mbus::Bytes> recordData;

    // Lines for the communication log, in order; the first is always
    // "Respond: " followed by the reply bytes ("68 1F ... 16 "). Then frame test
    // failures, or why the record walk stopped early ("Record 3 is incomplete,
    // decoding stopped", "Unknown LVAR 0xF8, decoding stopped").
    std::vector<std::string> logLines;

    // Lines for the detailed report memo (full-report mode only), ending with
    // "Decoded at <time>, <date>" and one empty line.
    std::vector<std::string> reportLines;
};

DecodeResult decodeReply(mbus::ByteView reply, const DecodeOptions &options);

// --- building blocks, usable on their own ---------------------------------

// Exactly 8 hexadecimal characters (either case), most significant first, as a
// 32-bit two's-complement number ("FFFFFFFF" is -1). Anything else: no value.
std::optional<std::int32_t> hexToInt(std::string_view text);

// The record walk from offset 19 of a reply (validated or not: nothing is read
// past its checksum). Report lines are produced when options.fullReport is set.
struct RecordTable {
    std::vector<WorkRow> rows;            // grid semantics as in DecodeResult::rows
    std::vector<std::string> reportLines; // one per record (full report only)
    bool truncated = false;               // a record ran past the checksum
    bool moreRecordsFollow = false;       // the walk ended at DIF 1F
    std::vector<mbus::Bytes> recordData;  // as in DecodeResult
    std::vector<std::string> logLines;    // why the walk stopped early, when it did
};
RecordTable decodeRecords(mbus::ByteView reply, const DecodeOptions &options);

// Unit, description and multiplier of a VIF. Every multiplier of the tables is
// a power of ten, kept as its exponent. vifOffset is the VIF's offset in the
// reply; the bytes after it are read for 0xFD/0xFB (first VIFE) and 0x7C/0xFC
// (ASCII unit). complete is false when those bytes run past the checksum.
struct VifInfo {
    std::string unit;
    std::string_view description; // static text
    int exp10 = 0;                // multiplier = 10^exp10
    bool complete = true;
    double multiplier() const;
};
VifInfo decodeVif(mbus::ByteView reply, std::size_t vifOffset, std::uint8_t vif);

// Function/storage description, value text and data length of a record whose
// DIF is at difOffset and whose data start at dataOffset. dataLength counts the
// LVAR byte of variable-length data. complete is false when the data run past
// the checksum or the LVAR code defines no length (the value text is then empty).
struct DifInfo {
    std::string description; // "Instantenous value ", "... Storage is: 1, Tariff is: 0 "
    std::string value;
    std::size_t dataLength = 0;
    bool complete = true;
};
DifInfo decodeDif(mbus::ByteView reply, std::size_t difOffset, std::size_t dataOffset, std::uint8_t vif, int exp10,
                  char decimalSeparator = '.');

} // namespace decode
