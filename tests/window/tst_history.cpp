// The readings archive from the window: readings kept as the bus is read,
// a meter's history with its chart and export, the display's months drawn,
// and an archive that cannot be used said once while the bus work goes on.

#include "display/display_table.h"
#include "display_pages.h"
#include "history_window.h"
#include "window_bench.h"

#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>

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
    QCOMPARE(history.readingGrid->rowCount(), 2);
    history.recordCombo->setCurrentIndex(history.recordCombo->findText(QStringLiteral("Energy, kWh")));
    QCOMPARE(history.readingGrid->item(0, 4)->text(), QStringLiteral("21387"));
    QCOMPARE(history.readingGrid->item(0, 5)->text(), QStringLiteral("kWh"));
    QCOMPARE(history.readingGrid->item(0, 6)->text(), QStringLiteral("0")); // unchanged since the scan
    QCOMPARE(history.readingGrid->item(0, 2)->text(), QStringLiteral("serial"));
    QCOMPARE(chartPoints(history), 2);

    // The list exported as the tables are.
    const QString target = archiveDir.filePath(QStringLiteral("history.csv"));
    b.window->fileDialogs.askSaveName = [target](const QString &) { return target; };
    QTest::mouseClick(history.exportButton, Qt::LeftButton);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray csv = file.readAll();
    QVERIFY2(csv.startsWith("Read at;Addr.;Route;Status;Value;Unit;Change;\r\n") && csv.count("\r\n") == 3, csv);

    // The display's months of a row, drawn the same way.
    b.window->historyTable().setRows({QStringList{"41000001", "1", "m3", "", "", "", "", "", "", "", "1", "2", "3"}});
    b.window->readingsPage->historyGrid->setCurrentCell(0, 0);
    QTest::mouseClick(b.window->readingsPage->chartButton, Qt::LeftButton);
    QCOMPARE(chartPoints(history), 3);
}

void TstHistory::unusableArchiveSaidOnce_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("line"); // the log line, said once
    QTest::newRow("not a database") << true << "Readings archive: ";
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
    const QStringList said = b.window->logLines().filter(QStringLiteral("Readings archive: "));
    QCOMPARE(said.size(), line.isEmpty() ? 0 : 1);
    if (!on)
        QVERIFY(!QFileInfo::exists(path));
    b.clickRow(1);
    b.window->showHistory();
    QVERIFY(b.window->logLines().last().contains(QStringLiteral("no history")));
}

QTEST_MAIN(TstHistory)
#include "tst_history.moc"
