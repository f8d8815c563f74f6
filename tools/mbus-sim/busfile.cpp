#include "busfile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

namespace mbussim {

const MediumName kMediumNames[] = {
    {"other", 0x00},
    {"oil", 0x01},
    {"electricity", 0x02},
    {"gas", 0x03},
    {"heat", 0x04},
    {"steam", 0x05},
    {"hot water", 0x06},
    {"water", 0x07},
    {"heat cost allocator", 0x08},
    {"hca", 0x08},
    {"compressed air", 0x09},
    {"cooling outlet", 0x0A},
    {"cooling inlet", 0x0B},
    {"heat inlet", 0x0C},
    {"heat/cooling", 0x0D},
    {"bus", 0x0E},
    {"unknown", 0x0F},
    {"cold water", 0x16},
    {"dual water", 0x17},
    {"pressure", 0x18},
    {"a/d converter", 0x19},
};
const std::size_t kMediumNameCount = sizeof kMediumNames / sizeof kMediumNames[0];

namespace {
constexpr std::size_t kMaxRawBytes = 1024;
constexpr unsigned kMaxLossCount = 1000; // answer-every, drop-first

std::string trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "12", "0x1F": a number 0..max, or nullopt.
std::optional<unsigned> number(const std::string &text, unsigned max)
{
    std::string digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    unsigned v = 0;
    for (char c : digits) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
                          ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                          : -1;
        if (d < 0)
            return std::nullopt;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    if (v > max)
        return std::nullopt;
    return v;
}

// "0C 13 785634 12" -> bytes; every word must hold an even number of hex digits.
std::optional<Bytes> hexBytes(const std::string &text, std::string &error)
{
    Bytes out;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word.size() % 2 != 0) {
            error = "'" + word + "' is not whole hex bytes";
            return std::nullopt;
        }
        for (std::size_t i = 0; i < word.size(); i += 2) {
            const auto v = number("0x" + word.substr(i, 2), 0xFF);
            if (!v) {
                error = "'" + word + "' is not hex";
                return std::nullopt;
            }
            out.push_back(static_cast<std::uint8_t>(*v));
        }
    }
    if (out.empty())
        error = "no hex bytes given";
    return out.empty() ? std::nullopt : std::optional<Bytes>(out);
}

std::optional<std::uint8_t> medium(const std::string &text)
{
    std::string wanted;
    for (char c : lower(text)) { // collapse runs of blanks
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!wanted.empty() && wanted.back() != ' ')
                wanted += ' ';
        } else {
            wanted += c;
        }
    }
    for (const MediumName &m : kMediumNames)
        if (wanted == m.name)
            return m.code;
    if (const auto n = number(text, 0xFF))
        return static_cast<std::uint8_t>(*n);
    return std::nullopt;
}

// One [meter] block being read.
struct Block {
    MeterConfig meter;
    std::set<std::string> seen;
};

// Returns an error text, empty when the line is taken.
std::string setKey(Block &b, const std::string &key, const std::string &value)
{
    MeterConfig &m = b.meter;
    if (key != "record" && key != "raw" && !b.seen.insert(key).second)
        return "'" + key + "' given twice for this meter";
    if (key == "name") {
        m.name = value;
    } else if (key == "address") {
        if (lower(value) == "none") {
            m.address = kNoAddress;
            return {};
        }
        const auto v = number(value, kMaxPrimaryAddress);
        if (!v)
            return "address must be a number 0..250 or 'none', not '" + value + "'";
        m.address = static_cast<std::uint8_t>(*v);
    } else if (key == "answer-delay-bits") {
        const auto v = number(value, 1000000);
        if (!v)
            return "answer-delay-bits must be a number 0..1000000, not '" + value + "'";
        m.answerDelayBits = static_cast<int>(*v);
    } else if (key == "answer-every" || key == "drop-first") {
        const bool every = key == "answer-every";
        const auto v = number(value, kMaxLossCount);
        if (!v || (every && *v == 0))
            return key + " must be a number " + (every ? "1" : "0") + ".." + std::to_string(kMaxLossCount) + ", not '"
                   + value + "'";
        (every ? m.answerEvery : m.dropFirst) = static_cast<int>(*v);
    } else if (key == "telegrams") {
        if (lower(value) == "endless") {
            m.telegrams = kEndlessTelegrams;
            return {};
        }
        const auto v = number(value, kMaxTelegrams);
        if (!v || *v == 0)
            return "telegrams must be a number 1..16 or 'endless', not '" + value + "'";
        m.telegrams = static_cast<int>(*v);
    } else if (key == "restart-telegrams") {
        const std::string v = lower(value);
        if (v != "yes" && v != "no")
            return "restart-telegrams must be 'yes' or 'no', not '" + value + "'";
        m.restartTelegrams = v == "yes";
    } else if (key == "id") {
        const bool digits = value.size() == 8 && std::all_of(value.begin(), value.end(), [](char c) {
                                return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'E')
                                       || (c >= 'a' && c <= 'e');
                            });
        if (!digits)
            return "id must be 8 digits, not '" + value + "'";
        for (std::size_t i = 0; i < 4; ++i)
            m.id[3 - i] = static_cast<std::uint8_t>(*number("0x" + value.substr(2 * i, 2), 0xFF));
    } else if (key == "manufacturer") {
        std::string upper = value;
        for (char &c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!packManufacturer(upper, m.manufacturer))
            return "manufacturer must be 3 letters A-Z, not '" + value + "'";
    } else if (key == "version" || key == "status" || key == "access") {
        const auto v = number(value, 0xFF);
        if (!v)
            return key + " must be a number 0..255, not '" + value + "'";
        (key == "version" ? m.version : key == "status" ? m.status : m.access) = static_cast<std::uint8_t>(*v);
    } else if (key == "medium") {
        const auto v = medium(value);
        if (!v)
            return "unknown medium '" + value + "' (see --help for the names)";
        m.medium = *v;
    } else if (key == "record" || key == "raw") {
        std::string why;
        const auto bytes = hexBytes(value, why);
        if (!bytes)
            return key + ": " + why;
        if (key == "raw") {
            m.raw.insert(m.raw.end(), bytes->begin(), bytes->end());
            if (m.raw.size() > kMaxRawBytes)
                return "raw reply longer than 1024 bytes";
            return {};
        }
        RecordsResult parsed = parseRecords(*bytes);
        if (!parsed.ok())
            return "record: " + parsed.error;
        for (Record &r : parsed.records)
            m.records.push_back(std::move(r));
    } else {
        return "unknown key '" + key + "'";
    }
    return {};
}

