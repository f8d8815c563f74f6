// The display runs on a fake link with a scripted display: which commands go
// out for which rows and phases, the idle tick after each phase, retries of
// an activation that is never confirmed, refusals, and the read run and the
// historical read writing every value into the rows of its address.

#include "../ops/ops_rig.h"

#include "display/display_commands.h"
#include "display/read_run.h"
#include "display/write_run.h"

using namespace display;

namespace {

QStringList texts(const QList<QByteArray> &sent)
{
    QStringList out;
    for (const QByteArray &c : sent)
        out << QString::fromLatin1(c);
    return out;
}

QStringList tevRow(const QString &address, const QString &start = QStringLiteral("12,5"))
{
    QStringList r(TevColumns, QString());
    r[TevAddress] = address;
    r[TevUnit] = QStringLiteral("m3");
    r[TevStartMain] = start;
    r[TevStartP1] = QStringLiteral("0,0");
    r[TevStartP2] = QStringLiteral("1");
    r[TevStartCooling] = QString();
    r[TevMultDiv] = QStringLiteral("10/1");
    r[TevUserNumber] = QStringLiteral("4");
    r[TevFreeText] = QStringLiteral("Flat ") + address;
    return r;
}

// A display that knows entries 3 and 5 and answers as the real one does.
QByteArray answer(const QByteArray &c)
{
    if (c == "GET ADDR")
        return "Active devices: 3,5\r\n";
    if (c.startsWith("GET ENTR=") && c.endsWith(",1"))
        return "Entry " + c.mid(9) + "\r\nTotal pulses *10/1\r\n" + c.mid(9, 1) + "00.5 m3\r\nTotal 4567.8\r\n";
    if (c.startsWith("GET ENTR=") && c.endsWith(",2"))
        return "User #: 1" + c.mid(9, 1) + "\r\nText: Flat " + c.mid(9, 1) + "\r\n";
    if (c.startsWith("GET TARR="))
        return "Total pulses\r\nInput\r\nTotal " + c.right(1) + "1.5\r\n";
    if (c.startsWith("GET HIST=")) {
        // Record 1 is from March 2026, record k k-1 months earlier... here later: k-1 months on.
        const int k = c.mid(c.indexOf(',') + 1).toInt();
        static const char *months[] = {"Mar", "Apr", "May", "Jun", "Jul", "Aug",
                                       "Sep", "Oct", "Nov", "Dec", "Jan", "Feb"};
        return "Hist values: " + QByteArray::number(k * 10) + "\r\n 01/" + months[(k - 1) % 12] + "/26\r\n";
    }
    if (c.startsWith("SET ENTR="))
        return "Device " + c.mid(9) + " Active\r\n";
    return "OK\r\n";
}

struct DisplayRig : OpsRig {
    DisplayRig()
        : OpsRig(""),
          devices(TevColumns),
          history(HistColumns),
          write(session, devices),
          read(session, devices, history),
          commands(session)
    {
        link.display = answer;
    }
    Table devices, history;
    WriteRun write;
    ReadRun read;
    DisplayCommands commands;
};

} // namespace

class TstDisplayRuns : public QObject {
    Q_OBJECT
private slots:
    void writeRunOneSelectedRow();
    void silentDisplayIsAskedRetriesPlusOne();
    void refusalsPerRow_data();
    void refusalsPerRow();
    void deleteAndZeroStart();
    void readRunWritesByAddress();
    void readRunWithoutListKeepsTables();
    void historyOneMonth_data();
    void historyOneMonth();
    void settingsCommands();
};

// Row 2 of three selected: a command per phase for row 2, one idle tick per
// phase; its empty cooling start is not sent (0 would wipe the display's value).
void TstDisplayRuns::writeRunOneSelectedRow()
{
    DisplayRig rig;
    rig.devices.setRows({tevRow("1"), tevRow("2"), tevRow("3")});
    rig.devices.setSelected(2, true);
    QSignalSpy ticks(&rig.write.replyTimer(), &QTimer::timeout);
    rig.write.start(WriteRun::Kind::Write);
    QVERIFY(rig.write.running());
    QVERIFY(rig.idle());
    QCOMPARE(texts(rig.link.texts),
             QStringList({"SET ENTR=2", "SET UNIT=2,2", "SET CONM=2,10", "SET COND=2,1", "SET INIT=2,12.5",
                          "SET INI1=2,0.0", "SET INI2=2,1", "SET NUMB=2,4", "SET TEXT=2,Flat 2"}));
    // 10 idle ticks (one after each phase) and 9 that send: the first command goes at the start.
    QCOMPARE(ticks.count(), 19);
    QCOMPARE(rig.link.begins, 1);
    QCOMPARE(rig.link.ends, 1);
    QVERIFY(rig.log.lines.contains(
        QStringLiteral("No initial value second main (cooling) in the table for device 2, not written...")));
}

