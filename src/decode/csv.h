#pragma once
// The separated-value text files the tables are exchanged in with
// spreadsheets: writing a table and reading one back. Plain text in and out
// (UTF-8); reading the file, converting its code page and filling the grids
// are the caller's business.
//
// A line is every cell followed by the separator, CR LF after each line. A
// cell holding the separator, a double quote or a line break is quoted (inner
// quotes doubled) so that it survives the trip; all other cells are written
// as they are, so tables without such cells give the same bytes as the plain
// unquoted format older files were written in. A text that a spreadsheet
// would run as a formula (it begins with = + - @ and is no number, such as a
// meter's own text "=1+2") gets an apostrophe in front, which reading drops.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace decode::csv {

using Row = std::vector<std::string>; // cells, UTF-8

// Longer texts are refused as not being one of our tables.
inline constexpr std::size_t kMaxTextBytes = std::size_t(64) * 1024 * 1024;
// More rows than any bus or display holds, and a cell longer than any of
// ours: the file is no table of ours (and would only fill the memory).
inline constexpr std::size_t kMaxTableRows = 10000;
inline constexpr std::size_t kMaxCellBytes = 4096;

// The separator actually used: the first UTF-8 character of the setting.
// An empty setting gives ";", and so does one starting with a character that
// cannot separate fields (double quote, CR, LF, NUL) or with a broken UTF-8
// sequence: writing with it would give a file that cannot be read back.
std::string effectiveSeparator(std::string_view setting);

// One line per row, CR LF (or the line end given) after every line, also the
// last; leadingEmptyLine writes one empty line first (the readings export). No BOM.
std::string formatTable(const std::vector<Row> &rows, std::string_view separatorSetting, bool leadingEmptyLine = false,
                        std::string_view lineEnd = "\r\n");

// The usual CSV of tools and scripts: the separator between cells only, LF
// after every line; quoted as formatTable() quotes.
std::string formatPlainTable(const std::vector<Row> &rows, std::string_view separatorSetting);

struct ParseOptions {
    std::string_view separatorSetting;         // as in the settings; empty means ";"
    int maxFields = 24;                        // device table 24, display table 14
    int maxRows = 0;                           // 0: no limit; later rows are counted, not kept
    std::function<bool(const Row &)> isHeader; // our own header line (asked about the first line only)
};

struct ParseResult {
    enum class Error { None, TooManyFields, WrongFile, UnclosedQuote, TooManyRows };
    Error error = Error::None;
    int errorLine = 0;           // 1-based line in the file; 0 when the whole text is refused
    bool hasHeader = false;      // the first line was taken for the header
    Row header;                  // that line
    std::vector<Row> rows;       // the data rows; empty on error
    std::vector<int> rowLines;   // the line each of them starts on
    std::size_t droppedRows = 0; // rows beyond maxRows, not in rows
};

// Reads a whole file's text:
// - lines end in CR LF, LF or a lone CR; a leading UTF-8 BOM is skipped;
// - a field is the text up to the next separator or the line end; a trailing
//   separator ends the last field and starts none ("a;b;" and "a;b" are both
//   two fields, an empty line none); fields are never cut;
// - a double quote at the start of a field quotes it: separators and line
//   breaks (CR LF kept as written) inside belong to the cell, "" is one quote,
//   text after the closing quote up to the separator is appended; a quote
//   inside an unquoted field is an ordinary character;
// - a quote never closed gives UnclosedQuote (at the line of the quote) and no rows;
// - a line with more than maxFields fields gives TooManyFields and no rows,
//   wherever it is (the whole text is read before anything is returned);
// - a first line that isHeader accepts is not data, nor is a last line
//   without text (our exports end with the empty entry row); other empty
//   lines are rows of empty cells;
// - a data row past kMaxTableRows (kept or dropped) gives TooManyRows at its line;
// - text over kMaxTextBytes or holding a NUL byte, or a cell over
//   kMaxCellBytes, gives WrongFile;
// - an empty text gives no rows and no error.
ParseResult parseTable(std::string_view text, const ParseOptions &options);

// The titles each column of a table goes by in a file (one per language).
using ColumnTitles = std::vector<std::vector<std::string>>;

// A line is a header when at least two of its cells are column titles
// (compared without surrounding blanks).
bool isHeaderLine(const Row &line, const ColumnTitles &titles);

// Where the columns of a file with a header go: each title to the first
// table column of that title not yet taken.
struct ColumnPlan {
    std::vector<int> tableColumn;           // per column of the file; -1: not one of the table's
    std::vector<std::string> unknownTitles; // the titles of those columns
    std::vector<int> missingColumns;        // table columns the file does not have
};
ColumnPlan planColumns(const Row &header, const ColumnTitles &titles);

// A row of the file in the table's columns; columns the file lacks are empty.
Row arrangeRow(const Row &fileRow, const ColumnPlan &plan, std::size_t columnCount);

} // namespace decode::csv
