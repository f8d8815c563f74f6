// mbus-decode: decodes one RSP_UD telegram given as hex text and prints what the
// detailed report shows, or with --table the header fields and the work table.
//
//   mbus-decode 68 15 15 68 08 05 72 78 56 34 12 56 46 10 07 55 00 00 00 04 13 39 30 00 00 1B 16
//   echo "681313680805..." | mbus-decode --table
//
// Exit status: 0 valid frame, 1 frame fails validation, 2 unreadable input.

#include "decode/decode.h"
#include "mbus/hex_text.h"
#include "option_messages.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>

namespace {

constexpr int kExitValid = 0;
constexpr int kExitInvalid = 1;
constexpr int kExitUnreadable = 2;

constexpr std::string_view kUsage =
    "Usage: mbus-decode [--table] [HEX...]\n"
    "Decodes one M-Bus RSP_UD telegram given as hex bytes (spaces optional, any case),\n"
    "from the arguments or, without them, from standard input.\n"
    "\n"
    "  (default)      the detailed report: header lines and one line per record\n"
    "  --table        header fields as key<TAB>value lines (id, manufacturer, version,\n"
    "                 medium, access, status, address), then a row of column names\n"
    "                 (record, value, unit, description, dif, vif, vife) and one line\n"
    "                 per record, separated by tabs; dates with four-digit years,\n"
    "                 an empty field as \"-\"\n"
    "  -h, --help     this text\n"
    "  -V, --version  the version\n"
    "\n"
    "Exit status: 0 valid frame, 1 frame fails validation, 2 unreadable input.\n";

// Decoded texts are 8-bit (Latin-1); the terminal wants UTF-8. Control
// characters (meter bytes in ASCII values) would break lines and columns.
std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            out.push_back('.');
        } else if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// A field of --table: no blanks around it, "-" when empty, so that every line
// has all its fields and none ends in a blank.
std::string field(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return "-";
    return printable(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// The work table keeps the year as sent ("1.5.24"); a script is given all of
// it, as the description says: dd.mm.yyyy, hh:mm.
std::string dateText(const decode::Date &date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day, date.month, date.fullYear());
    return text;
}

std::string valueField(const decode::Record &record, const std::string &shown)
{
    if (const auto *date = std::get_if<decode::Date>(&record.value))
        return dateText(*date);
    if (const auto *moment = std::get_if<decode::DateTime>(&record.value)) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d, ", moment->hour, moment->minute);
        return time + dateText(moment->date);
    }
    return field(shown);
}

void printTable(const decode::DecodeResult &result)
{
    const decode::ReplyHeader &h = result.header;
    std::cout << "id\t" << field(h.idText) << '\n'
              << "manufacturer\t" << field(h.manufacturer) << '\n'
              << "version\t" << int(h.version) << '\n'
              << "medium\t" << field(h.mediumName) << '\n'
              << "access\t" << h.accessNumber << '\n'
              << "status\t" << field(h.statusText) << '\n'
              << "address\t" << h.primaryAddress << '\n'
              << "record\tvalue\tunit\tdescription\tdif\tvif\tvife\n";
    // rows[i] is records[i]; a trailing entry row has no record.
    for (std::size_t i = 0; i < result.records.size() && i < result.rows.size(); ++i) {
        const decode::WorkRow &row = result.rows[i];
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                std::cout << '\t';
            std::cout << (c == decode::ColValue ? valueField(result.records[i], row[c]) : field(row[c]));
        }
        std::cout << '\n';
    }
}

void printReport(const decode::DecodeResult &result)
{
    for (const std::string &line : result.reportLines) {
        if (line.rfind("Decoded at ", 0) == 0) // the report's time stamp: not ours to invent
            break;
        std::cout << printable(line) << '\n';
    }
}

int run(int argc, char **argv)
{
    bool table = false;
    std::string text;
    bool fromArguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return kExitValid;
        }
        if (arg == "--version" || arg == "-V") {
            std::cout << "mbus-decode " << TELVARO_VERSION << '\n';
            return kExitValid;
        }
        if (arg == "--table") {
            table = true;
        } else if (arg.rfind("--table=", 0) == 0) {
            std::cerr << "mbus-decode: " << tool::takesNoValue("--table", arg.substr(8)) << '\n';
            return kExitUnreadable;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "mbus-decode: " << tool::unknownOption(arg) << '\n';
            return kExitUnreadable;
        } else {
            text.append(arg);
            text.push_back(' ');
            fromArguments = true;
        }
    }
    if (!fromArguments)
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());

    std::string error;
    const auto bytes = mbus::parseHexText(text, &error);
    if (!bytes) {
        std::cerr << "mbus-decode: unreadable telegram: " << error << '\n';
        return kExitUnreadable;
    }

    decode::DecodeOptions options;
    options.fullReport = !table;
    const decode::DecodeResult result = decode::decodeReply(*bytes, options);

    if (!result.valid) {
        if (result.logLines.size() <= 1)
            std::cout << "Reply shorter than 8 bytes: not a long frame\n";
        for (std::size_t i = 1; i < result.logLines.size(); ++i)
            std::cout << result.logLines[i] << '\n';
        return kExitInvalid;
    }
    if (!result.headerDecoded) {
        for (std::size_t i = 1; i < result.logLines.size(); ++i)
            std::cout << result.logLines[i] << '\n';
        return kExitValid;
    }
    if (table)
        printTable(result);
    else
        printReport(result);
    // Why the record walk stopped early, if it did; kept off standard output so
    // the report and the table stay clean.
    for (std::size_t i = 1; i < result.logLines.size(); ++i)
        std::cerr << "mbus-decode: " << printable(result.logLines[i]) << '\n';
    return kExitValid;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::cerr << "mbus-decode: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "mbus-decode: unexpected failure\n";
    }
    return kExitUnreadable;
}
