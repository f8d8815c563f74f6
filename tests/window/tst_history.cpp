// The readings archive from the window: readings kept as the bus is read,
// a meter's history with its chart and export, the display's months drawn,
// an archive that cannot be used said once while the bus work goes on, and
// a database server that stops answering, which holds up nothing.

#include "archive/archive_worker.h"
#include "display/display_table.h"
#include "display_pages.h"
#include "history_window.h"
#include "pg_server.h"
#include "stored_readings.h"
#include "window_bench.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QSysInfo>
#include <QTableWidget>
#include <QValueAxis>

namespace {

QByteArray archiveSettings(const QString &location, bool on = true)
{
    return "[Misc]\nRetry=0\n[Archive]\nEnabled=" + QByteArray(on ? "1" : "0") + "\nLocation=" + location.toUtf8()
           + "\n";
}

int chartPoints(const HistoryWindow &history)
{
    const auto series = history.chartView->chart()->series();
    return series.isEmpty() ? 0 : int(static_cast<QLineSeries *>(series.first())->count());
}

} // namespace

class TstHistory : public QObject {
    Q_OBJECT
private slots:
    void readingsKeptAndShown();
    void unusableArchiveSaidOnce_data();
    void unusableArchiveSaidOnce();
    void stalledServerDoesNotFreeze();
    void timeAxisSpansTheReadings_data();
    void timeAxisSpansTheReadings();
    void displayChartUsesTheDisplaysDates();
};

void TstHistory::readingsKeptAndShown()
{
    QTemporaryDir archiveDir;
    Bench b(SimProcess::demoBus(), archiveSettings(archiveDir.filePath(QStringLiteral("readings.sqlite"))));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 3, 10000));
    b.clickRow(2);
    QTest::mouseClick(b.page().readSelectedButton, Qt::LeftButton);
    QVERIFY(b.idle(5000));

    b.window->historyAction->trigger(); // the pop-up menu's "History..."
    HistoryWindow &history = *b.window->historyWindow();
    QVERIFY(history.isVisible());
    QVERIFY(history.titleLabel->text().contains(QStringLiteral("20071234")));
    QTRY_COMPARE(history.readingGrid->rowCount(), 2); // answered by the archive's thread
    history.recordCombo->setCurrentIndex(history.recordCombo->findText(QStringLiteral("Energy, kWh")));
    QStringList row;
    for (int c = 1; c < history.readingGrid->columnCount(); ++c)
        row << history.readingGrid->item(0, c)->text();
    // Where it came from; the value as the device table shows it, unchanged since the scan.
    QCOMPARE(row, QStringList({"2", QSysInfo::machineHostName(), "serial (" + b.sim.link() + ")", "0x00", "21387.000",
                               "kWh", "0.000"}));
    QCOMPARE(chartPoints(history), 2);
    const auto *valueAxis = static_cast<QValueAxis *>(history.chartView->chart()->axes(Qt::Vertical).first());
    QCOMPARE(valueAxis->titleText(), QStringLiteral("Energy, kWh"));
    // Every record has an entry of its own ("Error flags" once, not twice).
    QStringList entries;
    for (int i = 0; i < history.recordCombo->count(); ++i)
        entries << history.recordCombo->itemText(i);
    QCOMPARE(QSet<QString>(entries.begin(), entries.end()).size(), entries.size());

    // The list exported as the tables are.
    const QString target = archiveDir.filePath(QStringLiteral("history.csv"));
    b.window->fileDialogs.askSaveName = [target](const QString &) { return target; };
    QTest::mouseClick(history.exportButton, Qt::LeftButton);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray csv = file.readAll();
    QVERIFY2(csv.startsWith("Read at;Addr.;Station;Route;Status;Value;Unit;Change;\r\n") && csv.count("\r\n") == 3,
             csv);

    // The display's months of a row, drawn the same way.
    b.window->historyTable().setRows({QStringList{"41000001", "1", "m3", "", "", "", "", "", "", "", "1", "2", "3"}});
    b.window->readingsPage->historyGrid->setCurrentCell(0, 0);
    QTest::mouseClick(b.window->readingsPage->chartButton, Qt::LeftButton);
    QCOMPARE(chartPoints(history), 3);
}

void TstHistory::timeAxisSpansTheReadings_data()
{
    QTest::addColumn<qint64>("spanMs");
    QTest::addColumn<qint64>("marginMs"); // on each side
    QTest::newRow("one moment") << qint64(0) << qint64(60000);
    QTest::newRow("a minute") << qint64(60000) << qint64(3000);
    QTest::newRow("a year") << qint64(365) * 86400000 << qint64(365) * 86400000 / 20;
}

void TstHistory::timeAxisSpansTheReadings()
{
    QFETCH(qint64, spanMs);
    QFETCH(qint64, marginMs);
    const QDateTime first(QDate(2026, 12, 8), QTime(8, 50), Qt::UTC);
    const auto [from, to] = HistoryWindow::timeAxisRange(first, first.addMSecs(spanMs));
    QCOMPARE(from.msecsTo(first), marginMs);
    QCOMPARE(first.addMSecs(spanMs).msecsTo(to), marginMs);
}

