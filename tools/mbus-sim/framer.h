#pragma once
// Cuts the master's byte stream into frames, as a meter's receiver does.
//
//   push(10 7B)         -> nothing yet (need more)
//   push(01 7C 16)      -> Frame 10 7B 01 7C 16
//   push(33 10 40 01 41 16) -> Junk 33 ("not a frame"), Frame 10 40 01 41 16
//
// A byte that starts no valid frame (garbage, a frame with a bad checksum or
// stop byte) is skipped and the search goes on at the next byte; skipped bytes
// in a row are reported as one Junk event. A frame left incomplete is dropped by
// flush(), which the owner calls after an idle gap on the line.

#include "frames.h"

#include <string>
#include <vector>

namespace mbussim {

struct FramerEvent {
    enum class Kind { Frame, Junk };
    Kind kind = Kind::Frame;
    Bytes bytes;           // the frame; for junk the first kJunkShown bytes skipped
    std::size_t count = 0; // junk: number of bytes skipped
    std::string reason;    // junk: why its first byte was skipped
};

class Framer {
public:
    static constexpr std::size_t kJunkShown = 64;

    std::vector<FramerEvent> push(ByteView bytes);
    // Idle gap: what is waiting (an incomplete frame) is dropped as junk.
    std::vector<FramerEvent> flush();
    bool pending() const { return !m_buffer.empty(); }
    void clear();

private:
    void skip(std::size_t pos, const char *reason);
    void endJunk(std::vector<FramerEvent> &events);

    Bytes m_buffer; // never more than one unfinished frame after push() returns
    FramerEvent m_junk;
};

} // namespace mbussim
