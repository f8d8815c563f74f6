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

bool isFormulaStart(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@';
}

// "-12.5", "+3", "1,5e3": a number a spreadsheet reads as such.
bool isNumber(std::string_view cell)
{
    std::size_t i = cell.empty() || (cell[0] != '+' && cell[0] != '-') ? 0 : 1;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < cell.size() && cell[i] >= '0' && cell[i] <= '9')
            ++i;
        return i - from;
    };
    std::size_t count = digits();
    if (i < cell.size() && (cell[i] == '.' || cell[i] == ',')) {
        ++i;
        count += digits();
    }
    if (count > 0 && i < cell.size() && (cell[i] == 'e' || cell[i] == 'E')) {
        ++i;
        if (i < cell.size() && (cell[i] == '+' || cell[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return count > 0 && i == cell.size();
}

// A text that a spreadsheet would take for a formula: one that begins, after
// any apostrophes, with = + - @ and is no number. It is written with one more
// apostrophe in front, and read back without it.
bool looksLikeFormula(std::string_view cell)
{
    const std::size_t text = cell.find_first_not_of('\'');
    return text != std::string_view::npos && isFormulaStart(cell[text]) && !isNumber(cell.substr(text));
}

void appendCell(std::string &out, const std::string &plain, std::string_view separator)
{
    const std::string cell = looksLikeFormula(plain) ? '\'' + plain : plain;
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
    int line = 0;          // where the record starts
    bool tooMany = false;  // more fields than allowed; reading stopped there
    bool tooLong = false;  // a cell longer than kMaxCellBytes; reading stopped there
    int unclosedQuote = 0; // the line of a quote never closed; reading stopped there
};

void addCell(Row &cells, std::string &&field)
{
    if (!field.empty() && field[0] == '\'' && looksLikeFormula(field))
        field.erase(0, 1);
    cells.push_back(std::move(field));
}

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
                const int quoteLine = m_line;
                ++m_pos;
                if (!readQuoted(field)) {
                    rec.unclosedQuote = quoteLine;
                    return rec;
                }
                open = true;
            } else if (m_text.compare(m_pos, m_sep.size(), m_sep) == 0) {
                m_pos += m_sep.size();
                addCell(rec.cells, std::move(field));
                field.clear();
                open = false;
                rec.tooLong = rec.cells.back().size() > kMaxCellBytes;
                if (rec.cells.size() > maxFields || rec.tooLong) {
                    rec.tooMany = !rec.tooLong;
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
        if (open) {
            addCell(rec.cells, std::move(field));
            rec.tooLong = rec.cells.back().size() > kMaxCellBytes;
        }
        rec.tooMany = !rec.tooLong && rec.cells.size() > maxFields;
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

    // After the opening quote, up to and including the closing one; false
    // when the text ends first.
    bool readQuoted(std::string &field)
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '"') {
                const bool doubled = m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"';
                m_pos += doubled ? 2 : 1;
                if (!doubled)
                    return true;
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
        return false;
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

std::string formatPlainTable(const std::vector<Row> &rows, std::string_view separatorSetting)
{
    const std::string separator = effectiveSeparator(separatorSetting);
    std::string out;
    for (const Row &row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += separator;
            appendCell(out, row[i], separator);
        }
        out += '\n';
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
    // False past the row limit: nothing more is read.
    auto keep = [&](Row &&row, int line) {
        if (result.rows.size() + result.droppedRows >= kMaxTableRows)
            return false;
        if (maxRows == 0 || result.rows.size() < maxRows) {
            result.rows.push_back(std::move(row));
            result.rowLines.push_back(line);
        } else {
            ++result.droppedRows;
        }
        return true;
    };
    const auto failed = [](ParseResult::Error error, int line) {
        ParseResult result;
        result.error = error;
        result.errorLine = line;
        return result;
    };

    Reader reader(text, separator);
    bool first = true;
    bool pending = false; // held back until we know it is not the last line
    Row last;
    int lastLine = 0;
    while (!reader.atEnd()) {
        Record rec = reader.next(maxFields);
        if (rec.tooMany)
            return failed(ParseResult::Error::TooManyFields, rec.line);
        if (rec.tooLong)
            return failed(ParseResult::Error::WrongFile, rec.line);
        if (rec.unclosedQuote)
            return failed(ParseResult::Error::UnclosedQuote, rec.unclosedQuote);
        const bool header = first && options.isHeader && options.isHeader(rec.cells);
        first = false;
        if (header) {
            result.header = std::move(rec.cells);
            result.hasHeader = true;
            continue;
        }
        if (pending && !keep(std::move(last), lastLine))
            return failed(ParseResult::Error::TooManyRows, lastLine);
        last = std::move(rec.cells);
        lastLine = rec.line;
        pending = true;
    }
    if (pending && hasText(last) && !keep(std::move(last), lastLine))
        return failed(ParseResult::Error::TooManyRows, lastLine);
    return result;
}

namespace {

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool hasTitle(const std::vector<std::string> &titles, std::string_view cell)
{
    return std::any_of(titles.begin(), titles.end(),
                       [cell](const std::string &title) { return trimmed(title) == trimmed(cell); });
}

} // namespace

bool isHeaderLine(const Row &line, const ColumnTitles &titles)
{
    const auto known = std::count_if(line.begin(), line.end(), [&titles](const std::string &cell) {
        return !trimmed(cell).empty() && std::any_of(titles.begin(), titles.end(), [&cell](const auto &column) {
            return hasTitle(column, cell);
        });
    });
    return known >= 2;
}

ColumnPlan planColumns(const Row &header, const ColumnTitles &titles)
{
    ColumnPlan plan;
    std::vector<bool> taken(titles.size(), false);
    for (const std::string &cell : header) {
        int column = -1;
        for (std::size_t c = 0; c < titles.size() && column < 0; ++c) {
            if (!taken[c] && hasTitle(titles[c], cell))
                column = int(c);
        }
        plan.tableColumn.push_back(column);
        if (column >= 0)
            taken[std::size_t(column)] = true;
        else
            plan.unknownTitles.push_back(cell);
    }
    for (std::size_t c = 0; c < titles.size(); ++c) {
        if (!taken[c])
            plan.missingColumns.push_back(int(c));
    }
    return plan;
}

Row arrangeRow(const Row &fileRow, const ColumnPlan &plan, std::size_t columnCount)
{
    Row row(columnCount);
    for (std::size_t i = 0; i < fileRow.size() && i < plan.tableColumn.size(); ++i) {
        const int column = plan.tableColumn[i];
        if (column >= 0 && std::size_t(column) < columnCount)
            row[std::size_t(column)] = fileRow[i];
    }
    return row;
}

} // namespace decode::csv
