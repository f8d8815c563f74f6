// Table files: the bytes an export writes, tables surviving the trip through a
// file, and what reading odd, foreign or broken files gives.

#include "decode/csv.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace decode::csv;
using Error = ParseResult::Error;
using Table = QList<QStringList>;

namespace {

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

Table toTable(const std::vector<Row> &rows)
{
    Table out;
    for (const Row &row : rows) {
        out.append(QStringList());
        for (const std::string &cell : row)
            out.last() << QString::fromStdString(cell);
    }
    return out;
}

std::vector<Row> toRows(const Table &table)
{
    std::vector<Row> out;
    for (const QStringList &cells : table) {
        out.emplace_back();
        for (const QString &cell : cells)
            out.back().push_back(cell.toStdString());
    }
    return out;
}

// Reads with "H" (or the given header) taken for our header line.
ParseResult parseText(const QByteArray &text, int maxFields, int maxRows = 0, const QStringList &header = {"H"},
                      const char *separator = ";")
{
    const Row headerRow = toRows({header}).front();
    return parseTable(view(text), {separator, maxFields, maxRows, [=](const Row &line) { return line == headerRow; }});
}

} // namespace

class TstCsv : public QObject {
    Q_OBJECT
private slots:
    void exportBytes_data();
    void exportBytes();
    void roundTrip_data();
    void roundTrip();
    void parse_data();
    void parse();
    void rowLimit();
    void sizeLimit();
    void randomInput();
};

void TstCsv::exportBytes_data()
{
    QTest::addColumn<Table>("rows");
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<bool>("leadingEmptyLine");
    QTest::addColumn<QByteArray>("expected");
    const Table plain = {
        {" ID ", "Addr. ", "Mfr. ", "Value ", "Unit ", "Medium ", "Time ", "Date ", "Status ", "Model "},
        {"12345678", "1", "ZRI", "12.5", "m3", "Water", "10:00:00", "1.2.2024", "0x00", ""},
        {"87654321", "2", "LUG", "300", "kWh", "Heat", "10:00:01", "1.2.2024", "0x00", ""},
        QStringList(10)};
    QTest::newRow("plain device table") << plain << QByteArray(";") << false
                                        << QByteArray(
                                               " ID ;Addr. ;Mfr. ;Value ;Unit ;Medium ;Time ;Date ;Status ;Model ;\r\n"
                                               "12345678;1;ZRI;12.5;m3;Water;10:00:00;1.2.2024;0x00;;\r\n"
                                               "87654321;2;LUG;300;kWh;Heat;10:00:01;1.2.2024;0x00;;\r\n"
                                               ";;;;;;;;;;\r\n");
    QTest::newRow("quoted cells") << Table{{"1;5", "a\"b", "x\r\ny", "1,5"}} << QByteArray(";") << false
                                  << QByteArray("\"1;5\";\"a\"\"b\";\"x\r\ny\";1,5;\r\n");
    QTest::newRow("comma") << Table{{"1;5", "1,5"}} << QByteArray(",") << false << QByteArray("1;5,\"1,5\",\r\n");
    QTest::newRow("readings") << Table{{"Date", "Value"}} << QByteArray(";") << true
                              << QByteArray("\r\nDate;Value;\r\n");
    QTest::newRow("no rows") << Table{} << QByteArray(";") << true << QByteArray("\r\n");
    QTest::newRow("formula texts") << Table{{"=1+2", "-12.5", "+3", "@x", "'=y", "-", "a=b"}} << QByteArray(";")
                                   << false << QByteArray("'=1+2;-12.5;+3;'@x;''=y;'-;a=b;\r\n");
    // Which separator a setting gives.
    const Table ab = {{"a", "b"}};
    QTest::newRow("empty setting") << ab << QByteArray() << false << QByteArray("a;b;\r\n");
    QTest::newRow("first character only") << ab << QByteArray("\t;") << false << QByteArray("a\tb\t\r\n");
    QTest::newRow("two-byte character") << ab << QByteArray("żx") << false << QByteArray("ażbż\r\n");
    QTest::newRow("quote setting") << ab << QByteArray("\"") << false << QByteArray("a;b;\r\n");
    QTest::newRow("cut UTF-8 setting") << ab << QByteArray("\xC5") << false << QByteArray("a;b;\r\n");
}

void TstCsv::exportBytes()
{
    QFETCH(Table, rows);
    QFETCH(QByteArray, setting);
    QFETCH(bool, leadingEmptyLine);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(formatTable(toRows(rows), view(setting), leadingEmptyLine)), expected);
}

void TstCsv::roundTrip_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("maxFields");
    QTest::newRow("device 10") << 10 << QByteArray(";") << 24;
    QTest::newRow("device 11 comma") << 11 << QByteArray(",") << 24;
    QTest::newRow("device 24 tab") << 24 << QByteArray("\t") << 24;
    QTest::newRow("device 24 empty setting") << 24 << QByteArray() << 24;
    QTest::newRow("display 14") << 14 << QByteArray(";") << 14;
    QTest::newRow("display 14 two-byte separator") << 14 << QByteArray("ż") << 14;
}

