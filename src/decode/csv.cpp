#include "csv.h"

#include <algorithm>

namespace decode::csv {

namespace {

constexpr std::string_view kDefaultSeparator = ";";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte no sequence starts with.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool needsQuotes(const std::string &cell, std::string_view separator)
{
    return cell.find(separator) != std::string::npos || cell.find_first_of("\"\r\n") != std::string::npos;
}

void appendCell(std::string &out, const std::string &cell, std::string_view separator)
{
    if (!needsQuotes(cell, separator)) {
        out += cell;
        return;
    }
    out += '"';
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Counts line ends (CR LF, LF, lone CR) before pos: the 1-based line pos is on.
int lineAt(std::string_view text, std::size_t pos)
{
    int line = 1;
    for (std::size_t i = 0; i < pos && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

struct Record {
    Row cells;
    int line = 0;         // where the record starts
    bool tooMany = false; // more fields than allowed; reading stopped there
};

// Reads the text record by record; a record is one line, or more when a
// quoted cell holds line breaks.
class Reader {
public:
    Reader(std::string_view text, std::string_view separator) : m_text(text), m_sep(separator) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    Record next(std::size_t maxFields)
    {
        Record rec;
        rec.line = m_line;
        std::string field;
        bool open = false; // a field has started (text or quotes read since the last separator)
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '"' && !open) {
                ++m_pos;
                readQuoted(field);
                open = true;
            } else if (m_text.compare(m_pos, m_sep.size(), m_sep) == 0) {
                m_pos += m_sep.size();
                rec.cells.push_back(std::move(field));
                field.clear();
                open = false;
                if (rec.cells.size() > maxFields) {
                    rec.tooMany = true;
                    return rec;
                }
            } else if (c == '\n' || c == '\r') {
                skipLineEnd();
                break;
            } else {
                field += c;
                open = true;
                ++m_pos;
            }
        }
        if (open)
            rec.cells.push_back(std::move(field));
        rec.tooMany = rec.cells.size() > maxFields;
        return rec;
    }

private:
    bool crLfAt(std::size_t pos) const
    {
        return m_text[pos] == '\r' && pos + 1 < m_text.size() && m_text[pos + 1] == '\n';
    }

    void skipLineEnd()
    {
        m_pos += crLfAt(m_pos) ? 2 : 1;
        ++m_line;
    }

    // After the opening quote, up to and including the closing one; without
    // a closing quote the rest of the text belongs to the cell.
    void readQuoted(std::string &field)
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '"') {
                const bool doubled = m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"';
                m_pos += doubled ? 2 : 1;
                if (!doubled)
                    return;
                field += '"';
                continue;
            }
            if (crLfAt(m_pos)) {
                field += "\r\n";
                m_pos += 2;
                ++m_line;
                continue;
            }
            if (c == '\n' || c == '\r')
                ++m_line;
            field += c;
            ++m_pos;
        }
    }

    std::string_view m_text;
    std::string_view m_sep;
    std::size_t m_pos = 0;
    int m_line = 1;
};

bool hasText(const Row &row)
{
    return std::any_of(row.begin(), row.end(), [](const std::string &cell) { return !cell.empty(); });
}

} // namespace

std::string effectiveSeparator(std::string_view setting)
{
    if (setting.empty())
        return std::string(kDefaultSeparator);
    const unsigned char lead = static_cast<unsigned char>(setting.front());
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || length > setting.size())
        return std::string(kDefaultSeparator);
    if (!std::all_of(setting.begin() + 1, setting.begin() + length,
                     [](char c) { return isContinuation(static_cast<unsigned char>(c)); }))
        return std::string(kDefaultSeparator);
    if (lead == '"' || lead == '\r' || lead == '\n' || lead == '\0')
        return std::string(kDefaultSeparator);
    return std::string(setting.substr(0, length));
}

std::string formatTable(const std::vector<Row> &rows, std::string_view separatorSetting, bool leadingEmptyLine,
                        std::string_view lineEnd)
{
    const std::string separator = effectiveSeparator(separatorSetting);
    std::string out;
    if (leadingEmptyLine)
        out += lineEnd;
    for (const Row &row : rows) {
        for (const std::string &cell : row) {
            appendCell(out, cell, separator);
            out += separator;
        }
        out += lineEnd;
    }
    return out;
}

ParseResult parseTable(std::string_view text, const ParseOptions &options)
{
    ParseResult result;
    if (text.size() > kMaxTextBytes) {
        result.error = ParseResult::Error::WrongFile;
        return result;
    }
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        result.error = ParseResult::Error::WrongFile;
        result.errorLine = lineAt(text, nul);
        return result;
    }
    if (text.substr(0, kBom.size()) == kBom)
        text.remove_prefix(kBom.size());

    const std::string separator = effectiveSeparator(options.separatorSetting);
    const std::size_t maxFields = std::size_t(std::max(options.maxFields, 0));
    const std::size_t maxRows = std::size_t(std::max(options.maxRows, 0));
    auto keep = [&](Row &&row) {
        if (maxRows == 0 || result.rows.size() < maxRows)
            result.rows.push_back(std::move(row));
        else
            ++result.droppedRows;
    };

    Reader reader(text, separator);
    bool first = true;
    bool pending = false; // held back until we know it is not the last line
    Row last;
    while (!reader.atEnd()) {
        Record rec = reader.next(maxFields);
        if (rec.tooMany) {
            ParseResult failed;
            failed.error = ParseResult::Error::TooManyFields;
            failed.errorLine = rec.line;
            return failed;
        }
        const bool header = first && options.isHeader && options.isHeader(rec.cells);
        first = false;
        if (header)
            continue;
        if (pending)
            keep(std::move(last));
        last = std::move(rec.cells);
        pending = true;
    }
    if (pending && hasText(last))
        keep(std::move(last));
    return result;
}

} // namespace decode::csv
