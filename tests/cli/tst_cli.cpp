// telvaro-cli end to end, as a script runs it: the real program against
// mbus-sim on a pseudo-terminal and as a serial-to-TCP converter. Every
// command, every output format (JSON parsed, CSV and text checked line by
// line), the exit statuses and the one-line reasons, damaged and multi-
// telegram readings, and runs that end early.

#include "cli_run.h"

#include <QTcpServer>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

const char kMultiBus[] =
    "[meter]\naddress = 10\nid = 10101010\nmanufacturer = ABC\nmedium = water\ntelegrams = 3\n"
    "record = 0C13 01000000\nrecord = 0C13 02000000\nrecord = 0C13 03000000\n"
    "record = 0C13 04000000\nrecord = 0C13 05000000\nrecord = 0C13 06000000\n"
    "[meter]\naddress = 11\nid = 11111111\nmanufacturer = ABC\nmedium = water\n"
    "telegrams = endless\nrecord = 0C13 07000000\n"
    "[meter]\naddress = 12\nid = 12121212\nmanufacturer = ABC\nmedium = water\nrecord = 0C13 08000000\n"
    // Every reply of this meter (at 13) has a wrong checksum (C0 is right).
    "[meter]\nraw = 68 15 15 68 08 0D 72 22 22 22 22 43 04 00 07 00 00 00 00 0C 13 22 22 00 00 00 16\n";

} // namespace

class TstCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void scanInEveryFormat_data();
    void scanInEveryFormat();
    void commands_data();
    void commands();
    void setAddressBothWays();
    void refusedWithOneLine_data();
    void refusedWithOneLine();
    void multiTelegramReading();
    void damagedRepliesFail();
    void endedEarlyPrintsWhatItHas_data();
    void endedEarlyPrintsWhatItHas();
    void interruptedAfterTheWrite();
    void serialLossEndsTheOperation_data();
    void serialLossEndsTheOperation();
    void occupiedAddressNeverWritten_data();
    void occupiedAddressNeverWritten();

private:
    QTemporaryDir m_dir;
    QString m_multiBus;
};

void TstCli::initTestCase()
{
    QVERIFY(QFileInfo::exists(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli")));
    m_multiBus = m_dir.filePath(QStringLiteral("multi.bus"));
    QFile f(m_multiBus);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kMultiBus);
}

void TstCli::scanInEveryFormat_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("format");
    for (const char *route : {"pty", "tcp"})
        for (const char *format : {"text", "csv", "json"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(route, format))) << route << format;
}

void TstCli::scanInEveryFormat()
{
    QFETCH(QString, route);
    QFETCH(QString, format);
    Bus bus(route, SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    const Run r = bus.run({"scan", "--to", "12", "--format", format});
    QCOMPARE(r.exit, 0);
    QVERIFY2(r.err.contains(QStringLiteral("scan: 100%")), qPrintable(r.err.join(u'\n'))); // progress, not results
    if (format == QLatin1String("json")) {
        const QJsonArray array = meters(r);
        QCOMPARE(field(array, "id"), kDemoIds);
        QCOMPARE(field(array, "address"), QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
        for (const QJsonValue &m : array)
            QVERIFY(!m.toObject().value("records").toArray().isEmpty());
        QCOMPARE(array.at(5).toObject().value("main").toObject(), // a heat cost allocator's reading
                 QJsonObject({{"value", 345}, {"unit", "HCA units"}}));
    } else if (format == QLatin1String("csv")) {
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 14); // header, 12 meters, and after the last LF nothing
        QCOMPARE(lines.first(), "read_at;id;address;manufacturer;version;medium;medium_code;value;unit;status;access;"
                                "complete");
        QVERIFY(steady(lines.at(1) + '\n').startsWith("READ_AT;12345678;1;ZRI;1;Water;7;45.327;m3;0;N;true"));
        QVERIFY(steady(lines.at(6) + '\n').startsWith("READ_AT;60000007;6;QDS;53;Heat C.A.;8;345.000;HCA units;"));
        QVERIFY(!r.out.contains('\r') && lines.last().isEmpty());
    } else {
        const QStringList lines = QString::fromUtf8(r.out).split(u'\n');
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^ID:\\d{8}, Mfr: "))).size(), 12);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Decoded at "))).size(), 12);
        const int kam = int(lines.indexOf(QStringLiteral("ID:20071234, Mfr: KAM, Main medium: Heat (rt)")));
        QVERIFY(kam > 0 && lines.at(kam - 1) == QStringLiteral("Primary address: 2"));
    }
}