// Records from March 2025 to February 2026 stand in the table's Jan..Dec
// columns: each is drawn at its record's month, whatever today is, and a
// sort keeps the dates with the values.
void TstHistory::displayChartUsesTheDisplaysDates()
{
    QTemporaryDir dir;
    Bench b(Bench::writeBus(dir, "[display]\nentry = 1, m3, 100.0\nhistory = 1, 2025-03, 101.9 103.7 105.6 107.3 "
                                 "109.0 111.0 113.0 114.8 116.6 118.1 120.1 121.7\n"));
    QTest::mouseClick(b.window->readingsPage->getAllMemoryButton, Qt::LeftButton);
    QVERIFY(b.idle(20000));
    b.window->readingsPage->sortByAddressBox->setChecked(true);
    QTest::mouseClick(b.window->readingsPage->sortButton, Qt::LeftButton);
    b.window->readingsPage->historyGrid->setCurrentCell(0, 0);
    QTest::mouseClick(b.window->readingsPage->chartButton, Qt::LeftButton);
    const QChart *chart = b.window->historyWindow()->chartView->chart();
    QStringList points;
    for (const QPointF &p : static_cast<QLineSeries *>(chart->series().first())->points())
        points << QDateTime::fromMSecsSinceEpoch(qint64(p.x())).toString("yyyy-MM ") + QString::number(p.y());
    QCOMPARE(points, QStringList({"2025-03 101.9", "2025-04 103.7", "2025-05 105.6", "2025-06 107.3", "2025-07 109",
                                  "2025-08 111", "2025-09 113", "2025-10 114.8", "2025-11 116.6", "2025-12 118.1",
                                  "2026-01 120.1", "2026-02 121.7"}));
    const auto *axis = static_cast<QValueAxis *>(chart->axes(Qt::Vertical).first());
    // Ticks 100, 105, .. 125, labelled without decimals.
    QCOMPARE(QStringList({axis->titleText(), axis->labelFormat()}), QStringList({"Volume, m3", "%.0f"}));
    QCOMPARE(QList<double>({axis->min(), axis->max(), double(axis->tickCount())}), QList<double>({100, 125, 6}));
}

void TstHistory::unusableArchiveSaidOnce_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("line"); // the log line, said once
    QTest::newRow("not a database") << true
                                    << "Readings archive: %1 is no database: nothing is stored in it. The bus work "
                                       "goes on; readings are stored again once the archive can be used.";
    QTest::newRow("turned off") << false << "";
}

void TstHistory::unusableArchiveSaidOnce()
{
    QFETCH(bool, on);
    QFETCH(QString, line);
    QTemporaryDir archiveDir;
    const QString path = archiveDir.filePath(QStringLiteral("readings.sqlite"));
    if (on) {
        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(2048, 'x'));
    }
    Bench b(SimProcess::demoBus(), archiveSettings(path, on));
    QVERIFY(b.scan(1, 3, 10000));
    QCOMPARE(b.table().rowCount(), 3); // the bus work goes on
    if (!on)
        QVERIFY(!QFileInfo::exists(path));
    b.clickRow(1);
    b.window->showHistory();
    QTRY_VERIFY(b.window->logLines().last().contains(QStringLiteral("no history"), Qt::CaseInsensitive));
    b.window->close(); // every reading written or counted: the reason once, the count once
    QCOMPARE(b.window->logLines().filter(QStringLiteral("The bus work goes on")),
             on ? QStringList{line.arg(path)} : QStringList());
    QCOMPARE(b.window->logLines().filter(QStringLiteral("could not be stored")),
             on ? QStringList{QStringLiteral("Readings archive: 3 reading(s) could not be stored in the archive.")}
                : QStringList());
}

// A PostgreSQL server stopped with SIGSTOP keeps its connections open and
// answers nothing. A scan takes its usual time all the same; the readings
// that do not fit in the writer's queue are counted, said once when the
// server answers again, and the archive takes readings again. Closing the
// window while the server is stopped waits a few seconds at most.
void TstHistory::stalledServerDoesNotFreeze()
{
    PgServer server;
    if (const QString why = server.start(); !why.isEmpty())
        QSKIP(qPrintable(why + QStringLiteral(": a stopped database server is not tried")));
    Bench b(SimProcess::demoBus(), archiveSettings(server.url()));
    QVERIFY(b.sim.isReady());
    QVERIFY(b.scan(1, 12, 20000));
    QTRY_COMPARE(storedReadings(server.url()), 12);

    // Waiting on the stopped server, the scan would never end.
    b.window->archiveWorker()->setCapacity(4);
    QVERIFY(server.signal(SIGSTOP));
    QVERIFY(b.scan(1, 12, 20000));
    QTRY_COMPARE(b.window->logLines().filter(QStringLiteral("does not keep up")).size(), 1);

    QVERIFY(server.signal(SIGCONT));
    QTRY_COMPARE(b.window->logLines().filter(QStringLiteral("could not be stored")).size(), 1);
    static const QRegularExpression said(QStringLiteral(
        "^Readings archive: storing again; (\\d+) reading\\(s\\) could not be stored in the archive\\.$"));
    const QRegularExpressionMatch match = said.match(b.window->logLines().filter(QStringLiteral("could not")).first());
    QVERIFY(match.hasMatch());
    const int lost = match.captured(1).toInt();            // never said as 0
    QTRY_COMPARE(storedReadings(server.url()), 24 - lost); // what is said is what is missing
    QVERIFY(b.scan(1, 3, 10000));
    QTRY_COMPARE(storedReadings(server.url()), 27 - lost);
    QCOMPARE(b.window->logLines().filter(QStringLiteral("could not be stored")).size(), 1);

    QVERIFY(server.signal(SIGSTOP));
    QVERIFY(b.scan(1, 1, 10000));
    b.window->close(); // gives up on the archive after a few seconds instead of waiting for ever
    QVERIFY(b.logHas(QStringLiteral("Readings archive: 1 reading(s) could not be stored in the archive.")));
}

QTEST_MAIN(TstHistory)
#include "tst_history.moc"
