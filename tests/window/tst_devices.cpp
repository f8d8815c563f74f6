// The devices page end to end: the real main window, offscreen, clicked like a
// technician would, against the simulator on a pseudo-terminal.

#include "devices_page.h"
#include "display/display_commands.h"
#include "display/write_run.h"
#include "display_pages.h"
#include "full_report_window.h"
#include "link/link_dispatch.h"
#include "main_window.h"
#include "mbus/conversions.h"
#include "mbus/frames.h"
#include "ops/auto_addressing.h"
#include "ops/bus_session.h"
#include "ops/meter_commands.h"
#include "ops/primary_scan.h"
#include "ops/secondary_search.h"
#include "painted_rows.h"
#include "settings_dialog.h"
#include "users/login_window.h"
#include "window_bench.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {

// Two meters for the commands: a heat meter at 1 and a pulse relay at 2.
const char kSmallBus[] = R"(
[meter]
address = 1
id = 20071234
manufacturer = KAM
medium = heat
record = 0C 06 87 13 02 00
[meter]
address = 2
id = 12004411
manufacturer = REL
medium = water
record = 0C 13 00 25 01 00
)";

// At 2400 baud the standard's window is 330 bit times + 50 ms (450 bits):
// meter 1 answers at its edge, meter 2 later, meter 3 at once.
const char kLateBus[] = R"(
[meter]
address = 1
id = 11111111
manufacturer = ABC
medium = water
answer-delay-bits = 450
record = 0C13 45230100
[meter]
address = 2
id = 22222222
manufacturer = ABC
medium = water
answer-delay-bits = 600
record = 0C13 45230100
[meter]
address = 3
id = 33333333
manufacturer = ABC
medium = water
record = 0C13 45230100
)";

} // namespace

class TstDevices : public QObject {
    Q_OBJECT
private slots:
    void demoBusScanReadAndStop();
    void commandsReachTheMeter_data();
    void commandsReachTheMeter();
    void autoAddressingGivesConsecutiveAddresses();
    void rightsRefusedOnEveryPath();
    void standardTimingWindow_data();
    void standardTimingWindow();
    void secondarySearch();
    void titlesChangeTheTable();
};