void TstCli::commands_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("reason"); // the last line on standard error, when the exit is 1

    for (const char *route : {"pty", "tcp"}) {
        const QString r = QLatin1String(route);
        QTest::newRow(qPrintable(r + ", read two"))
            << r << QStringList{"read", "2", "1"} << 0 << QStringList{"12345678", "20071234"} << "";
        QTest::newRow(qPrintable(r + ", read one that is not there"))
            << r << QStringList{"read", "1", "99"} << 1 << QStringList{"12345678"}
            << "Read: 1 of 2 meter(s) answered; no answer from 99.";
        QTest::newRow(qPrintable(r + ", read nothing that is there"))
            << r << QStringList{"read", "98", "99"} << 1 << QStringList()
            << "Read: 0 of 2 meter(s) answered; no answer from 98, 99.";
        QTest::newRow(qPrintable(r + ", read-all"))
            << r << QStringList{"read-all", "--to", "3"} << 0 << QStringList{"12345678", "20071234", "30500117"} << "";
        QTest::newRow(qPrintable(r + ", search by pattern"))
            << r << QStringList{"search", "--pattern", "1FFFFFFF"} << 0 << QStringList{"12004411", "12345678"} << "";
        QTest::newRow(qPrintable(r + ", search by a whole ID"))
            << r << QStringList{"search", "--pattern", "40123456"} << 0 << QStringList{"40123456"} << "";
        QTest::newRow(qPrintable(r + ", raw REQ_UD2"))
            << r << QStringList{"raw", "10 7B 01 7C 16"} << 0 << QStringList{"12345678"} << "";
        QTest::newRow(qPrintable(r + ", raw to nobody"))
            << r << QStringList{"raw", "107B63DE16"} << 1 << QStringList() << "telvaro-cli: nothing came back";
    }
    QTest::newRow("pty, search everything") << "pty" << QStringList{"search"} << 0 << kDemoIds << "";
}

void TstCli::commands()
{
    QFETCH(QString, route);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QStringList, ids);
    QFETCH(QString, reason);
    Bus bus(route, SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    const Run r = bus.run(arguments + QStringList{"--format", "json"});
    QCOMPARE(r.exit, exit);
    QStringList got = field(meters(r), "id");
    got.sort();
    QStringList want = ids;
    want.sort();
    QCOMPARE(got, want);
    if (!reason.isEmpty())
        QCOMPARE(r.err.last(), reason);
    if (arguments.first() == QLatin1String("raw") && exit == 0) {
        QVERIFY(meters(r).at(0).toObject().value("reply").toString().startsWith(QLatin1String("68")));
        // As text the reply alone, which mbus-decode takes as it stands.
        const Run text = bus.run(arguments);
        QVERIFY2(QRegularExpression(QStringLiteral("^68( [0-9A-F]{2})+ 16\\n$")).match(text.out).hasMatch(),
                 text.out.constData());
        QProcess decoder;
        decoder.start(QStringLiteral(TELVARO_BIN_DIR "/mbus-decode"));
        decoder.write(text.out);
        decoder.closeWriteChannel();
        QVERIFY(decoder.waitForFinished());
        QCOMPARE(decoder.exitCode(), 0);
        QVERIFY(decoder.readAllStandardOutput().contains("ID:12345678"));
    }
}

