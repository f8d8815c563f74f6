#pragma once
// The three frame formats of the M-Bus link layer, as the simulated meters see
// them: checking a byte stream for a frame, reading one, and building replies.
//
//   single character   E5
//   short frame        10 C A CS 16                 e.g. 10 7B 01 7C 16
//   long frame         68 L L 68 C A CI data CS 16  e.g. 68 03 03 68 73 05 50 C8 16
//
// L counts C, A, CI and the data; CS is the sum of C .. last data byte, mod 256.

#include "mbus/bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mbussim {

using mbus::Bytes;
using mbus::ByteView;

inline constexpr std::uint8_t kAck = 0xE5;
inline constexpr std::uint8_t kShortStart = 0x10;
inline constexpr std::uint8_t kLongStart = 0x68;
inline constexpr std::uint8_t kStop = 0x16;
inline constexpr std::size_t kMaxFrameSize = 255 + 6;

// Outcome of looking at the start of a buffer.
struct FrameCheck {
    enum class Status { NeedMore, Complete, Invalid };
    Status status = Status::NeedMore;
    std::size_t length = 0;  // Complete: size of the frame at the buffer start
    const char *reason = ""; // Invalid: why the first byte starts no frame
};

// Decides whether `buffer` starts with a complete, valid frame. Needs at most
// kMaxFrameSize bytes to decide; never reads past the end of `buffer`.
FrameCheck checkFrame(ByteView buffer);

// One parsed frame; `data` points into the bytes given to parseFrame.
struct Frame {
    enum class Kind { Ack, Short, Long };
    Kind kind = Kind::Ack;
    std::uint8_t c = 0;
    std::uint8_t a = 0;
    std::uint8_t ci = 0;
    ByteView data;
};

// Reads `bytes` as exactly one valid frame; nullopt for anything else.
std::optional<Frame> parseFrame(ByteView bytes);

Bytes shortFrame(std::uint8_t c, std::uint8_t a);
// Builds a long frame; data beyond 252 bytes does not fit and is cut off.
Bytes longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, ByteView data);

// True when `frame` passes the checksum test the master applies to a long frame
// (sum of bytes 4 .. N-3 equals byte N-2, stop byte, length).
bool longFrameChecksOut(ByteView frame);

// "10 7B 01 7C 16": the hex form of the output lines, without a trailing space.
std::string hexLine(ByteView bytes);
// "7B"
std::string hexByte(std::uint8_t byte);

} // namespace mbussim
