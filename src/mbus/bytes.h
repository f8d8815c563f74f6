#pragma once
// Byte strings as they travel on the bus, and their text forms in the log.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mbus {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Log form: every byte as two upper-case hex digits followed by one space,
// so 10 7B 01 7C 16 becomes "10 7B 01 7C 16 " (note the trailing space).
std::string hexLogForm(ByteView bytes);

// Compact form: two upper-case hex digits per byte, no separators ("107B017C16").
std::string hexCompact(ByteView bytes);

// The same forms appended to a text that is being built.
void appendHexLogForm(std::string &out, ByteView bytes);
void appendHexCompact(std::string &out, ByteView bytes);

// Sum of the bytes modulo 256: the checksum of short and long frames.
std::uint8_t frameChecksum(ByteView bytes);

} // namespace mbus