// Scan 0..15 with one retry finds the twelve meters in order; reading one,
// all, and one in full; a second scan stopped at once.
void TstDevices::demoBusScanReadAndStop()
{
    Bench b(SimProcess::demoBus(), "[Misc]\nRetry=1\n");
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(0, 15, 30000));

    const QStringList expected{
        "12345678 1 ZRI 45.327 m3 Water",           "20071234 2 KAM 21387.000 kWh Heat (rt)",
        "30500117 3 ABB 45176.300 kWh Electricity", "40123456 4 ELS 1578.912 m3 Gas",
        "50000042 5 SEN 30.288 m3 Cold water",      "60000007 6 QDS 345.000 HCA units Heat C.A.",
        "12004411 7 REL 12.500 m3 Water",           "70311502 8 HYD 87.531 m3 Hot water",
        "81726354 9 SON 45678000.000 kJ Heat (ft)", "90440021 10 LUG 8512.000 kWh H/C load meter",
        "05550123 11 EMH 8123.456 kWh Electricity", "53101977 12 ITW 1234.560 m3 Gas"};
    QCOMPARE(b.table().rowCount(), 12);
    QCOMPARE(b.questions, 0); // an empty table: nothing to ask before the scan
    // Each meter found became the current row in turn: only the last shows selected, in view.
    const QString shownAfterScan = selectionShownTruly(b.page().deviceGrid);
    QVERIFY2(shownAfterScan.isEmpty(), qPrintable(shownAfterScan));
    const QRegularExpression time(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d"));
    for (int r = 1; r <= 12; ++r) {
        QStringList cells;
        for (int c = 0; c < 6; ++c)
            cells << b.cell(r, c);
        QCOMPARE(cells.join(u' '), expected[r - 1]);
        QVERIFY(time.match(b.cell(r, 6)).hasMatch());
        QVERIFY(!b.cell(r, 7).isEmpty());
        QCOMPARE(b.cell(r, 8), QStringLiteral("0x00"));
    }
    QCOMPARE(b.page().deviceGrid->model()->index(11, 3).data().toString(), QStringLiteral("1234.560"));
    // Columns fit their widest text, and stay resizable.
    QTableView *grid = b.page().deviceGrid;
    QTRY_VERIFY(grid->columnWidth(3) >= grid->fontMetrics().horizontalAdvance(QStringLiteral("45678000.000")));
    QCOMPARE(grid->horizontalHeader()->sectionResizeMode(3), QHeaderView::Interactive);
    QVERIFY(!b.page().progressBar->isVisible());
    QCOMPARE(b.page().findPrimaryButton->text(), QStringLiteral("Find"));
    QVERIFY(!b.window->dispatch().portOpen());

    // Read selected: one row comes back.
    b.setCell(4, 3, "");
    b.clickRow(4);
    QCOMPARE(b.page().selectedAddressLabel->text(), QStringLiteral("Addr.:4"));
    QCOMPARE(b.page().selectedIdLabel->text(), QStringLiteral("ID:40123456"));
    QTest::mouseClick(b.page().readSelectedButton, Qt::LeftButton);
    QVERIFY(b.idle(5000));
    QCOMPARE(b.cell(4, 3), QStringLiteral("1578.912"));

    // Read all: every row comes back.
    for (int r = 1; r <= 12; ++r)
        b.setCell(r, 3, "");
    QTest::mouseClick(b.page().readAllButton, Qt::LeftButton);
    QCOMPARE(b.page().readAllButton->text(), QStringLiteral("Stop"));
    QVERIFY(!b.page().readSelectedButton->isEnabled() && !b.page().basicGroup->isEnabled());
    QVERIFY(b.idle(20000));
    for (int r = 1; r <= 12; ++r)
        QCOMPARE(b.cell(r, 3), expected[r - 1].section(u' ', 3, 3));
    QVERIFY(b.page().readSelectedButton->isEnabled());
    const QString shownAfterReadAll = selectionShownTruly(b.page().deviceGrid);
    QVERIFY2(shownAfterReadAll.isEmpty(), qPrintable(shownAfterReadAll));
    QCOMPARE(b.page().deviceGrid->currentIndex().row(), 11);

    // Read Full: the detailed report, not the table.
    b.clickRow(2);
    b.window->readFullAction->trigger();
    QVERIFY(b.idle(5000));
    QVERIFY(b.window->fullReport()->isVisible());
    const QStringList report = b.window->fullReport()->lines();
    QVERIFY2(report.filter(QStringLiteral("Decoded at ")).size() == 1, qPrintable(report.join(u'|')));

    // "Delete selected row": the row that moves up is highlighted and selected; after the last, the new last.
    for (const auto &[row, selected] : {std::pair{4, "ID:50000042"}, std::pair{11, "ID:05550123"}}) {
        b.clickRow(row);
        b.window->deleteRowAction->trigger();
        QCOMPARE(b.page().selectedIdLabel->text(), QString::fromLatin1(selected));
        QCOMPARE(b.cell(b.window->session().selectedRow() + 1, 0), QString::fromLatin1(selected).mid(3));
        QCOMPARE(b.page().deviceGrid->selectionModel()->selectedRows().value(0).row(),
                 b.window->session().selectedRow());
    }
    QCOMPARE(b.table().rowCount(), 10);

    // A second scan, keeping the table, stopped at once.
    b.answer = QMessageBox::No;
    b.page().toAddressBox->setValue(250);
    QTest::mouseClick(b.page().findPrimaryButton, Qt::LeftButton);
    QCOMPARE(b.page().findPrimaryButton->text(), QStringLiteral("Stop"));
    QCOMPARE(b.questions, 1);
    QTRY_VERIFY(b.window->scan().currentAddress() >= 2);
    QTRY_COMPARE(b.page().progressBar->text(),
                 QStringLiteral("address %1 of 0..250").arg(b.window->scan().currentAddress()));
    QTest::mouseClick(b.page().findPrimaryButton, Qt::LeftButton);
    QVERIFY(!b.window->session().busy());
    QCOMPARE(b.page().findPrimaryButton->text(), QStringLiteral("Find"));
    QVERIFY(b.table().rowCount() >= 10); // kept
}