// By the old address (the meter is read first for its ID), then by ID; the
// simulator keeps the change, so a read finds the meter at its new address.
void TstCli::setAddressBothWays()
{
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    Run r = bus.run({"set-address", "3", "33", "--format", "json"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(field(meters(r), "address"), QStringList{"33"});
    // Each step under the name of what it does.
    QVERIFY(r.err.contains("Read address 3: 1 of 1 meter(s) answered."));
    QCOMPARE(r.err.last(), "Set primary address 33 for meter 30500117: 1 of 1 meter(s) answered.");
    r = bus.run({"read", "33", "--format", "csv"});
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.split('\n').at(1).contains(";30500117;33;ABB;"));
    r = bus.run({"set-address", "--id", "30500117", "3", "--format", "json"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(field(meters(r), "address"), QStringList{"3"});
    r = bus.run({"set-address", "--id", "99999999", "44"});
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.last().contains(QLatin1String("99999999")));
    // Another meter answers at the new address: only --force gives it.
    r = bus.run({"set-address", "1", "2"});
    QCOMPARE(r.exit, 1);
    QVERIFY2(r.err.last().contains(QLatin1String("meter 20071234 answers at address 2 already")),
             qPrintable(r.err.last()));
    r = bus.run({"set-address", "1", "2", "--force", "--format", "json"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(field(meters(r), "id"), QStringList{"12345678"});
}

void TstCli::refusedWithOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close(); // nobody listens there now
    QTest::newRow("unknown command") << QStringList{"frob"} << "unknown command 'frob'";
    QTest::newRow("bad address") << QStringList{"read", "300", "--port", "/dev/null"} << "300 is not a primary address";
    QTest::newRow("no link") << QStringList{"scan"} << "no way to the bus";
    QTest::newRow("missing settings file")
        << QStringList{"scan", "--settings", "/nonexistent/telvaro.ini"} << "cannot read the settings file";
    QTest::newRow("converter nobody listens at")
        << QStringList{"scan", "--tcp", "127.0.0.1:" + port} << "no connection to 127.0.0.1:" + port;
    QTest::newRow("gateway nobody listens at")
        << QStringList{"scan", "--gateway", "127.0.0.1:" + port} << "no connection to 127.0.0.1:" + port;
}

void TstCli::refusedWithOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const Run r = cli(arguments);
    QCOMPARE(r.exit, 2);
    QCOMPARE(r.err.size(), 1);
    QVERIFY2(r.err.first().startsWith(QLatin1String("telvaro-cli: ")) && r.err.first().contains(reason),
             qPrintable(r.err.first()));
    QVERIFY(r.out.isEmpty());
}

// Three telegrams with the frame count bit toggled, as the simulator saw
// them, joined into one reading; a meter that starts over is read once.
void TstCli::multiTelegramReading()
{
    Bus bus(QStringLiteral("pty"), m_multiBus, false);
    // Without the option the first telegram is the reading, and an incomplete one.
    Run r = bus.run({"read", "10", "--format", "json", "--verbose"});
    QCOMPARE(meters(r).at(0).toObject().value("records").toArray().size(), 3); // 2 and the 1F
    QCOMPARE(meters(r).at(0).toObject().value("complete").toBool(true), false);
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(QStringLiteral(
        "The meter has more telegrams waiting: \"Read all telegrams\" (--all-telegrams) reads them...")));
    QCOMPARE(r.err.filter("meter(s) answered").size(), 1); // the log's summary is the one said

    // With it, SND_NKE starts the meter at telegram 1 whatever was read before.
    r = bus.run({"read", "10", "--all-telegrams", "--format", "json"});
    QCOMPARE(r.exit, 0);
    const QJsonArray array = meters(r);
    QCOMPARE(array.size(), 1);
    const QJsonArray records = array.at(0).toObject().value("records").toArray();
    QCOMPARE(records.size(), 6);
    QCOMPARE(records.at(5).toObject().value("value").toDouble(), 0.006);
    QTRY_VERIFY(bus.sim->output().contains(QLatin1String("telegram 3 of 3")));
    QStringList received = bus.sim->output().split(u'\n').filter(QRegularExpression(QStringLiteral("^RX 10 .B 0A")));
    QCOMPARE(received,
             QStringList({"RX 10 7B 0A 85 16", "RX 10 7B 0A 85 16", "RX 10 5B 0A 65 16", "RX 10 7B 0A 85 16"}));
    QVERIFY(bus.sim->output().contains(QLatin1String("RX 10 40 0A 4A 16")));
    // A plain read after it (no --fast) starts at telegram 1 as well: the
    // telegram 3 left waiting is no complete reading.
    r = cli({"read", "10", "--format", "json", "--port", bus.sim->link(), "--timeout", "300", "--retries", "0"});
    QCOMPARE(meters(r).at(0).toObject().value("records").toArray().size(), 3);
    QCOMPARE(meters(r).at(0).toObject().value("complete").toBool(true), false);
    QCOMPARE(r.exit, 1);

    // A meter whose every telegram holds the same records repeats telegram 1:
    // one telegram, and the reading is incomplete.
    r = bus.run({"read", "11", "--all-telegrams", "--format", "json", "--verbose"});
    QCOMPARE(r.exit, 1);
    QVERIFY(r.err.contains(QStringLiteral("Telegram 1 came again, the reading holds the first 1...")));
    QCOMPARE(meters(r).at(0).toObject().value("records").toArray().size(), 2); // 1, and the 1F
    QCOMPARE(meters(r).at(0).toObject().value("complete").toBool(true), false);
    QCOMPARE(r.err.last(), QStringLiteral("Read: 1 of 1 meter(s) answered; incomplete reading from 11."));
}

// What a run reads is kept with --store; "history" prints it back without a bus.
// A meter that answers only with damaged replies is no success: the scan and
// the read-all that follows it fail, and say where.
void TstCli::damagedRepliesFail()
{
    Bus bus(QStringLiteral("pty"), m_multiBus);
    for (const char *command : {"scan", "read-all"}) {
        const Run r = bus.run({command, "--from", "12", "--to", "13", "--format", "csv"});
        QCOMPARE(r.exit, 1);
        QCOMPARE(r.err.filter(QStringLiteral("no valid reply")),
                 QStringList{QStringLiteral("Scan of 12..13: 1 meter(s) found; no valid reply from 13.")});
    }
}
void TstCli::endedEarlyPrintsWhatItHas_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Ctrl+C") << "interrupt" << 130 << "telvaro-cli: interrupted";
    QTest::newRow("the converter goes away") << "hang up" << 2 << "telvaro-cli: the connection was lost";
}

