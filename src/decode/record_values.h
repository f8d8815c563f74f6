#pragma once
// A record's value for other programs (JSON, the readings archive): a number
// scaled to its unit, or a text (ISO 8601 dates, digits, texts, hex bytes),
// with the unit the scaled number is in.
//
//   02 FD 48 F7 08 (2295, 10^-1 V)  ->  number 229.5, unit "V"
//   42 6C 1F 3C                     ->  text "2024-12-31", unit ""

#include "record.h"

#include <optional>
#include <string>

namespace decode {

// "V" for 229.5 V (never "Volts, 10^-1"); the meter's own text for a plain
// unit; empty for dates and fabrication numbers; else the unit as shown.
std::string scaledUnitText(const Record &record);

// The value when it is no number: "2024-12-31", "2025-05-14T10:30", digits,
// text, hex bytes, or the shown text of a failure ("Exception"). Nothing for
// numbers and for records without data.
std::optional<std::string> valueAsText(const Record &record);

// "Volume", "Energy", ...; the unit's text where no quantity is named.
std::string quantityText(const Record &record);

} // namespace decode
