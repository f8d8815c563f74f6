#pragma once
// One simulated meter: its identity, its data records, and what it does with the
// requests a master sends it. Changes made by writes last as long as the object.
//
// Its RSP_UD (C 08, CI 72, 12-byte fixed header, then the records):
//   68 L L 68 08 A 72 | ID(4, BCD LSB first) MAN(2) VER MED ACC STATUS 00 00 | records | CS 16

#include "records.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mbussim {

// Bytes of records that fit in one RSP_UD after the 12-byte fixed header.
inline constexpr std::size_t kMaxRecordBytes = 252 - 12;
// Highest primary address a meter can be reached at.
inline constexpr std::uint8_t kMaxPrimaryAddress = 250;
// The address of a meter that has none (`address = none`): it is reached only
// through a selection, and its RSP_UD carries 253, the address it was read at.
inline constexpr std::uint8_t kNoAddress = 0xFD;

struct MeterConfig {
    int line = 0;                     // line of its [meter] header in the bus file
    std::string name;                 // free text for the output notes
    std::uint8_t address = 0;         // primary address 0..250, or above: none
    std::array<std::uint8_t, 4> id{}; // identification, BCD, least significant byte first
    std::uint16_t manufacturer = 0;   // three letters packed in 5-bit groups
    std::uint8_t version = 0;
    std::uint8_t medium = 0;
    std::uint8_t status = 0;
    std::uint8_t access = 0; // access number of the first reply
    std::vector<Record> records;
    Bytes raw;           // when set: the reply, sent as it stands
    int answerEvery = 1; // answer only every N-th request it should answer
    int dropFirst = 0;   // lose the first N answers
    // Bit times between the end of the request and the first byte of the
    // answer, beyond the simulator's --reply-delay (a slow meter; the
    // standard allows up to 330 bit times + 50 ms).
    int answerDelayBits = 0;
    // The records go out in this many telegrams; every one but the last ends
    // with DIF 1F ("more records follow"). kEndlessTelegrams: each telegram
    // carries all records and announces more, for ever.
    int telegrams = 1;
    // A request whose frame count bit was not toggled starts the reading over
    // at telegram 1 instead of repeating the last telegram (a meter that
    // ignores the bit).
    bool restartTelegrams = false;
};

inline constexpr int kMaxTelegrams = 16;
inline constexpr int kEndlessTelegrams = 0;

// 8 ID digits as read ("12345678") from the wire bytes 78 56 34 12.
std::string idText(const std::array<std::uint8_t, 4> &id);
// "ABC" -> 0x0443; false for anything but three letters A-Z.
bool packManufacturer(const std::string &letters, std::uint16_t &packed);
std::string manufacturerText(std::uint16_t packed);

class Meter {
public:
    explicit Meter(MeterConfig config);

    const MeterConfig &state() const { return m_state; }
    std::uint8_t address() const { return m_state.address; }
    bool hasAddress() const { return m_state.address <= kMaxPrimaryAddress; }
    // True for a frame to primary address `a` (0..250) that this meter owns.
    bool ownsAddress(std::uint8_t a) const { return hasAddress() && m_state.address == a; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }
    int baud() const { return m_baud; }
    void setBaud(int baud) { m_baud = baud; }
    // "meter 12345678 (addr 5)" for the output notes.
    std::string label() const;

    // Counts one answer this meter gives and tells whether it reaches the line;
    // false for the ones `drop-first` and `answer-every` make it lose.
    bool answerGoesOut();

    // The RSP_UD to a REQ_UD2; the access number counts up with each one.
    Bytes readout();
    // The RSP_UD to a REQ_UD2 with the frame count bit `fcb`. A meter with
    // several telegrams answers a toggled bit with its next telegram (after
    // the last one: telegram 1) and the same bit with the last one again,
    // whether or not it reached the master. A note says which telegram went out.
    Bytes readout(bool fcb, std::vector<std::string> &notes);
    // SND_NKE or a selection: the next REQ_UD2 gets the first telegram.
    void restartTelegrams() { m_part = -1; }

    // True when the 8 bytes of a selection (ID with F-nibble wildcards,
    // manufacturer FF FF, version FF and medium FF as wildcards) name this meter.
    bool matches(ByteView selection) const;

    // Applies the data of a SND_UD (CI 51). False when the data are not
    // well-formed records: the meter then does not acknowledge. Records it does
    // not know are skipped with a note.
    bool write(ByteView data, std::vector<std::string> &notes);

private:
    void setIdKeepingWildcards(ByteView bytes);
    void setCounter(std::uint8_t vif, std::uint64_t value, std::vector<std::string> &notes);
    Record *mainCounter();

    Bytes telegram(std::size_t part);
    bool multiTelegram() const { return m_state.telegrams != 1 && m_state.raw.empty(); }

    MeterConfig m_state;
    int m_part = -1; // the telegram sent last, -1: none since a restart
    bool m_lastFcb = false;
    Bytes m_lastTelegram;
    bool m_selected = false;
    int m_baud = 2400;
    std::uint64_t m_answers = 0; // answers given so far, lost ones included
};

} // namespace mbussim
