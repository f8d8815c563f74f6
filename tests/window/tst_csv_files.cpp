// The device table to and from CSV files through the real window: "Save"
// then "Open" gives the same table in every column layout, odd cells
// included; a refused import or an unwritable target shows its box and
// changes neither the table nor the old file; old Windows-1250 files read.

#include "devices_page.h"
#include "main_window.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Bench {
    explicit Bench(const QByteArray &settings)
    {
        QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Misc]\nDir=" + dir.path().toUtf8() + "/\n" + settings);
        ini.close();
        window = std::make_unique<MainWindow>(dir.filePath(QStringLiteral("telvaro.ini")));
        window->fileDialogs.askSaveName = [this](const QString &proposed) {
            proposedName = proposed;
            return target;
        };
        window->fileDialogs.askOpenName = [this](const QString &) { return target; };
        window->fileDialogs.message = [this](int, const QString &caption, const QString &text) {
            boxes << caption + u'|' + text;
        };
        target = dir.filePath(QStringLiteral("meters.csv"));
    }
    QList<QStringList> cells() const
    {
        QList<QStringList> out;
        const decode::DeviceTable &t = window->deviceTable();
        for (int r = 0; r < t.rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < t.columnCount(); ++c)
                row << QString::fromStdString(t.cellText(r, c));
            out << row;
        }
        return out;
    }
    QByteArray file() const
    {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeTarget(const QByteArray &bytes)
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QString target, proposedName;
    QStringList boxes;
};

} // namespace

class TstCsvFiles : public QObject {
    Q_OBJECT
private slots:
    void bigFilesStayBounded_data(); // first: it measures the process's peak memory
    void bigFilesStayBounded();
    void saveThenOpen_data();
    void saveThenOpen();
    void refusedImportKeepsTable_data();
    void refusedImportKeepsTable();
    void unwritableTargetKeepsOldFile();
    void windows1250File();
    void importMatchesColumnsByTitle_data();
    void importMatchesColumnsByTitle();
};

void TstCsvFiles::bigFilesStayBounded_data()
{
    QTest::addColumn<QByteArray>("pattern"); // repeated to 64 MB
    QTest::addColumn<bool>("display");
    for (const bool display : {false, true}) {
        const char *table = display ? ", display table" : ", device table";
        QTest::addRow("line breaks%s", table) << QByteArray("\n") << display;
        QTest::addRow("one long cell%s", table) << QByteArray("x") << display;
        QTest::addRow("Windows-1250 rows%s", table) << QByteArray("\xB3\xB3;\xB9;\r\n") << display;
    }
}