void TstDevices::commandsReachTheMeter_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("frame");    // must reach the simulator
    QTest::addColumn<bool>("readAfter");   // a REQ_UD2 to the meter follows
    QTest::addColumn<QString>("rowAfter"); // "column=text" afterwards

    QTest::newRow("reset") << "reset" << 1 << "68 03 03 68 73 01 50 C4 16" << false << "";
    QTest::newRow("new ID") << "id" << 1 << "68 09 09 68 73 01 51 0C 79 21 43 65 87 9A 16" << true << "0=87654321";
    QTest::newRow("value, BCD") << "value" << 1 << "68 09 09 68 53 01 51 0C 13 07 00 00 00 CB 16" << true << "";
    QTest::newRow("value, GIN") << "gin" << 1 << "68 09 09 68 53 01 51 04 13 07 00 00 00 C3 16" << true << "";
    QTest::newRow("medium") << "medium" << 1 << "68 0D 0D 68 53 01 51 07 79 34 12 07 20 FF FF FF 03 92 16" << true
                            << "5=Gas";
    QTest::newRow("unit") << "unit" << 1 << "68 09 09 68 53 01 51 0F 06 03 0F 01 01 CE 16" << true << "";
    QTest::newRow("relay unit") << "relay" << 2 << "68 09 09 68 53 02 51 0C 06 00 25 01 00 DE 16" << true << "";
    QTest::newRow("baud") << "baud" << 1 << "68 03 03 68 53 01 BD 11 16" << false << "";
    QTest::newRow("new primary address") << "address" << 1 << "68 06 06 68 73 FD 51 01 7A 28 64 16" << false << "1=40";
}

void TstDevices::commandsReachTheMeter()
{
    QFETCH(QString, command);
    QFETCH(int, row);
    QFETCH(QString, frame);
    QFETCH(bool, readAfter);
    QFETCH(QString, rowAfter);
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, kSmallBus));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 2, 5000));
    QCOMPARE(b.table().rowCount(), 2);
    b.clickRow(row);

    DevicesPage &p = b.page();
    QPushButton *button = nullptr;
    if (command == QLatin1String("reset")) {
        button = p.resetButton;
    } else if (command == QLatin1String("id")) {
        QTest::keyClicks(p.newIdEdit, QStringLiteral("87654321x"));
        button = p.setIdButton;
    } else if (command == QLatin1String("value") || command == QLatin1String("gin")) {
        QTest::keyClicks(p.valueEdit, QStringLiteral("7"));
        p.integerValueBox->setChecked(command == QLatin1String("gin"));
        button = p.setValueButton;
    } else if (command == QLatin1String("medium")) {
        p.mediumCombo->setCurrentText(QStringLiteral("Gas"));
        button = p.setMediumButton;
    } else if (command == QLatin1String("unit") || command == QLatin1String("relay")) {
        p.unitCombo->setCurrentText(QStringLiteral("Wh"));
        p.constantCombo->setCurrentText(QStringLiteral("1000"));
        p.relayBox->setChecked(command == QLatin1String("relay"));
        button = p.setUnitButton;
    } else if (command == QLatin1String("baud")) {
        p.baudCombo->setCurrentText(QStringLiteral("9600"));
        button = p.setBaudButton;
    } else {
        p.newAddressBox->setValue(40);
        button = p.setAddressButton;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(b.window->session().busy());
    QVERIFY(!p.basicGroup->isEnabled() && !b.window->sendCommandButton->isEnabled());
    QVERIFY(b.idle(5000));

    QTRY_VERIFY2(b.sim.output().contains(QStringLiteral("RX ") + frame), qPrintable(b.sim.output()));
    QVERIFY2(b.logHas(QStringLiteral("0xE5 (Acknowledge)")), qPrintable(b.window->logLines().join(u'\n')));
    // The scan asked the meter once (its address equals its row); a read after the write asks again.
    QCOMPARE(b.sim.output().count(QStringLiteral("RX ")
                                  + QStringLiteral("10 7B %1 %2 16")
                                        .arg(row, 2, 16, QChar(u'0'))
                                        .arg(0x7B + row, 2, 16, QChar(u'0'))
                                        .toUpper()),
             readAfter ? 2 : 1);
    if (!rowAfter.isEmpty())
        QCOMPARE(b.cell(row, rowAfter.section(u'=', 0, 0).toInt()), rowAfter.section(u'=', 1));
    QVERIFY(!b.window->dispatch().portOpen());
    QVERIFY(p.basicGroup->isEnabled());
}