// A long scan ended after a few meters: what was read is printed all the same.
void TstCli::endedEarlyPrintsWhatItHas()
{
    QFETCH(QString, how);
    QFETCH(int, exit);
    QFETCH(QString, reason);
    Bus bus(how == QLatin1String("interrupt") ? QStringLiteral("pty") : QStringLiteral("tcp"), SimProcess::demoBus());
    QProcess p;
    p.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
            QStringList{"scan", "--format", "json", "--timeout", "300", "--retries", "0"} + bus.link);
    QVERIFY(p.waitForStarted());
    QTest::qWait(3500); // a few meters are read by now, 250 addresses are far from done
    if (how == QLatin1String("interrupt"))
        ::kill(pid_t(p.processId()), SIGINT);
    else
        bus.sim.reset();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), exit);
    const Run r{p.exitCode(), p.readAllStandardOutput(),
                QString::fromLocal8Bit(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts)};
    QVERIFY2(meters(r).size() >= 2, r.out.constData());
    QCOMPARE(field(meters(r), "id").first(), kDemoIds.first());
    QCOMPARE(r.err.last(), reason);
}

// Ctrl+C after a new address went out: the summary says what was sent, the
// selection is ended, and the exit status is 130.
void TstCli::interruptedAfterTheWrite()
{
    SimProcess sim(SimProcess::demoBus(), {"--reply-delay", "1000"});
    QVERIFY(sim.isReady());
    QProcess p;
    p.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
            {"set-address", "40", "--id", "12345678", "--force", "--port", sim.link(), "--timeout", "3000", "--retries",
             "0", "--no-standard-timing"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains(QStringLiteral("RX 68 06 06 68 73 FD 51 01 7A 28")), 15000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 130);
    QVERIFY(QString::fromLocal8Bit(p.readAllStandardError())
                .contains(QStringLiteral(
                    "address 40 was sent to meter 12345678 but not confirmed; stopped before the end.")));
    QTRY_VERIFY(sim.output()
                    .section(QStringLiteral("RX 68 06 06 68 73 FD 51"), 1)
                    .contains(QStringLiteral("RX 10 40 FD 3D 16")));
}

