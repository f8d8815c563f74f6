// The display pages end to end: the real main window, offscreen, against the
// simulated display/concentrator on every route: writing its table and
// reading it back, deleting and zeroing, the single settings, the
// information query, filling from an M-Bus scan, the history for all months
// and one month, sorting, exports, the automatic read, and a faulty entry
// that leaves the others intact.

#include "devices_page.h"
#include "display/display_commands.h"
#include "display/read_run.h"
#include "display/write_run.h"
#include "display_pages.h"
#include "link/link_dispatch.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace display;

namespace {

const char kBus[] = R"(
[meter]
address = 1
id = 41000001
manufacturer = QRV
version = 0x12
medium = water
record = 0C 13 56 34 12 00
[meter]
address = 2
id = 41000002
manufacturer = QRV
version = 0x12
medium = water
record = 0C 14 50 87 04 00
[display]
model = TEV-K40
months = english
entry = 5, kWh, 7000, 0, 0, 0, 1/1, 5, Building heat, 8123
history = 5, 2025-01, 7087.5 7187.4 7265.7 7358.0 7442.9 7526.3 7628.0 7695.7 7787.1 7868.6 7965.0 8043.1
)";

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList row(const QString &address, const QString &start, const QString &text)
{
    QStringList r(TevColumns, QString());
    r[TevAddress] = address;
    r[TevUnit] = QStringLiteral("m3");
    r[TevStartMain] = start;
    r[TevStartP1] = QStringLiteral("1.5");
    r[TevStartP2] = QStringLiteral("2.5");
    r[TevStartCooling] = QStringLiteral("0");
    r[TevMultDiv] = QStringLiteral("10/1");
    r[TevUserNumber] = address;
    r[TevFreeText] = text;
    return r;
}