// A meter at 0 and one at 7 get 20 and 21 through their IDs; the simulator
// answers at the new addresses afterwards.
// A user without rights: whatever way a change is asked for (pop-up menu,
// hidden button, shortcut, a direct call), it is refused where it runs and
// nothing reaches the bus; readings still work.
void TstDevices::rightsRefusedOnEveryPath()
{
    Bench b(QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/display.bus"));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 2, 5000));
    MainWindow &w = *b.window;
    w.displayPage->fromDeviceTableButton->click();
    w.displayPage->selectAllButton->click();
    LoginRights operatorWithoutRights;
    operatorWithoutRights.operatorOnly = true;
    w.applyLogin(operatorWithoutRights);
    b.clickRow(1);
    QVERIFY(!b.page().autoAddressButton->isEnabled() && !w.sendCommandButton->isEnabled());
    QVERIFY(!w.resetAction->isEnabled() && !w.setBaudAction->isEnabled() && w.readSelectedAction->isEnabled());
    const qsizetype framesBefore = b.sim.output().count(QStringLiteral("RX "));

    DevicesPage &p = b.page();
    p.baudCombo->setCurrentText(QStringLiteral("9600"));
    p.valueEdit->setText(QStringLiteral("7"));
    p.newIdEdit->setText(QStringLiteral("87654321"));
    w.commandEdit->setText(QStringLiteral("10 40 01 41 16"));
    const QList<std::function<void()>> paths{
        [&] { w.commands().reset(); },        // the pop-up menu's Reset
        [&] { p.setBaudButton->click(); },    // the pop-up menu's Set baud
        [&] { p.setAddressButton->click(); }, // buttons of the hidden groups
        [&] { p.setIdButton->click(); },
        [&] { p.setValueButton->click(); },
        [&] { p.setMediumButton->click(); },
        [&] { p.setUnitButton->click(); },
        [&] { w.autoAddressing().start(10); },
        [&] { emit w.commandEdit->returnPressed(); }, // Return in the custom command
        [&] { w.displayPage->writeDisplayButton->click(); },
        [&] { w.writeRun().start(display::WriteRun::Kind::ZeroStart); },
        [&] { w.displayPage->dateTimeButton->click(); },
        [&] { w.displayCommands().setRefresh(QStringLiteral("9")); },
    };
    for (const auto &path : paths) {
        path();
        QVERIFY(b.idle(2000));
    }
    QTest::qWait(300); // anything sent would have reached the simulator by now
    QCOMPARE(b.sim.output().count(QStringLiteral("RX ")), framesBefore);
    const QStringList log = w.logLines();
    QCOMPARE(log.count(refusalLine(Right::Devices)), 9);
    QCOMPARE(log.count(refusalLine(Right::Display)), 4);

    // Reading is no change.
    QTest::mouseClick(p.readSelectedButton, Qt::LeftButton);
    QVERIFY(b.idle(5000));
    QTRY_VERIFY(b.sim.output().count(QStringLiteral("RX ")) > framesBefore);
}

void TstDevices::standardTimingWindow_data()
{
    QTest::addColumn<bool>("standard");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("standard bus timing") << true << QStringList{"11111111", "33333333"};
    QTest::newRow("off: as before") << false << QStringList{"11111111", "22222222", "33333333"};
}

// Standard bus timing, the window and the simulator at the pace of the line:
// a meter that begins its answer at the window's edge is heard, a later one
// counts as silent and disturbs neither the next address nor the log.
void TstDevices::standardTimingWindow()
{
    QFETCH(bool, standard);
    QFETCH(QStringList, found);
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, kLateBus),
            "[Misc]\nRetry=0\nStandardTiming=" + QByteArray(standard ? "1" : "0") + "\n",
            {"--wire-time", "--baud", "2400"}, 2000);
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 3, 20000));
    QStringList ids;
    for (int r = 1; r <= b.table().rowCount(); ++r)
        ids << b.cell(r, 0);
    QCOMPARE(ids, found);
    QVERIFY(b.window->logLines().filter(QStringLiteral("came too late")).isEmpty());
    QCOMPARE(b.sim.output().contains(QStringLiteral("a late answer was not sent")), standard);
}

