#pragma once
// Internal steps of the record decoder, shared by decodeDif, decodeVif and the
// record walk. All of them read through a Reader over the record area (the
// reply without checksum and stop byte), so nothing past the checksum is read.

#include "decode.h"
#include "reader.h"

#include <optional>
#include <string>

namespace decode::detail {

// Bytes that follow an LVAR byte, or nothing for the codes that define no
// length (0xF7..0xFF): the walk cannot know where the next record starts.
std::optional<std::size_t> lvarPayload(std::uint8_t lvar);

// Length of the data starting at dataOffset, LVAR byte included, or nothing
// when the data run past the record area or the LVAR code is undefined.
// 0xF (manufacturer data) takes the rest.
std::optional<std::size_t> dataLength(const Reader &area, std::uint8_t dif, std::size_t dataOffset);

// The value text of data whose length dataLength() accepted.
void appendValue(std::string &out, const Reader &area, std::uint8_t dif, std::size_t dataOffset, std::size_t length,
                 std::uint8_t vif, int exp10, char separator);

// Function/storage text of the DIF, plus storage and tariff of the first DIFE
// when the DIF has its extension bit.
void appendDifDescription(std::string &out, const Reader &area, std::size_t difOffset);

// Unit (appended to unit), description and exponent of the VIF at vifOffset.
struct VifMeaning {
    std::string_view description;
    int exp10 = 0;
    bool complete = true;
};
VifMeaning decodeVif(const Reader &area, std::size_t vifOffset, std::uint8_t vif, std::string &unit);

} // namespace decode::detail