struct Bench {
    Bench(const QString &route, const QStringList &faults = {}, const char *busText = kBus, int timeoutMs = 300)
    {
        QFile bus(dir.filePath(QStringLiteral("display.bus")));
        if (bus.open(QIODevice::WriteOnly))
            bus.write(busText);
        bus.close();
        const QStringList base{QStringLiteral("--bus"), bus.fileName()};
        QByteArray settings = "[Mbus]\nTimeout=" + QByteArray::number(timeoutMs)
                              + "\n[Misc]\nRetry=0\nDir=" + dir.path().toUtf8() + "/\n";
        const QByteArray listenPort = QByteArray::number(freePort());
        if (route == QLatin1String("serial")) {
            sim = std::make_unique<SimProcess>(bus.fileName(), faults);
            settings += "[Com port]\nName=" + sim->link().toUtf8() + "\nSpeed=2400\n";
        } else if (route == QLatin1String("converter")) {
            sim = std::make_unique<SimProcess>(SimProcess::Tcp{}, base + QStringList{"--tcp", "0"} + faults);
            settings += "UseLANXP=1\n[LANXP]\nIP=127.0.0.1\nPort=" + QByteArray::number(sim->port()) + "\n";
        } else if (route == QLatin1String("gateway server")) {
            sim = std::make_unique<SimProcess>(SimProcess::Tcp{}, base + QStringList{"--gateway-server", "0"} + faults);
            settings += "VelkServer=1\n[LANXP]\nIP=127.0.0.1\nNetNumber=0.0.0.1\nPort="
                        + QByteArray::number(sim->port()) + "\n";
        } else {
            settings += "UseEthernet=1\n[Ethernet]\nAutoDisplay=0\nPort=" + listenPort + "\n";
        }
        QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(settings);
        ini.close();
        window = std::make_unique<MainWindow>(dir.filePath(QStringLiteral("telvaro.ini")));
        window->askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
        window->fileDialogs.askSaveName = [this](const QString &proposed) {
            proposedName = proposed;
            return dir.filePath(QStringLiteral("out.csv"));
        };
        window->show();
        if (route == QLatin1String("gateway calls in")) {
            window->dispatch().openListeningIfWanted();
            sim = std::make_unique<SimProcess>(
                SimProcess::Tcp{},
                base + QStringList{"--gateway-connect", "127.0.0.1:" + QString::fromLatin1(listenPort)});
            if (!QTest::qWaitFor([this] { return window->dispatch().listenSocket().gatewayConnected(); }, 5000))
                qWarning("the simulated gateway did not call in");
        }
    }
    bool idle(int ms = 30000)
    {
        return QTest::qWaitFor([this] { return !window->session().busy(); }, ms);
    }
    Table &tev() { return window->tevTable(); }
    Table &history() { return window->historyTable(); }
    QByteArray exported() const
    {
        QFile f(dir.filePath(QStringLiteral("out.csv")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MainWindow> window;
    QString proposedName;
};

} // namespace

class TstDisplayPages : public QObject {
    Q_OBJECT
private slots:
    void writeThenReadOnEveryRoute_data();
    void writeThenReadOnEveryRoute();
    void settingsInfoAndFillFromScan();
    void historyMonthsSortAndExports();
    void faultyEntryLeavesOthers();
    void readThenWriteKeepsValues();
    void lateDisplayReplyIgnored();
    void automaticReadWhenGatewayCalls();
};

void TstDisplayPages::writeThenReadOnEveryRoute_data()
{
    QTest::addColumn<QString>("route");
    for (const char *route : {"serial", "converter", "gateway server", "gateway calls in"})
        QTest::newRow(route) << QString::fromLatin1(route);
}

// Two new entries written with every phase, then the display's table read
// back: every value comes back as written; then both deleted again.
void TstDisplayPages::writeThenReadOnEveryRoute()
{
    QFETCH(QString, route);
    Bench b(route);
    QVERIFY(b.sim && b.sim->isReady());
    DisplayPage &page = *b.window->displayPage;
    b.tev().setRows({row("20", "12,5", "Flat 20"), row("21", "7", QString::fromUtf8("Котельная"))});
    QTest::mouseClick(page.selectAllButton, Qt::LeftButton); // select all
    QTest::mouseClick(page.writeDisplayButton, Qt::LeftButton);
    QVERIFY(b.window->writeRun().running());
    QCOMPARE(page.writeDisplayButton->text(), QStringLiteral("Stop writing table in display"));
    QVERIFY(!page.readDisplayButton->isEnabled());
    QVERIFY(b.idle());
    QCOMPARE(page.writeDisplayButton->text(), QStringLiteral("Write table to the display"));
    QVERIFY(b.window->logLines().contains(QStringLiteral("Device 20 Active")));

    QTest::mouseClick(page.readDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.tev().rowCount(), 3);
    QCOMPARE(b.tev().cell(1, TevAddress), QStringLiteral("5"));
    const QStringList back = b.tev().row(2);
    QCOMPARE(back.mid(TevAddress, 6), QStringList({"20", "m3", "12.5", "1.5", "2.5", "0"}));
    QCOMPARE(back.at(TevMultDiv), QStringLiteral("10/1"));
    QCOMPARE(back.at(TevUserNumber), QStringLiteral("20"));
    QCOMPARE(back.at(TevFreeText), QStringLiteral("Flat 20"));
    QCOMPARE(b.tev().cell(3, TevFreeText), QString::fromUtf8("Котельная").left(20));
    QCOMPARE(b.history().cell(3, HistStart), QStringLiteral("7"));

    b.tev().selectAll(false);
    b.tev().setSelected(2, true);
    b.tev().setSelected(3, true);
    QTest::mouseClick(page.deleteDeviceButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QTest::mouseClick(page.readDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.tev().rowCount(), 1);
    QCOMPARE(b.tev().cell(1, TevAddress), QStringLiteral("5"));
}

void TstDisplayPages::settingsInfoAndFillFromScan()
{
    Bench b(QStringLiteral("serial"));
    QVERIFY(b.sim->isReady());
    DisplayPage &page = *b.window->displayPage;
    QTest::mouseClick(page.getInfoButton, Qt::LeftButton);
    QVERIFY(b.idle());
    const QString info = page.infoText->toPlainText();
    QVERIFY2(info.contains(QStringLiteral("Refresh time")) && info.contains(QStringLiteral("Active devices: 5")),
             qPrintable(info));

    QTest::mouseClick(page.dateTimeButton, Qt::LeftButton);
    QVERIFY(b.idle());
    page.refreshTimeBox->setValue(9);
    QTest::mouseClick(page.setRefreshButton, Qt::LeftButton);
    QVERIFY(b.idle());
    page.sortByAddressBox->setChecked(true);
    QTest::mouseClick(page.sortButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QTest::mouseClick(page.createSortTableButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QTest::mouseClick(page.updateReadingsButton, Qt::LeftButton);
    QVERIFY(b.idle());
    const QString now = QDate::currentDate().toString(QStringLiteral("dd/MM/"));
    for (const QString &sent : {QStringLiteral("RX display SET DATE=") + now, QStringLiteral("RX display SET TIME="),
                                QStringLiteral("RX display SET REFR=09"), QStringLiteral("RX display SET SRTP=0"),
                                QStringLiteral("RX display SET SORT"), QStringLiteral("RX display SET READ")})
        QTRY_VERIFY2(b.sim->output().contains(sent), qPrintable(sent));
    QVERIFY(b.window->logLines().contains(QStringLiteral("Refresh time: 9 s")));

    // From a scan of the M-Bus: KV1 -> 1/1, KV2 -> 10/1, running user numbers.
    b.window->devices->fromAddressBox->setValue(1);
    b.window->devices->toAddressBox->setValue(2);
    QTest::mouseClick(b.window->devices->findPrimaryButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QTest::mouseClick(page.fromDeviceTableButton, Qt::LeftButton);
    QCOMPARE(b.tev().rowCount(), 2);
    QCOMPARE(b.tev().row(1).mid(0, 4), QStringList({"41000001", "1", "m3", "123.5"}));
    QCOMPARE(b.tev().cell(1, TevMultDiv), QStringLiteral("1/1"));
    QCOMPARE(b.tev().cell(2, TevMultDiv), QStringLiteral("10/1"));
    QCOMPARE(b.tev().cell(2, TevUserNumber), QStringLiteral("2"));

    // Export of the display table, byte-checked at its head.
    QTest::mouseClick(page.exportButton, Qt::LeftButton);
    QCOMPARE(b.proposedName, b.dir.path() + QStringLiteral("/tevK40_data.csv"));
    QVERIFY(b.exported().startsWith(" ID ;Addr. ;Unit ;Start Main;Start P1, m3;"));
    QVERIFY(b.exported().contains("\r\n41000001;1;m3;123.5;0.0;0.0;0.0;1/1;1;;"));
}

void TstDisplayPages::historyMonthsSortAndExports()
{
    Bench b(QStringLiteral("serial"));
    QVERIFY(b.sim->isReady());
    ReadingsPage &page = *b.window->readingsPage;
    QTest::mouseClick(page.getAllMemoryButton, Qt::LeftButton);
    QVERIFY(b.idle(60000));
    QCOMPARE(b.history().cell(1, HistAddress), QStringLiteral("5"));
    QCOMPARE(b.history().cell(1, HistFirstMonth), QStringLiteral("7087.5"));      // January, record 1
    QCOMPARE(b.history().cell(1, HistFirstMonth + 11), QStringLiteral("8043.1")); // December, record 12

    // One month: March is record 3 after January.
    b.history().setCell(1, HistFirstMonth + 2, QString());
    page.monthCombo->setCurrentText(QStringLiteral("Mar"));
    QTest::mouseClick(page.getHistoryButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.history().cell(1, HistFirstMonth + 2), QStringLiteral("7265.7"));
    QTRY_VERIFY(b.sim->output().contains(QStringLiteral("RX display GET HIST=5,3")));

    // Sort: rows without an address stay, after the sorted ones.
    QTest::mouseClick(page.addRowButton, Qt::LeftButton);
    b.history().setCell(2, HistAddress, QStringLiteral("2"));
    QTest::mouseClick(page.addRowButton, Qt::LeftButton);
    b.history().setCell(3, HistFreeText, QStringLiteral("no address"));
    QTest::mouseClick(page.sortByAddressBox, Qt::LeftButton);
    QTest::mouseClick(page.sortButton, Qt::LeftButton);
    QCOMPARE(QStringList({b.history().cell(1, 1), b.history().cell(2, 1), b.history().cell(3, HistFreeText)}),
             QStringList({"2", "5", "no address"}));

    QTest::mouseClick(page.exportButton, Qt::LeftButton);
    QCOMPARE(b.proposedName, b.dir.path() + QStringLiteral("/tevK40_readings.csv"));
    QVERIFY(b.exported().startsWith("\r\n ID ;Addr. ;Unit ;Start ;"));
}

// One entry's answers are garbage: the other entries are read in full.
void TstDisplayPages::faultyEntryLeavesOthers()
{
    Bench b(QStringLiteral("serial"), {QStringLiteral("--display-fault"), QStringLiteral("garbage@21"),
                                       QStringLiteral("--seed"), QStringLiteral("1")});
    QVERIFY(b.sim->isReady());
    b.tev().setRows({row("21", "3", "Bad"), row("22", "4", "Good")});
    b.tev().selectAll(true);
    QTest::mouseClick(b.window->displayPage->writeDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QTest::mouseClick(b.window->displayPage->readDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    const QList<int> good = b.tev().rowsWithAddress(QStringLiteral("22"));
    QCOMPARE(good.size(), 1);
    QCOMPARE(b.tev().cell(good.first(), TevFreeText), QStringLiteral("Good"));
    QCOMPARE(b.tev().cell(good.first(), TevStartMain), QStringLiteral("4"));
}

// A table read from the display and written back unchanged leaves every start
// value and total of the display as it was; an empty start cell is not sent.
void TstDisplayPages::readThenWriteKeepsValues()
{
    // Replies end with a line break; the text is Cyrillic, sent in Windows-1251.
    static const char bus[] =
        "[display]\nfinal-line-break = yes\n"
        "entry = 11, m3, 10.5, 1.0, 2.0, 3.0, 10/1, 11, \xD0\x9A\xD0\xBE\xD1\x82\xD1\x91\xD0\xBB, "
        "20.5, 14.2, 12.0, 13\n";
    Bench b(QStringLiteral("serial"), {}, bus);
    QVERIFY(b.sim->isReady());
    DisplayPage &page = *b.window->displayPage;
    const auto readBack = [&] {
        QTest::mouseClick(page.readDisplayButton, Qt::LeftButton);
        return b.idle() ? b.tev().row(1).mid(TevStartMain, 4) + b.tev().row(1).mid(TevTotal, 4) : QStringList();
    };
    const QStringList before = readBack();
    QCOMPARE(before, QStringList({"10.5", "1.0", "2.0", "3.0", "20.5", "14.2 m3", "12.0 m3", "13.0"}));
    QCOMPARE(b.tev().cell(1, TevFreeText), QString::fromUtf8("Котёл"));
    b.tev().selectAll(true);
    QTest::mouseClick(page.writeDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(readBack(), before);
    QVERIFY(b.window->logLines().contains(QStringLiteral("Setting initial value P1 of device 11...")));

    b.tev().setCell(1, TevStartP2, QString());
    b.tev().selectAll(true);
    QTest::mouseClick(page.writeDisplayButton, Qt::LeftButton);
    QVERIFY(b.idle());
    QVERIFY(b.window->logLines().contains(
        QStringLiteral("No initial value P2 in the table for device 11, not written...")));
    QCOMPARE(readBack(), before);

    // "Clear table" asks first.
    QStringList asked;
    bool yes = false;
    b.window->askYesNo = [&](const QString &caption, const QString &) {
        asked << caption;
        return yes;
    };
    QTest::mouseClick(page.clearTableButton, Qt::LeftButton);
    QCOMPARE(b.tev().cell(1, TevAddress), QStringLiteral("11"));
    yes = true;
    QTest::mouseClick(page.clearTableButton, Qt::LeftButton);
    QCOMPARE(b.tev().cell(1, TevAddress), QString());
    QCOMPARE(asked, QStringList({"Clear confirmation", "Clear confirmation"}));
}

// Replies slower than the response timeout: each one comes during the next
// request, names its own device and fills no other device's row.
void TstDisplayPages::lateDisplayReplyIgnored()
{
    static const char bus[] = "[display]\nentry = 1\nentry = 2\nentry = 3\n"
                              "history = 1, 2026-01, 101 102 103 104 105 106 107 108 109 110 111 112\n"
                              "history = 2, 2026-01, 201 202 203 204 205 206 207 208 209 210 211 212\n"
                              "history = 3, 2026-01, 301 302 303 304 305 306 307 308 309 310 311 312\n";
    Bench b(QStringLiteral("serial"), {QStringLiteral("--reply-delay"), QStringLiteral("400")}, bus);
    QVERIFY(b.sim->isReady());
    std::vector<QStringList> rows;
    for (const char *address : {"1", "2", "3"}) {
        QStringList r(HistColumns, QString());
        r[HistAddress] = QString::fromLatin1(address);
        rows.push_back(r);
    }
    b.history().setRows(rows);
    ReadingsPage &page = *b.window->readingsPage;
    page.monthCombo->setCurrentText(QStringLiteral("ALL"));
    QTest::mouseClick(page.getHistoryButton, Qt::LeftButton);
    QVERIFY(!page.stopButton->isHidden() && !page.progressBar->isHidden());
    QVERIFY(b.idle(60000));
    QVERIFY(page.stopButton->isHidden());
    for (int r = 1; r <= 3; ++r)
        for (int c = HistFirstMonth; c < HistColumns; ++c) {
            const QString cell = b.history().cell(r, c);
            QVERIFY2(cell.isEmpty() || cell.startsWith(QString::number(r)),
                     qPrintable(QString::number(r) + ": " + cell));
        }
    QVERIFY(b.window->logLines().contains(QStringLiteral("The reply names device 1, not device 2: not used...")));
}

// "Auto Read Display": a gateway's first telegram starts the read run.
void TstDisplayPages::automaticReadWhenGatewayCalls()
{
    QTemporaryDir dir;
    QFile bus(dir.filePath(QStringLiteral("display.bus")));
    QVERIFY(bus.open(QIODevice::WriteOnly));
    bus.write(kBus);
    bus.close();
    const QByteArray port = QByteArray::number(freePort());
    QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Mbus]\nTimeout=300\n[Misc]\nUseEthernet=1\n[Ethernet]\nAutoDisplay=1\nPort=" + port + "\n");
    ini.close();
    MainWindow window(ini.fileName());
    window.show();
    window.dispatch().openListeningIfWanted();
    SimProcess sim(SimProcess::Tcp{}, {QStringLiteral("--bus"), bus.fileName(), QStringLiteral("--gateway-connect"),
                                       QStringLiteral("127.0.0.1:") + QString::fromLatin1(port)});
    QTRY_VERIFY_WITH_TIMEOUT(window.readRun().running(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!window.session().busy(), 15000);
    QCOMPARE(window.tevTable().cell(1, TevAddress), QStringLiteral("5"));
    QCOMPARE(window.tevTable().cell(1, TevFreeText), QStringLiteral("Building heat"));
}

QTEST_MAIN(TstDisplayPages)
#include "tst_display_pages.moc"
