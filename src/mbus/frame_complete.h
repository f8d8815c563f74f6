#pragma once
// Whether the bytes that arrived after a request are one whole frame, so the
// reply can be taken before the response timeout runs out. Anything else
// (a prefix still growing, junk, a collision with a broken checksum, two
// frames run together) is not complete: the caller waits the full timeout.
//
//   E5                          single character
//   10 08 05 0D 16              short frame: C + A = CS, stop byte
//   68 L L 68 C A CI .. CS 16   long frame: L + 6 bytes, both L equal, checksum

#include "bytes.h"

namespace mbus {

bool isCompleteFrame(ByteView bytes);

// How many more bytes the frame these bytes begin still needs (at least:
// a long frame's length is known from its fourth byte on); 0 when they are
// a whole frame, nothing, or no frame's beginning at all.
std::size_t frameBytesMissing(ByteView bytes);

} // namespace mbus