void TstCli::serialLossEndsTheOperation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("hangupAt"); // the reply the adapter is pulled out at
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QString>("summary");
    // Every reading begins with a SND_NKE, whose E5 is a reply of its own.
    QTest::newRow("scan") << QStringList{"scan", "--from", "1", "--to", "10"} << "3" << QStringList{"12345678"}
                          << "Scan of 1..10: 1 meter(s) found; the connection was lost.";
    QTest::newRow("read-all") << QStringList{"read-all", "--from", "1", "--to", "3"} << "9" << QStringList{"12345678"}
                              << "Read all meters: 1 of 2 meter(s) answered; the connection was lost.";
    QTest::newRow("search") << QStringList{"search"} << "3" << QStringList()
                            << "Secondary search FFFFFFFF: 0 meter(s) found; the connection was lost.";
    // Read at 1, 40 proved free, the selection acknowledged, then the write's acknowledgement.
    QTest::newRow("set-address")
        << QStringList{"set-address", "1", "40"} << "4" << QStringList()
        << "Set primary address 40 for meter 12345678: 0 of 1 meter(s) answered; address 40 was "
           "sent to meter 12345678 but not confirmed; the connection was lost.";
}

// The USB adapter pulled out in the middle: the run ends there with exit 2,
// prints what it read, and asks nothing more (on the adapter plugged in
// again, which the simulator offers at once).
void TstCli::serialLossEndsTheOperation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, hangupAt);
    QFETCH(QStringList, printed);
    QFETCH(QString, summary);
    SimProcess sim(SimProcess::demoBus(), {"--hangup-at", hangupAt});
    QVERIFY(sim.isReady());
    const Run r = cli(arguments
                      + QStringList{"--port", sim.link(), "--timeout", "300", "--retries", "0", "--format", "json"});
    QCOMPARE(r.exit, 2);
    QCOMPARE(r.err.last(), QStringLiteral("telvaro-cli: the connection was lost"));
    QTest::qWait(300);
    QVERIFY2(r.err.contains(summary), qPrintable(r.err.join(u'\n')));
    QCOMPARE(field(meters(r), "id"), printed);
    const QString afterLoss = sim.output().section(QStringLiteral("pseudo-terminal hung up"), 1);
    QVERIFY2(!afterLoss.isEmpty() && !afterLoss.contains(QStringLiteral("RX ")), qPrintable(afterLoss));
}

void TstCli::occupiedAddressNeverWritten_data()
{
    QTest::addColumn<QByteArray>("metersAt3");
    const QByteArray meter3 = "[meter]\naddress = 3\nid = 33333333\nmanufacturer = ABC\nmedium = water\n"
                              "record = 0C 13 33 00 00 00\n";
    // The bus lost a reply just before (meter 1 answered only the retry):
    // silence at 3 proves nothing.
    QTest::newRow("the check read dropped on every try") << meter3 + "drop-first = 4\n"; // 2 tries of E5 and RSP
    QTest::newRow("the check read damaged on every try") << meter3 + meter3;
}

// set-address 1 3 where the bus does not prove 3 free: nothing is selected
// or written, exit 1 with the way out.
void TstCli::occupiedAddressNeverWritten()
{
    QFETCH(QByteArray, metersAt3);
    const Bus bus(QStringLiteral("tcp"),
                  writeBusFile(m_dir, QStringLiteral("occupied.bus"),
                               "[meter]\naddress = 1\nid = 11111111\nmanufacturer = ABC\nmedium = water\n"
                               "record = 0C 13 11 00 00 00\ndrop-first = 1\n"
                                   + metersAt3),
                  false);
    SimProcess &sim = *bus.sim;
    QVERIFY(sim.isReady());
    const Run r = cli(QStringList{"set-address", "1", "3", "--timeout", "300", "--retries", "1"} + bus.link);
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.err.last(), QStringLiteral("telvaro-cli: address 3 did not answer clearly: not changed; --force to "
                                          "change it all the same"));
    QVERIFY2(!sim.output().contains(QStringLiteral("RX 68 0B 0B 68 53")), qPrintable(sim.output()));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
