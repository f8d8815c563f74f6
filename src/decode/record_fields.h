#pragma once
// What a record's DIF and DIFEs say about the value, as numbers (EN 13757-3):
// its function, storage number, tariff and sub-unit. The storage number's
// lowest bit is DIF bit 6; each DIFE adds 4 storage bits, 2 tariff bits and
// 1 sub-unit bit above the ones before it.
//
//   0C        instantaneous, storage 0, tariff 0, sub-unit 0
//   4C        storage 1
//   8C 10     tariff 1
//   CC 81 40  storage 3, sub-unit 2

#include "mbus/bytes.h"

#include <cstdint>
#include <string_view>

namespace decode {

enum class RecordFunction { Instantaneous, Maximum, Minimum, DuringError };

struct RecordFields {
    RecordFunction function = RecordFunction::Instantaneous;
    std::uint64_t storage = 0;
    std::uint32_t tariff = 0;
    std::uint32_t subunit = 0;
};

// dib: the DIF and its DIFEs; empty gives the defaults. DIFEs beyond the
// tenth (more than the standard allows) add nothing.
RecordFields recordFields(mbus::ByteView dib);

// "instantaneous", "maximum", "minimum", "error".
std::string_view functionName(RecordFunction function);

} // namespace decode