// Header, data rows (an empty one in the middle) and the entry row.
void TstCsv::roundTrip()
{
    QFETCH(int, columns);
    QFETCH(QByteArray, setting);
    QFETCH(int, maxFields);
    const QStringList pool = {"12345678", "1;5", "say \"hi\"", "two\r\nlines", "Zażółć gęślą jaźń",
                              "",         "\"",  ";",          "a,b\tc",       "lone\rCR",
                              "lone\nLF", " ",   "\"\"",       "ąę;\"x\"\r\n", "żż"};
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header << QString("Title%1 ").arg(c);
    Table data;
    for (int r = 0; r < 6; ++r) {
        data << QStringList(columns);
        for (int c = 0; c < columns && r != 2; ++c)
            data.last()[c] = pool[(r * 7 + c) % pool.size()];
    }
    const std::string file = formatTable(toRows(Table{header} + data + Table{QStringList(columns)}), view(setting));
    const ParseResult result = parseText(QByteArray::fromStdString(file), maxFields, 0, header, setting.constData());
    QCOMPARE(result.error, Error::None);
    QCOMPARE(toTable(result.rows), data);
}

void TstCsv::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxFields");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<Table>("rows");
    const int ok = int(Error::None), tooMany = int(Error::TooManyFields), wrong = int(Error::WrongFile);
    const QByteArray fields24 = QByteArray(";").repeated(24), fields14 = QByteArray("x;").repeated(13) + "x";
    QTest::newRow("empty") << QByteArray() << 24 << ok << 0 << Table{};
    QTest::newRow("only a BOM") << QByteArray("\xEF\xBB\xBF") << 24 << ok << 0 << Table{};
    QTest::newRow("24 on 24") << fields24 + "\r\nx" << 24 << ok << 0 << Table{QStringList(24), {"x"}};
    QTest::newRow("25 on 24") << "a;\r\n" + fields24 + "x\r\n" << 24 << tooMany << 2 << Table{};
    QTest::newRow("14 on 14") << fields14 << 14 << ok << 0 << Table{QStringList(14, "x")};
    QTest::newRow("15 on 14") << fields14 + ";x;" << 14 << tooMany << 1 << Table{};
    QTest::newRow("quoted separator") << QByteArray("\"1;5\";") << 1 << ok << 0 << Table{{"1;5"}};
    QTest::newRow("unquoted separator") << QByteArray("1;5;") << 24 << ok << 0 << Table{{"1", "5"}};
    QTest::newRow("too few fields") << QByteArray("a;b;\r\n;;;;\r\n") << 24 << ok << 0 << Table{{"a", "b"}};
    QTest::newRow("LF, CR, CR LF") << QByteArray("a;\nb;\rc;\r\nd;") << 24 << ok << 0
                                   << Table{{"a"}, {"b"}, {"c"}, {"d"}};
    QTest::newRow("BOM, header") << QByteArray("\xEF\xBB\xBFH;\r\nx;") << 24 << ok << 0 << Table{{"x"}};
    QTest::newRow("header first only") << QByteArray("x;\r\nH;\r\n;\r\n") << 24 << ok << 0 << Table{{"x"}, {"H"}};
    QTest::newRow("no trailing separator")
        << QByteArray("a;b;c\r\na;b;c;") << 3 << ok << 0 << Table{{"a", "b", "c"}, {"a", "b", "c"}};
    QTest::newRow("empty lines between") << QByteArray("a;\r\n\r\n;;;\r\nb;\r\n\r\n") << 24 << ok << 0
                                         << Table{{"a"}, {}, {"", "", ""}, {"b"}};
    QTest::newRow("quoted empty last line") << QByteArray("a;\r\n\"\";\"\";") << 24 << ok << 0 << Table{{"a"}};
    QTest::newRow("quoted line breaks") << QByteArray("\"x\r\ny\";\"p\nq\"\r\nz") << 24 << ok << 0
                                        << Table{{"x\r\ny", "p\nq"}, {"z"}};
    QTest::newRow("quotes") << QByteArray("\"a\"\"b\";a\"b;\"ab\"cd;\"\"") << 24 << ok << 0
                            << Table{{"a\"b", "a\"b", "abcd", ""}};
    QTest::newRow("unterminated quote") << QByteArray("a;\r\na;\"b;c\r\nd;\"\"e\r\n") << 2 << int(Error::UnclosedQuote)
                                        << 2 << Table{};
    QTest::newRow("formula texts") << QByteArray("'=1+2;-1;''=y;'x;") << 24 << ok << 0
                                   << Table{{"=1+2", "-1", "'=y", "'x"}};
    QTest::newRow("error line after quoted breaks")
        << "\"a\r\nb\nc\";\r\n" + fields24 + "x" << 24 << tooMany << 4 << Table{};
    QTest::newRow("long field") << QByteArray(300, 'w') << 1 << ok << 0 << Table{{QString(300, 'w')}};
    QTest::newRow("NUL byte") << QByteArray("a;\r\nb\0;", 7) << 24 << wrong << 2 << Table{};
    QTest::newRow("longest cell") << "a;" + QByteArray(4096, 'w') << 2 << ok << 0 << Table{{"a", QString(4096, 'w')}};
    QTest::newRow("cell too long") << "a;\r\nb;" + QByteArray(4097, 'w') + ";c" << 3 << wrong << 2 << Table{};
    QTest::newRow("quoted cell too long") << "\"" + QByteArray(4097, 'w') + "\"" << 3 << wrong << 1 << Table{};
}

