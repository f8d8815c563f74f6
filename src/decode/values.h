#pragma once
// Internal steps of the record walk and of the building blocks decodeDif and
// decodeVif. All of them read through a Reader over the record area (the reply
// without checksum and stop byte), so nothing past the checksum is read.

#include "reader.h"
#include "record.h"

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

// The value of data whose length dataLength() accepted. A date VIF reads its
// date from the data start, whatever the data field says.
Value decodeValue(const Reader &area, std::uint8_t dif, std::size_t dataOffset, std::size_t length, std::uint8_t vif);

// Quantity, unit, description and exponent of the VIF at vifOffset; a
// plain-text unit's characters go to plainUnit.
Unit decodeUnit(const Reader &area, std::size_t vifOffset, std::uint8_t vif, std::string &plainUnit);

} // namespace decode::detail