// A 64 MB file of any shape is refused, the table stays, and
// the window never holds more than 300 MB on the way.
void TstCsvFiles::bigFilesStayBounded()
{
    QFETCH(QByteArray, pattern);
    QFETCH(bool, display);
    Bench b({});
    {
        QFile f(b.target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray piece = pattern.repeated((1 << 20) / pattern.size());
        while (f.size() + piece.size() <= 64 * 1024 * 1024)
            f.write(piece);
    }
    QFile clearPeak(QStringLiteral("/proc/self/clear_refs"));
    if (!clearPeak.open(QIODevice::WriteOnly) || clearPeak.write("5") != 1)
        QSKIP("the peak memory of the process cannot be reset here");
    clearPeak.close();
    QVERIFY(!(display ? b.window->importDisplayTable() : b.window->loadDeviceTable()));
    QCOMPARE(b.boxes.size(), 1);
    QCOMPARE(display ? b.window->tevTable().row(1).join(QString()) : QString::number(b.cells().size()),
             display ? QString() : QStringLiteral("0"));
    QFile status(QStringLiteral("/proc/self/status"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QString peak = QString::fromLatin1(status.readAll()).split(u'\n').filter(QStringLiteral("VmHWM:")).value(0);
    QVERIFY2(peak.simplified().section(u' ', 1, 1).toLongLong() < 300 * 1024, qPrintable(peak));
}

void TstCsvFiles::saveThenOpen_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("columns");
    QTest::newRow("10 columns") << QByteArray() << 10;
    QTest::newRow("11 columns") << QByteArray("SMain=1\n") << 11;
    QTest::newRow("24 columns, comma separator")
        << QByteArray("SMain=1\nExportSeparator=,\n[Titles]\nCount=13\n") << 24;
}

void TstCsvFiles::saveThenOpen()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, columns);
    Bench b(settings);
    decode::DeviceTable &table = b.window->deviceTable();
    QCOMPARE(table.columnCount(), columns);
    std::vector<std::string> odd(std::size_t(columns), "");
    odd[0] = "12345678";
    odd[1] = "1";
    odd[2] = "semi;colon";
    odd[3] = "comma,1.5";
    odd[5] = "say \"hi\"";
    odd[6] = "two\r\nlines";
    odd[std::size_t(columns - 1)] = "Ciepło żółć";
    table.appendRow(odd);
    table.appendRow({"87654321", "2", "ZRI", "45.327", "m3"});
    table.appendRow(decode::MeterRow{}); // a row left empty in the middle stays a row
    table.appendRow({"11112222", "", "ABC"});
    const QList<QStringList> before = b.cells();

    QTest::mouseClick(b.window->devices->saveButton, Qt::LeftButton);
    QCOMPARE(b.proposedName, b.dir.path() + QStringLiteral("/meters_data.csv"));
    const QByteArray saved = b.file();
    QVERIFY(saved.endsWith("\r\n"));
    QVERIFY(!saved.startsWith("\xEF\xBB\xBF"));
    QVERIFY(saved.startsWith(" ID ")); // the header line comes first

    table.clear();
    QTest::mouseClick(b.window->devices->loadButton, Qt::LeftButton);
    QCOMPARE(b.boxes, QStringList());
    QCOMPARE(b.cells(), before);

    // A second round trip changes nothing: no header or entry row creeps in.
    QVERIFY(b.window->saveDeviceTable());
    QCOMPARE(b.file(), saved);
}

void TstCsvFiles::refusedImportKeepsTable_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("box");
    const QString tooMany = QStringLiteral(
        "|You are trying to import too many data!!!\nCorrect csv file and try again!");
    const QString wrong = QStringLiteral("File Error|You chose wrong file for import!\nContact administrator!");
    QTest::newRow("25 fields") << QByteArray("1;2\r\n") + QByteArray(25, 'x').replace("x", "a;") + "\r\n"
                               << tooMany + "\nLine 2.";
    QTest::newRow("NUL byte") << QByteArray("1;2;\r\n\0;\r\n", 10)
                              << wrong + "\nLine 2.\nIt holds binary data, not text.";
    QTest::newRow("quote never closed") << QByteArray("1;\"2;\r\n3;\r\n")
                                        << "File Error|A quoted cell is never closed.\nLine 1.";
    QTest::newRow("10,001 rows")
        << QByteArray("1;2;\r\n").repeated(10001)
        << "File Error|The file holds more than 10000 rows, more than any bus: it is not read.\nLine 10001.";
    QTest::newRow("a cell of 5,000 bytes")
        << "1;2;\r\n3;" + QByteArray(5000, 'x') << wrong + "\nLine 2.\nA cell is longer than 4096 characters.";
}

void TstCsvFiles::refusedImportKeepsTable()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, box);
    Bench b({});
    b.window->deviceTable().appendRow({"12345678", "1", "ZRI"});
    const QList<QStringList> before = b.cells();
    b.writeTarget(content);
    QVERIFY(!b.window->loadDeviceTable());
    QCOMPARE(b.boxes, QStringList{box});
    QCOMPARE(b.cells(), before);
}

