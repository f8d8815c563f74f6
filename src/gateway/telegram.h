#pragma once
// The gateway telegram: every M-Bus frame and display command to and from a
// gateway travels in a frame of exactly 300 bytes. All three checksums are
// plain 8-bit sums.
//
// Request (program -> gateway), payload of n bytes:
//   01 | net a b c d | 00 | counter hi lo | 00 01 | sum(0..9) | 04      header, 12 bytes
//   type | n+2 | flags flags | payload.. | sum(length..payload) | AA     section
//   00.. up to offset 297 | sum(0..297) | 04
//   e.g. 10 5B FE 59 16 to 0.0.0.1, counter 1:
//   01 00 00 00 01 00 00 01 00 01 04 04  A8 07 10 00 10 5B FE 59 16 EF AA  00 x275  3C 04
//
// Reply (gateway -> program): 01 | net a b c d | .. | sum(0..18) at 19 | ..
// | first section type at 21, length L at 22: A5 is a status section (result
// at 24, second error at 25, first error at 26); any other type is a data
// section with L-4 payload bytes from 25, followed by a status section
// (result at L+28, second error at L+29, first error at L+30) | sum(0..297)
// at 298 | 04 at 299.

#include "mbus/bytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gateway {

inline constexpr std::size_t kTelegramSize = 300;
inline constexpr std::size_t kMaxPayload = 280;

using NetworkNumber = std::array<std::uint8_t, 4>;

enum class Section : std::uint8_t {
    MbusFrame = 0xA8,
    DisplayCommand = 0xA1,
    Status = 0xA5,
};

// "a.b.c.d": exactly three dots, four decimal parts of at most 255.
std::optional<NetworkNumber> parseNetworkNumber(std::string_view text);
std::string networkNumberText(const NetworkNumber &number);

// The request telegram for one payload; empty when the payload is longer
// than 280 bytes. Only the low 16 bits of the packet counter are sent.
mbus::Bytes wrapRequest(mbus::ByteView payload, Section type, const NetworkNumber &network, std::int32_t packetCounter);
inline mbus::Bytes wrapMbusFrame(mbus::ByteView frame, const NetworkNumber &network, std::int32_t packetCounter)
{
    return wrapRequest(frame, Section::MbusFrame, network, packetCounter);
}
inline mbus::Bytes wrapDisplayCommand(mbus::ByteView command, const NetworkNumber &network, std::int32_t packetCounter)
{
    return wrapRequest(command, Section::DisplayCommand, network, packetCounter);
}

struct Unpacked {
    std::vector<std::string> logLines;          // the failed check, or "Device a.b.c.d" and the result lines
    mbus::Bytes response;                       // the data section's payload; empty otherwise
    std::optional<NetworkNumber> networkNumber; // the answering gateway, when the frame checked out
};

// Checks start byte, header sum, telegram sum and stop byte, in this order,
// then reads the first section and the result code.
Unpacked unpackReply(mbus::ByteView telegram);

// One line per set error bit (first error byte, then second, each from bit
// 0 up), or "Done!" for result 0.
std::vector<std::string> resultLines(std::uint8_t result, std::uint8_t firstError, std::uint8_t secondError);

// Reassembles 300-byte telegrams from socket reads: at most 300 bytes are
// taken per read; a count past 300 discards the buffer with
// "Wrong byte count in the telegram, " and the count reached. Nothing is
// ever written past the 350-byte store, whatever the peer sends.
class Assembler {
public:
    static constexpr std::size_t kStoreSize = 350;
    static constexpr std::size_t kMaxRead = kTelegramSize;

    struct Outcome {
        std::vector<mbus::Bytes> telegrams;
        std::vector<std::string> logLines;
    };

    // One read of at most 300 bytes (longer input is taken 300 at a time).
    Outcome feed(mbus::ByteView bytes);
    std::size_t count() const { return m_count; }
    void clear()
    {
        m_count = 0;
        m_store.fill(0);
    }

private:
    void take(mbus::ByteView read, Outcome &out);

    std::array<std::uint8_t, kStoreSize> m_store{};
    std::size_t m_count = 0;
};

} // namespace gateway