// Checks a finished block; header fields a raw reply carries fill in the ones not given.
std::string finish(Block &b)
{
    MeterConfig &m = b.meter;
    const auto given = [&](const char *key) { return b.seen.count(key) > 0; };
    if (!m.raw.empty() && !m.records.empty())
        return "a meter has records or a raw reply, not both";
    if (!m.raw.empty() && m.telegrams != 1)
        return "a raw reply is one telegram: 'telegrams' needs records";
    if (!m.raw.empty()) {
        const bool header = m.raw.size() >= 19 && m.raw[0] == 0x68;
        if (header) {
            if (!given("address"))
                m.address = m.raw[5];
            if (!given("id"))
                std::copy(m.raw.begin() + 7, m.raw.begin() + 11, m.id.begin());
            if (!given("manufacturer"))
                m.manufacturer = static_cast<std::uint16_t>(m.raw[11] | (m.raw[12] << 8));
            if (!given("version"))
                m.version = m.raw[13];
            if (!given("medium"))
                m.medium = m.raw[14];
        } else if (!given("address") || !given("id")) {
            return "this raw reply has no RSP_UD header: give address and id";
        }
        return {};
    }
    for (const char *key : {"id", "manufacturer", "medium"})
        if (!given(key))
            return std::string("meter without '") + key + "'";
    // Each telegram's share of the records, and its 1F while more follow, must fit.
    const bool endless = m.telegrams == kEndlessTelegrams;
    const std::size_t parts = endless ? 1 : static_cast<std::size_t>(m.telegrams), n = m.records.size();
    for (std::size_t part = 0; part < parts; ++part) {
        std::size_t size = endless || part + 1 < parts ? 1 : 0;
        for (std::size_t i = part * n / parts; i < (part + 1) * n / parts; ++i)
            size += m.records[i].bytes().size();
        if (size > kMaxRecordBytes)
            return "records take " + std::to_string(size) + " bytes, at most 240 fit in one reply";
    }
    for (std::size_t i = 0; i + 1 < m.records.size(); ++i)
        if (m.records[i].special() && m.records[i].dif() != 0x2F)
            return "a manufacturer-data record (DIF 0F/1F) must be the last one";
    return {};
}
} // namespace

BusFileResult parseBusText(std::string_view text)
{
    BusFileResult result;
    std::optional<Block> block;
    std::optional<DisplayBlock> display; // at most one
    bool inDisplay = false;
    const auto fail = [&result](int line, std::string error) {
        result.meters.clear();
        result.display.reset();
        result.errorLine = line;
        result.error = std::move(error);
        return result;
    };
    // A finished block is checked and reported at its [meter] line.
    const auto closeBlock = [&]() -> std::string {
        if (!block)
            return {};
        std::string error = finish(*block);
        if (error.empty())
            result.meters.push_back(std::move(block->meter));
        return error;
    };
    int line = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++line;
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        raw = raw.substr(0, std::min(raw.find('#'), raw.find(';')));
        const std::string content = trim(raw);
        if (content.empty())
            continue;
        if (content.front() == '[') {
            if (content.back() != ']')
                return fail(line, "section header without ']'");
            const std::string section = lower(trim(content.substr(1, content.size() - 2)));
            if (section != "meter" && section != "display")
                return fail(line, "unknown section '" + content + "', only [meter] and [display] blocks are known");
            if (std::string error = closeBlock(); !error.empty())
                return fail(block->meter.line, error);
            inDisplay = section == "display";
            if (inDisplay) {
                if (display)
                    return fail(line, "a second [display] block");
                display.emplace(line);
                block.reset();
                continue;
            }
            block.emplace();
            block->meter.line = line;
            continue;
        }
        const std::size_t eq = content.find('=');
        if (eq == std::string::npos)
            return fail(line, "expected 'key = value' or '[meter]', got '" + content + "'");
        if (!block && !inDisplay)
            return fail(line, "'" + trim(content.substr(0, eq)) + "' outside a [meter] block");
        const std::string key = lower(trim(content.substr(0, eq)));
        const std::string value = trim(content.substr(eq + 1));
        if (value.empty())
            return fail(line, "no value for '" + key + "'");
        if (inDisplay) {
            if (std::string error = display->set(key, value); !error.empty())
                return fail(line, error);
            continue;
        }
        if (std::string error = setKey(*block, key, value); !error.empty())
            return fail(line, error);
    }
    if (std::string error = closeBlock(); !error.empty())
        return fail(block->meter.line, error);
    if (display) {
        if (std::string error = display->finish(); !error.empty())
            return fail(display->config().line, error);
        result.display = display->config();
    }
    return result;
}

BusFileResult readBusFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        BusFileResult r;
        r.error = "cannot read the bus file";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseBusText(text.str());
}

} // namespace mbussim
