// telvaro-cli on buses that lose, damage and delay replies, and on lines that
// pass bytes on in bursts: every meter is found, each exactly once — in the
// rows printed, the summary and the archive — or the run says what it lost.

#include "cli_run.h"
#include "stored_readings.h"

#include <QSet>

namespace {

// Two meters share ID 12345678 (water version 1, which loses every other
// answer, and gas version 2) beside three others.
const char kTwins[] = "[meter]\naddress = none\nid = 12345678\nmanufacturer = ABC\nversion = 1\nmedium = water\n"
                      "answer-every = 2\nrecord = 0C 13 11 00 00 00\n"
                      "[meter]\naddress = none\nid = 12345678\nmanufacturer = ABC\nversion = 2\nmedium = gas\n"
                      "record = 0C 13 22 00 00 00\n"
                      "[meter]\naddress = 3\nid = 30000003\nmanufacturer = ABC\nmedium = water\n"
                      "record = 0C 13 33 00 00 00\n"
                      "[meter]\naddress = 4\nid = 40000004\nmanufacturer = ABC\nmedium = water\n"
                      "record = 0C 13 44 00 00 00\n"
                      "[meter]\naddress = 5\nid = 12300005\nmanufacturer = ABC\nmedium = water\n"
                      "record = 0C 13 55 00 00 00\n";

// Eight meters at 1..8.
QByteArray plainEight()
{
    QByteArray bus;
    for (char digit = '1'; digit <= '8'; ++digit)
        bus += QByteArray("[meter]\naddress = ") + digit + "\nid = " + QByteArray(8, digit)
               + "\nmanufacturer = ABC\nmedium = water\nrecord = 0C 13 " + QByteArray(2, digit) + " 00 00 00\n";
    return bus;
}

} // namespace

class TstCliTiming : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void oneRowPerMeter_data();
    void oneRowPerMeter();
    void everyMeterUnderLoss_data();
    void everyMeterUnderLoss();

private:
    QTemporaryDir m_dir;
};

void TstCliTiming::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TstCliTiming::oneRowPerMeter_data()
{
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("meterCount");
    const QStringList ten{"--random-meters", "10"}, six{"--random-meters", "6"};
    const QStringList usb{"--wire-time", "--usb-latency", "16", "--jitter", "40"};
    const QStringList fast{"--timeout", "300"}; // no reply takes longer without --wire-time
    QTest::newRow("search, damaged replies")
        << six + QStringList{"--seed", "5", "--corrupt", "10"} << QStringList{"search", "--retries", "2"} + fast << 6;
    QTest::newRow("search, lost replies")
        << six + QStringList{"--seed", "6", "--drop", "10"} << QStringList{"search", "--retries", "2"} + fast << 6;
    QTest::newRow("search, answers at the window's edge")
        << ten + QStringList{"--seed", "8", "--answer-delay-bits", "300"} << QStringList{"search"} + fast << 10;
    QTest::newRow("search, USB adapter and pauses")
        << ten + QStringList{"--seed", "9"} + usb << QStringList{"search"} << 10;
    QTest::newRow("scan, USB adapter and pauses") << QStringList{"--bus", SimProcess::demoBus(), "--seed", "9"} + usb
                                                  << QStringList{"scan", "--from", "0", "--to", "15"} << 12;
    QTest::newRow("search, a lossy twin") << QStringList{"--bus", "twins"} << QStringList{"search"} + fast << 5;
    QTest::newRow("a meter read by its ID")
        << QStringList{"--bus", SimProcess::demoBus()} << QStringList{"search", "--pattern", "30500117"} << 1;
}

// Rows printed = meters on the bus = the summary's count = readings archived,
// and no meter twice.
void TstCliTiming::oneRowPerMeter()
{
    QFETCH(QStringList, sim);
    QFETCH(QStringList, command);
    QFETCH(int, meterCount);
    if (sim.contains(QStringLiteral("twins")))
        sim.replace(sim.indexOf(QStringLiteral("twins")), writeBusFile(m_dir, QStringLiteral("twins.bus"), kTwins));
    const Bus line(QStringLiteral("pty"), QString(), false, sim);
    QVERIFY(line.sim->isReady());
    const QString archive = m_dir.filePath(QStringLiteral("%1.sqlite").arg(QTest::currentDataTag()));
    const Run r = cli(command + line.link + QStringList{"--format", "json", "--store=" + archive}, 300000);
    const QJsonArray rows = meters(r);
    QSet<QString> distinct;
    for (const QJsonValue &row : rows)
        distinct << row[QLatin1String("id")].toString() + row[QLatin1String("medium")].toString();
    QVERIFY2(r.exit == 0, qPrintable(r.err.join(u'\n')));
    QCOMPARE(rows.size(), meterCount);
    QCOMPARE(distinct.size(), meterCount);
    QVERIFY2(r.err.last().contains(QStringLiteral(": %1 ").arg(meterCount)), qPrintable(r.err.last()));
    QCOMPARE(storedReadings(archive), meterCount);
}

void TstCliTiming::everyMeterUnderLoss_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QStringList>("command");
    const QStringList drop{"--drop", "10"}, damage{"--corrupt", "10"};
    const QStringList scan{"scan", "--from", "0", "--to", "9"}, readAll{"read-all", "--from", "0", "--to", "9"};
    for (int seed : {1, 2}) {
        const QStringList seeded{"--seed", QString::number(seed)};
        QTest::addRow("pty, scan, drops %d", seed) << "pty" << drop + seeded << scan;
        QTest::addRow("pty, read-all, damage %d", seed) << "pty" << damage + seeded << readAll;
        QTest::addRow("pty, search, drops %d", seed) << "pty" << drop + seeded << QStringList{"search"};
        QTest::addRow("converter, scan, damage %d", seed) << "tcp" << damage + seeded << scan;
        QTest::addRow("gateway, scan, damaged telegrams %d", seed)
            << "gateway" << QStringList{"--gateway-fault", "bad-checksum:10"} + seeded << scan;
    }
}

// Ten percent of the replies lost or damaged, retries given: every meter of
// the eight, or exit 1 and the summary says what the bus lost.
void TstCliTiming::everyMeterUnderLoss()
{
    QFETCH(QString, route);
    QFETCH(QStringList, fault);
    QFETCH(QStringList, command);
    const Bus line(route, writeBusFile(m_dir, QStringLiteral("eight.bus"), plainEight()), false, fault);
    QVERIFY(line.sim->isReady());
    const Run r = cli(command + line.link + QStringList{"--timeout", "300", "--retries", "3", "--format", "json"});
    QSet<QString> ids;
    for (const QJsonValue &row : meters(r))
        ids << row[QLatin1String("id")].toString();
    if (r.exit == 1)
        QVERIFY2(r.err.last().contains(QRegularExpression(QStringLiteral("no answer|no valid|not told|lost"))),
                 qPrintable(r.err.last()));
    else
        QVERIFY2(r.exit == 0 && ids.size() == 8, qPrintable(r.err.join(u'\n')));
    QCOMPARE(meters(r).size(), ids.size());
}

QTEST_GUILESS_MAIN(TstCliTiming)
#include "tst_cli_timing.moc"
