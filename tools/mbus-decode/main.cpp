// mbus-decode: decodes one RSP_UD telegram given as hex text and prints what the
// detailed report shows, or with --table the header fields and the work table.
//
//   mbus-decode 68 15 15 68 08 05 72 78 56 34 12 56 46 10 07 55 00 00 00 04 13 39 30 00 00 1B 16
//   echo "681313680805..." | mbus-decode --table
//
// Exit status: 0 valid frame, 1 frame fails validation, 2 unreadable input.

#include "decode/decode.h"
#include "mbus/hex_text.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

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
    "                 medium, access, status, address), then one line per record with\n"
    "                 the seven work-table columns separated by tabs\n"
    "  --help, -h     this text\n"
    "  --version, -V  the version\n"
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

bool isEmptyRow(const decode::WorkRow &row)
{
    for (const std::string &cell : row) {
        if (!cell.empty())
            return false;
    }
    return true;
}

void printTable(const decode::DecodeResult &result)
{
    const decode::ReplyHeader &h = result.header;
    std::cout << "id\t" << printable(h.idText) << '\n'
              << "manufacturer\t" << printable(h.manufacturer) << '\n'
              << "version\t" << int(h.version) << '\n'
              << "medium\t" << printable(h.mediumName) << '\n'
              << "access\t" << h.accessNumber << '\n'
              << "status\t" << printable(h.statusText) << '\n'
              << "address\t" << h.primaryAddress << '\n';
    for (const decode::WorkRow &row : result.rows) {
        if (isEmptyRow(row)) // the table's trailing entry row
            continue;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                std::cout << '\t';
            std::cout << printable(row[c]);
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
            std::cerr << "mbus-decode: option --table takes no value (see --help)\n";
            return kExitUnreadable;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "mbus-decode: unknown option " << arg.substr(0, arg.find('=')) << " (see --help)\n";
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