void TstCsvFiles::unwritableTargetKeepsOldFile()
{
    Bench b({});
    b.window->deviceTable().appendRow({"12345678", "1", "ZRI"});
    b.target = b.dir.filePath(QStringLiteral("missing-folder/meters.csv"));
    QVERIFY(!b.window->saveDeviceTable());
    QCOMPARE(b.boxes, QStringList{QStringLiteral(
                          "Error saving file|File cannot be written, no rights!\nContact administrator.")});
    QVERIFY(!QFile::exists(b.target));
}

// A table saved on Windows: code page 1250, no header.
void TstCsvFiles::windows1250File()
{
    Bench b({});
    b.writeTarget("12345678;1;ZRI;Ciep\xB3o;\r\n;;;;\r\n");
    QVERIFY(b.window->loadDeviceTable());
    QCOMPARE(b.cells().size(), 1); // the empty row below the meters is no meter
    QCOMPARE(b.cells().at(0).mid(0, 4), QStringList({"12345678", "1", "ZRI", QString::fromUtf8("Ciepło")}));
}

// clang-format off
void TstCsvFiles::importMatchesColumnsByTitle_data()
{
    QTest::addColumn<bool>("display");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("firstRow"); // its first cells afterwards
    QTest::addColumn<QString>("logLine");      // the log's last line
    QTest::newRow("Italian, with the secondary main column")
        << false
        << QByteArray(" ID ;Indir. ;Costr. ;Valore ;Energia;Unit\xC3\xA0 ;Mezzo ;Ora ;Data ;Stato ;Modello ;\r\n"
                      "12345678;5;ZRI;45.327;7;m3;Water;10:00;1.2.26;0x00;;\r\n;;;;;;;;;;;\r\n")
        << QStringList{"12345678", "5", "ZRI", "45.327", "m3", "Water", "10:00", "1.2.26", "0x00"}
        << "Columns this table does not have, left out: \"Energia\"";
    QTest::newRow("reordered, some missing")
        << false << QByteArray("Addr. ; ID ;Unit \r\n5;12345678;m3\r\n")
        << QStringList{"12345678", "5", "", "", "m3"}
        << "Columns the file does not have, left empty: \"Mfr.\", \"Value\", \"Medium\", \"Time\", \"Date\", \"Status\", \"Model\"";
    QTest::newRow("no header, more fields")
        << false << QByteArray("1;2;3;4;5;6;7;8;9;10;11;\r\n")
        << QStringList{"1", "2", "3"}
        << "Line 1 has 11 fields, the table has 10 columns: the fields are taken in order.";
    QTest::newRow("display table, Polish")
        << true << QByteArray(" ID ;Adr. ;Jedn. ;Pocz. g\xC5\x82\xC3\xB3wna;\r\n41000001;1;m3;12;\r\n")
        << QStringList{"41000001", "1", "m3", "12", ""}
        << "Columns the file does not have, left empty: \"Start P1, m3\", \"Start P2, m3\", \"Start Cooling\", "
           "\"Mult/Div\", \"User numb.\", \"Free text\", \"Total\", \"Total P1\", \"Total P2\", \"Total T4/Cool\"";
}
// clang-format on

// A file's columns go where their titles say, in any of the three languages;
// what does not fit is said in the log.
void TstCsvFiles::importMatchesColumnsByTitle()
{
    QFETCH(bool, display);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, firstRow);
    QFETCH(QString, logLine);
    Bench b({});
    b.writeTarget(content);
    QVERIFY(display ? b.window->importDisplayTable() : b.window->loadDeviceTable());
    QCOMPARE(b.boxes, QStringList());
    const QStringList row = display ? b.window->tevTable().row(1) : b.cells().value(0);
    QCOMPARE(row.mid(0, firstRow.size()), firstRow);
    QCOMPARE(display ? b.window->tevTable().rowCount() : b.cells().size(), 1); // the header is no row
    QCOMPARE(b.window->logLines().value(b.window->logLines().size() - 1), logLine);
}

QTEST_MAIN(TstCsvFiles)
#include "tst_csv_files.moc"