void TstDisplayRuns::silentDisplayIsAskedRetriesPlusOne()
{
    DisplayRig rig;
    rig.link.display = nullptr;
    rig.options.retries = 2;
    rig.devices.setRows({tevRow("1"), tevRow("2")});
    rig.devices.selectAll(true);
    rig.write.start(WriteRun::Kind::Write);
    QVERIFY(rig.idle());
    QCOMPARE(texts(rig.link.texts).count(QStringLiteral("SET ENTR=1")), 3);
    QCOMPARE(texts(rig.link.texts).count(QStringLiteral("SET ENTR=2")), 3);
    QCOMPARE(rig.link.texts.size(), 6 + 2 * 8); // the empty cooling start is not sent
}

// clang-format off
void TstDisplayRuns::refusalsPerRow_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("notSent"); // a command that must not go out
    QStringList r = tevRow("abc");
    QTest::newRow("address no number") << r << "Error in device address at row 1, skipping" << "SET ENTR=";
    r = tevRow("");
    QTest::newRow("address empty") << r << "Error in device address at row 1" << "SET ENTR=";
    r = tevRow("7", "1,2,3");
    QTest::newRow("start value no number") << r << "Error in initial value of device 7, skipping" << "SET INIT=";
    r = tevRow("7");
    r[TevUnit] = QStringLiteral("GJ");
    QTest::newRow("unit GJ") << r << "Skipping unit of device 7...wrong" << "SET UNIT=";
    r = tevRow("7");
    r[TevMultDiv] = QStringLiteral("12345/1");
    QTest::newRow("multiplier too long") << r << "Skipping multiplier of device 7...wrong" << "SET CONM=";
    r = tevRow("7");
    r[TevUserNumber] = QStringLiteral("12345");
    QTest::newRow("user number too long") << r << "Skipping user number of device 7...wrong" << "SET NUMB=";
}
// clang-format on

void TstDisplayRuns::refusalsPerRow()
{
    QFETCH(QStringList, row);
    QFETCH(QString, line);
    QFETCH(QString, notSent);
    DisplayRig rig;
    rig.devices.setRows({row, tevRow("9")});
    rig.devices.setSelected(1, true);
    rig.write.start(WriteRun::Kind::Write);
    QVERIFY(rig.idle());
    QVERIFY2(rig.log.lines.contains(line), qPrintable(rig.log.lines.join(u'|')));
    QVERIFY(texts(rig.link.texts).filter(notSent).isEmpty());
}

void TstDisplayRuns::deleteAndZeroStart()
{
    DisplayRig rig;
    rig.devices.setRows({tevRow("4"), tevRow("9")});
    rig.write.start(WriteRun::Kind::Delete); // nothing selected: refused
    QVERIFY(!rig.session.busy());
    QVERIFY(rig.log.lines.last().startsWith(QStringLiteral("No row of the display table is selected")));
    QVERIFY(rig.link.texts.isEmpty());
    rig.devices.selectAll(true);
    rig.write.start(WriteRun::Kind::Delete);
    QVERIFY(rig.idle());
    rig.write.start(WriteRun::Kind::ZeroStart);
    QVERIFY(rig.idle());
    QCOMPARE(texts(rig.link.texts), QStringList({"DEL ENTR=4", "DEL ENTR=9", "SET DELP=4,0", "SET DELP=9,0"}));
}

