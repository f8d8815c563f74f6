#pragma once
// Hex text as technicians paste it from logs: "68 1f 1F 68 ...", "681F1F68...",
// over several lines, with CR/LF or tabs. Whitespace anywhere is ignored; any
// other non-hex character, or an odd digit count, makes the text unreadable.

#include "bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace mbus {

std::optional<Bytes> parseHexText(std::string_view text, std::string *error = nullptr);

} // namespace mbus
