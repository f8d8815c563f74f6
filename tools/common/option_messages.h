#pragma once
// How every program refuses its command line, in one wording: one line on
// standard error after "PROGRAM: ", and exit status 2.
//
//   unknown option '--x' (see --help)
//   --retries: must be 0..9, not '10'
//   --from: needs a value
//
// Plain C++: mbus-decode has no Qt.

#include <cstdio>
#include <string>
#include <string_view>

namespace tool {

// A value as it may stand in a one-line message: a line break given as a
// value would otherwise split the line.
inline std::string shown(std::string_view value)
{
    std::string out;
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

// The option as given; a value joined with '=' is left out.
inline std::string unknownOption(std::string_view argument)
{
    return "unknown option '" + shown(argument.substr(0, argument.find('='))) + "' (see --help)";
}

inline std::string badValue(std::string_view option, std::string_view why, std::string_view value)
{
    return std::string(option) + ": " + std::string(why) + ", not '" + shown(value) + "'";
}

inline std::string needsValue(std::string_view option)
{
    return std::string(option) + ": needs a value";
}

inline std::string takesNoValue(std::string_view option, std::string_view value)
{
    return badValue(option, "takes no value", value);
}

} // namespace tool
