#pragma once
// Faults of a poor line, drawn from a seeded generator so a run can be repeated:
// replies that never arrive, a damaged byte, a reply that comes in pieces.

#include "mbus/bytes.h"

#include <cstdint>
#include <random>
#include <vector>

namespace mbussim {

using mbus::Bytes;

// Faults of the gateway's reply telegrams (--gateway-fault KIND[:PERCENT]).
enum class TelegramFault { None, BadChecksum, BadStart, Oversize, Silent };

struct TelegramFaultOption {
    TelegramFault kind = TelegramFault::None;
    double percent = 100;
};

struct FaultOptions {
    double dropPercent = 0;                    // chance that a reply is lost
    double corruptPercent = 0;                 // chance that one byte of a reply is damaged
    double hangupPercent = 0;                  // chance that the peer's connection is closed instead of a reply
    std::vector<int> hangupAt;                 // replies (from 1, over the simulator's life) closed instead
    bool split = false;                        // write replies in 2..4 pieces
    int jitterMs = 0;                          // a pause of up to this long inside every reply
    std::vector<TelegramFaultOption> telegram; // tried in this order, the first that strikes counts
    std::uint32_t seed = 1;
};

class Faults {
public:
    explicit Faults(const FaultOptions &options);

    bool drop();
    // Asked once per reply on a connection.
    bool hangup();
    // Damages one byte of `reply` (XOR with a non-zero mask); true when it did.
    bool corrupt(Bytes &reply);
    // The pieces in which `reply` goes out: the whole reply unless splitting.
    std::vector<Bytes> pieces(const Bytes &reply);
    bool splitting() const { return m_options.split; }
    // The fault that strikes the next reply telegram, or None.
    TelegramFault telegramFault();
    // --jitter: where a reply of `size` bytes pauses (after byte `at`, 0: no
    // pause) and for how many microseconds.
    struct Pause {
        std::size_t at = 0;
        std::int64_t us = 0;
    };
    Pause pause(std::size_t size);

private:
    bool chance(double percent);

    FaultOptions m_options;
    std::mt19937 m_random;
    int m_replies = 0; // replies asked about by hangup()
};

} // namespace mbussim