void TstDisplayRuns::readRunWritesByAddress()
{
    DisplayRig rig;
    rig.read.readDisplay(true);
    QVERIFY(rig.read.running());
    QVERIFY(rig.idle(20000));
    QCOMPARE(rig.devices.rowCount(), 2);
    QCOMPARE(rig.devices.row(1).mid(1, 13), QStringList({"3", "m3", "300.5", "", "", "", "10/1", "13", "Flat 3",
                                                         "4567.8", "01.5 m3", "11.5 m3", "31.5"}));
    QCOMPARE(rig.history.row(2).mid(1, 9),
             QStringList({"5", "m3", "500.5", "10/1", "15", "Flat 5", "4567.8", "01.5", "11.5"}));
    // All months of the history: record k (k-1 months after March) into its column.
    QCOMPARE(rig.history.cell(1, HistFirstMonth + 2), QStringLiteral("10")); // March, record 1
    QCOMPARE(rig.history.cell(1, HistFirstMonth), QStringLiteral("110"));    // January, record 11
    QVERIFY(rig.log.lines.contains(QStringLiteral("Reading Pulse Input 1 of device 5...")));
    QCOMPARE(rig.link.texts.size(), 1 + 2 * 5 + 2 * 12);
    QCOMPARE(rig.link.ends, 1);
}

void TstDisplayRuns::readRunWithoutListKeepsTables()
{
    DisplayRig rig;
    rig.link.display = [](const QByteArray &) { return QByteArray("garbage\r\n"); };
    rig.devices.setRows({tevRow("8")});
    rig.read.readDisplay();
    QVERIFY(rig.idle());
    QCOMPARE(rig.devices.cell(1, TevAddress), QStringLiteral("8"));
    QCOMPARE(rig.log.lines.last(), QStringLiteral("Sorry, no active addresses in memory..."));
}

// clang-format off
void TstDisplayRuns::historyOneMonth_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("value");
    QTest::newRow("the first record's month") << "Mar" << QStringList{"GET HIST=3,1"} << "10";
    QTest::newRow("a later month, asked on this route too") << "May" << QStringList{"GET HIST=3,1", "GET HIST=3,3"}
                                                            << "30";
}
// clang-format on

void TstDisplayRuns::historyOneMonth()
{
    QFETCH(QString, month);
    QFETCH(QStringList, requests);
    QFETCH(QString, value);
    DisplayRig rig;
    rig.link.linkRoute = LinkRoute::Converter;
    QStringList row(HistColumns, QString());
    row[HistAddress] = QStringLiteral("3");
    rig.history.setRows({row});
    rig.read.readHistory(month);
    QVERIFY(rig.idle());
    QCOMPARE(texts(rig.link.texts), requests);
    QCOMPARE(rig.history.cell(1, HistFirstMonth + (month == QLatin1String("Mar") ? 2 : 4)), value);
}

void TstDisplayRuns::settingsCommands()
{
    DisplayRig rig;
    rig.commands.setDateTime(QDateTime(QDate(2013, 3, 14), QTime(9, 5)));
    QVERIFY(rig.idle());
    rig.commands.setRefresh(QStringLiteral("4"));
    QVERIFY(rig.idle());
    rig.commands.setRefresh(QStringLiteral("13"));
    rig.commands.sort(1);
    QVERIFY(rig.idle());
    rig.commands.sort(-1);
    rig.commands.createSortTable();
    QVERIFY(rig.idle());
    rig.commands.updateReadings();
    QVERIFY(rig.idle());
    QStringList info;
    connect(&rig.commands, &DisplayCommands::infoText, this, [&](const QString &t) { info << t; });
    rig.commands.getInfo();
    QVERIFY(rig.idle());
    QCOMPARE(texts(rig.link.texts), QStringList({"SET DATE=14/03/13", "SET TIME=09:05", "SET REFR=04", "SET SRTP=1",
                                                 "SET SORT", "SET READ", "GET MAIN", "GET SERV", "GET ADDR"}));
    QCOMPARE(info, QStringList({"OK", "OK", "Active devices: 3,5"}));
    for (const char *line : {"Setting date of TEV-K40...", "Setting time of TEV-K40...",
                             "Setting refresh time of TEV-K40...", "Wrong value for refresh time of TEV-K40...",
                             "Sorting RUX-CENTRAL by user number...", "No sort type selected, aborting...",
                             "Creating sort table in TEV-K40, please wait...", "Updating readings of TEV-K40..."})
        QVERIFY2(rig.log.lines.contains(QString::fromLatin1(line)), line);
    QCOMPARE(rig.link.begins, rig.link.ends);
}

QTEST_GUILESS_MAIN(TstDisplayRuns)
#include "tst_display_runs.moc"