void TstDevices::autoAddressingGivesConsecutiveAddresses()
{
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, R"(
[meter]
address = 0
id = 31000001
manufacturer = ABC
medium = gas
record = 0C 13 00 00 00 00
[meter]
address = 7
id = 31000002
manufacturer = ABC
medium = water
record = 0C 13 11 00 00 00
)"));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(0, 7, 10000));
    QCOMPARE(b.table().rowCount(), 2);
    b.page().autoAddressFirstBox->setValue(20);
    b.page().broadcastBox->setChecked(true);
    QTest::mouseClick(b.page().autoAddressButton, Qt::LeftButton);
    QCOMPARE(b.page().autoAddressButton->text(), QStringLiteral("Stop addr"));
    QVERIFY(!b.page().broadcastBox->isChecked());
    QVERIFY(b.idle(15000));
    const QStringList lines = b.window->logLines();
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({"Auto addressing has finished...", "Auto addressing: 2 of 2 meter(s) answered."}));
    QCOMPARE(b.cell(1, 1), QStringLiteral("20"));
    QCOMPARE(b.cell(2, 1), QStringLiteral("21"));
    QCOMPARE(b.page().autoAddressButton->text(), QStringLiteral("Auto address"));

    // The simulator confirms: a new scan finds them at their new addresses.
    QVERIFY(b.scan(20, 21, 5000));
    QCOMPARE(b.table().rowCount(), 2);
    QCOMPARE(b.cell(1, 0), QStringLiteral("31000001"));
    QCOMPARE(b.cell(2, 0), QStringLiteral("31000002"));
}