void TstCsv::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxFields);
    QFETCH(int, error);
    QFETCH(int, errorLine);
    QFETCH(Table, rows);
    const ParseResult result = parseText(text, maxFields);
    QCOMPARE(int(result.error), error);
    QCOMPARE(result.errorLine, errorLine);
    QCOMPARE(toTable(result.rows), rows);
}

// The display import keeps 250 rows but still refuses a bad line beyond them.
void TstCsv::rowLimit()
{
    QByteArray text = "H;\r\n";
    for (int r = 0; r < 300; ++r)
        text += QByteArray::number(r) + ";x;\r\n";
    ParseResult result = parseText(text + ";;\r\n", 14, 250);
    QCOMPARE(result.rows.size(), std::size_t(250));
    QCOMPARE(result.droppedRows, std::size_t(50));
    QCOMPARE(result.rows.back(), (Row{"249", "x"}));
    result = parseText(text + QByteArray("x;").repeated(15), 14, 250);
    QCOMPARE(result.error, Error::TooManyFields);
    QCOMPARE(result.errorLine, 302);
    QVERIFY(result.rows.empty() && result.droppedRows == 0);

    // No table of ours has 10,000 rows, kept or dropped: the file stops there.
    const QByteArray lines = QByteArray("\r\n").repeated(10000);
    result = parseText(text.left(4) + lines.mid(2) + "x", 14, 250);
    QVERIFY(result.error == Error::None && result.rows.size() + result.droppedRows == 10000);
    for (const int maxRows : {0, 250}) {
        result = parseText(text.left(4) + lines + "x;\r\n", 14, maxRows);
        QCOMPARE(result.error, Error::TooManyRows);
        QCOMPARE(result.errorLine, 10002);
        QVERIFY(result.rows.empty() && result.droppedRows == 0);
    }
}

// The largest text: 10,000 rows of two cells each, all the bytes allowed.
void TstCsv::sizeLimit()
{
    std::string text;
    for (std::size_t line = 0; line < kMaxTableRows; ++line) {
        const std::size_t cells = (kMaxTextBytes - text.size()) / (kMaxTableRows - line) - 3;
        text += std::string(cells / 2, 'x') + ';' + std::string(cells - cells / 2, 'y') + "\r\n";
    }
    QCOMPARE(text.size(), kMaxTextBytes);
    ParseResult result = parseTable(text, {});
    QCOMPARE(result.error, Error::None);
    QCOMPARE(result.rows.size(), kMaxTableRows);
    text += 'x';
    result = parseTable(text, {});
    QCOMPARE(result.error, Error::WrongFile);
    QVERIFY(result.rows.empty());
}

// Random tables come back whole; random bytes never give rows wider than allowed.
void TstCsv::randomInput()
{
    QRandomGenerator rng(4711);
    // A BOM starting the first cell would be taken for the file's own: random bytes only.
    const char *parts[] = {"a", "ż", ";", ",", "\"", "\r", "\n", " ", "\t", "\xEF\xBB\xBF"};
    const char *separators[] = {";", ",", "ż", "\t"};
    for (int round = 0; round < 300; ++round) {
        std::vector<Row> table(1 + rng.bounded(6), Row(1 + rng.bounded(24)));
        for (Row &row : table)
            for (std::string &cell : row)
                for (int n = rng.bounded(6); n > 0; --n)
                    cell += parts[rng.bounded(int(std::size(parts)) - 1)];
        const char *sep = separators[rng.bounded(int(std::size(separators)))];
        std::vector<Row> withEntryRow = table;
        withEntryRow.emplace_back(table[0].size());
        const std::string file = formatTable(withEntryRow, sep);
        const ParseResult back = parseTable(file, {sep, 24, 0, {}});
        QCOMPARE(back.error, Error::None);
        QVERIFY2(back.rows == table, file.c_str());

        QByteArray bytes;
        for (int n = rng.bounded(200); n > 0; --n)
            bytes += rng.bounded(3) ? QByteArray(parts[rng.bounded(int(std::size(parts)))])
                                    : QByteArray(1, char(rng.bounded(256)));
        const int maxFields = rng.bounded(26);
        const ParseResult odd = parseTable(view(bytes), {sep, maxFields, rng.bounded(3), {}});
        QVERIFY(odd.error == Error::None || odd.rows.empty());
        for (const Row &row : odd.rows)
            QVERIFY(row.size() <= std::size_t(maxFields));
    }
}

QTEST_GUILESS_MAIN(TstCsv)
#include "tst_csv.moc"
