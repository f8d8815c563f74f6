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
    void saveThenOpen_data();
    void saveThenOpen();
    void refusedImportKeepsTable_data();
    void refusedImportKeepsTable();
    void unwritableTargetKeepsOldFile();
    void windows1250File();
};

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
    QTest::newRow("25 fields") << QByteArray("1;2\r\n") + QByteArray(25, 'x').replace("x", "a;") + "\r\n" << tooMany;
    QTest::newRow("NUL byte") << QByteArray("1;2;\r\n\0;\r\n", 10) << wrong;
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

QTEST_MAIN(TstCsvFiles)
#include "tst_csv_files.moc"
