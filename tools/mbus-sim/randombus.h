#pragma once
// A generated bus for tests and benchmarks: meters with random unique IDs and
// no primary address, so they are found only by a secondary search.

#include "meter.h"

#include <vector>

namespace mbussim {

// Largest bus `randomMeters` builds.
inline constexpr int kMaxRandomMeters = 1000;

// `n` meters (0..kMaxRandomMeters, clamped): unique 8-digit decimal IDs, one of
// a few manufacturers, a water, gas, heat or electricity medium, a main volume
// or energy counter with a few of the records such a meter sends, address none.
// The same seed gives the same meters on every platform.
std::vector<MeterConfig> randomMeters(int n, unsigned seed);

} // namespace mbussim
