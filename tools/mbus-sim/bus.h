#pragma once
// The bus: every simulated meter hears every request; their answers meet on the
// line. `handle` takes one frame from the master and returns the bytes the
// master sees, already collided when several meters answer.

#include "meter.h"

#include <string>
#include <vector>

namespace mbussim {

struct Response {
    Bytes bytes;                    // empty: nobody answers
    int answering = 0;              // meters whose answers make up `bytes`
    int answerDelayBits = 0;        // the slowest answering meter's own delay
    std::vector<std::string> notes; // what happened, for the output lines
};

// What the master sees when these answers go out at once: one answer as it is;
// only single E5s: one E5; otherwise the byte-wise AND (the bus is a wired AND,
// a 0 bit of any sender wins), with the longest answer's tail beyond the others.
// A long result whose checksum would still add up gets it inverted: a real
// master sees framing errors on a collision in any case.
Bytes collide(const std::vector<Bytes> &answers);

class Bus {
public:
    explicit Bus(std::vector<MeterConfig> meters);

    Response handle(ByteView frame);
    Bytes respond(ByteView frame) { return handle(frame).bytes; }

    const std::vector<Meter> &meters() const { return m_meters; }

private:
    struct Answer {
        Meter *meter;
        Bytes bytes;
    };
    std::vector<Meter *> addressed(std::uint8_t a);
    void selection(ByteView data, std::vector<Answer> &answers, Response &r);

    std::vector<Meter> m_meters;
};

} // namespace mbussim
