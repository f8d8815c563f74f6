#pragma once
// A request frame ready for the dispatch, with the texts the dispatch logs when
// sending it fails.

#include "bytes.h"

#include <string>

namespace mbus {

struct Request {
    Bytes frame;               // empty when the builder refused its input
    std::string writeFailure;  // serial route: "Can not write to COM port - reading device 5"
    std::string socketFailure; // TCP routes, followed by the error's message
    std::string refusal;       // why nothing is sent (bad ID text, ...); empty when frame is set
    bool logSent = true;       // wildcard selection frames get no "Sent:" line

    bool ok() const { return !frame.empty(); }
};

} // namespace mbus