// Two meters that collide at the first digit and one without a primary
// address, all found by "Find all"; one found again by "Find"; a search
// stopped with "Stop Secondary".
void TstDevices::secondarySearch()
{
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, R"(
[meter]
address = 3
id = 30000017
manufacturer = ABC
medium = water
record = 0C 13 17 00 00 00
[meter]
address = 4
id = 31000000
manufacturer = ABC
medium = gas
record = 0C 13 00 00 31 00
[meter]
address = none
id = 70311502
manufacturer = HYD
medium = hot water
record = 0C 13 31 75 08 00
)"));
    QVERIFY(b.sim.isReady());
    DevicesPage &p = b.page();
    QTest::mouseClick(p.findAllButton, Qt::LeftButton);
    QCOMPARE(p.searchIdEdit->text(), QStringLiteral("FFFFFFFF"));
    QVERIFY(b.window->search().running());
    QVERIFY(p.stopSearchButton->isVisible() && !p.findIdButton->isEnabled() && !p.findPrimaryButton->isEnabled());
    QVERIFY(b.idle(30000));
    QVERIFY(!p.stopSearchButton->isVisible() && p.findIdButton->isEnabled());

    QStringList ids;
    for (int r = 1; r <= b.table().rowCount(); ++r)
        ids << b.cell(r, 0);
    QCOMPARE(ids, QStringList({"30000017", "31000000", "70311502"}));
    QCOMPARE(b.cell(3, 1), QStringLiteral("253")); // no primary address of its own
    const QStringList log = b.window->logLines();
    QVERIFY(log.contains(QStringLiteral("Checking 3FFFFFFF...")) && log.contains(QStringLiteral("Collision"))
            && log.contains(QStringLiteral("Checking 31FFFFFF...")));
    QCOMPARE(log.mid(log.size() - 2), QStringList({"Secondary search thread terminated normally.",
                                                   "Secondary search FFFFFFFF: 3 meter(s) found."}));
    QVERIFY(!b.window->dispatch().portOpen());

    // "Find" by one ID overwrites that meter's row.
    b.setCell(2, 3, "");
    p.searchIdEdit->clear();
    QTest::keyClicks(p.searchIdEdit, QStringLiteral("31x000000")); // the field takes digits and F only
    QTest::mouseClick(p.findIdButton, Qt::LeftButton);
    QVERIFY(b.idle(5000));
    QCOMPARE(b.cell(2, 3), QStringLiteral("310.000"));
    QCOMPARE(b.table().rowCount(), 3);

    // "Stop Secondary" ends a search at its next step.
    b.answer = QMessageBox::No;
    b.window->clearLog();
    QTest::mouseClick(p.findAllButton, Qt::LeftButton);
    QTRY_VERIFY(b.window->logLines().contains(QStringLiteral("Checking 1FFFFFFF...")));
    QTest::mouseClick(p.stopSearchButton, Qt::LeftButton);
    QVERIFY(b.idle(2000));
    QCOMPARE(b.window->logLines().count(QStringLiteral("Secondary search thread terminated normally.")), 0);
    QVERIFY(b.window->logLines().last().endsWith(QStringLiteral("stopped before the end.")));
    QCOMPARE(b.window->logLines().filter(QStringLiteral("Checking ")).last(), QStringLiteral("Checking 1FFFFFFF..."));

    // Closing the program in the middle of a search ends it first, port released.
    QTest::mouseClick(p.findAllButton, Qt::LeftButton);
    QTRY_VERIFY(b.window->dispatch().portOpen());
    QVERIFY(b.window->close());
    QVERIFY(!b.window->search().running());
    QVERIFY(!b.window->dispatch().portOpen());
    const QStringList closedLog = b.window->logLines();
    QVERIFY(closedLog.last().endsWith(QStringLiteral("stopped before the end.")));
    QTest::qWait(700); // no timer of the search fires into the closed window
    QCOMPARE(b.window->logLines(), closedLog);
}

// The titles page applied: the secondary main column and two additional
// values appear at once, the scanned row moves with them.
void TstDevices::titlesChangeTheTable()
{
    QTemporaryDir busDir;
    Bench b(Bench::writeBus(busDir, kSmallBus));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 1, 5000));
    QCOMPARE(b.cell(1, 4), QStringLiteral("kWh"));

    SettingsDialog *settings = b.window->settingsDialog();
    settings->show();
    settings->titleCountBox->setValue(2);
    settings->title1Edit->setText(QStringLiteral("Volume"));
    settings->title2Edit->setText(QStringLiteral("Power"));
    settings->secondaryMainBox->setChecked(true);
    settings->secondaryMainEdit->setText(QStringLiteral("Cooling"));
    QTest::mouseClick(settings->titlesApplyButton, Qt::LeftButton);
    QVERIFY(!settings->isVisible());

    const QAbstractItemModel *grid = b.page().deviceGrid->model();
    QCOMPARE(grid->columnCount(), 13);
    QStringList header;
    for (int c = 0; c < grid->columnCount(); ++c)
        header << grid->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(header.mid(3, 3), QStringList({"Value ", "Cooling", "Unit "}));
    QCOMPARE(header.mid(11), QStringList({"Volume", "Power"}));
    QCOMPARE(b.cell(1, 4), QString());
    QCOMPARE(b.cell(1, 5), QStringLiteral("kWh"));
    QCOMPARE(grid->index(0, 5).data().toString(), QStringLiteral("kWh"));
}

QTEST_MAIN(TstDevices)
#include "tst_devices.moc"
