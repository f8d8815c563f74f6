// telvaro-cli end to end, as a script runs it: the real program against
// mbus-sim on a pseudo-terminal and as a serial-to-TCP converter. Every
// command, every output format (JSON parsed, CSV and text checked line by
// line), the exit statuses and the one-line reasons, and readings that
// could not be stored in the archive.

#include "pty_pair.h"
#include "reading_schema.h"
#include "sim_process.h"
#include "stored_readings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

struct Run {
    int exit = -1;
    QByteArray out;
    QStringList err; // lines
};

// `prefix` runs the program through another one (prlimit).
Run cli(const QStringList &arguments, int timeoutMs = 60000, const QStringList &prefix = {})
{
    QProcess p;
    const QString program = QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli");
    if (prefix.isEmpty())
        p.start(program, arguments);
    else
        p.start(prefix.first(), prefix.mid(1) + QStringList{program} + arguments);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromLocal8Bit(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return r;
}

// The readings printed, each proved against the schema the package ships.
QJsonArray meters(const Run &r)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        qWarning("not a JSON array: %s", error.errorString().toLocal8Bit().constData());
    const QString violation = readingSchemaViolation(r.out);
    QTest::qVerify(violation.isEmpty(), "readingSchemaViolation(r.out).isEmpty()", qPrintable(violation), __FILE__,
                   __LINE__);
    return doc.array();
}

// Output with the moments of reading and the access numbers (which count
// the readings of a meter) taken out.
QByteArray steady(QByteArray out)
{
    static const QRegularExpression moment(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"));
    static const QRegularExpression access(QStringLiteral("\"access\": \\d+"));
    static const QRegularExpression accessColumn(QStringLiteral("(;\\d+;)\\d+(;(true|false)\\n)"));
    QString text = QString::fromUtf8(out).replace(moment, QStringLiteral("READ_AT"));
    text.replace(access, QStringLiteral("\"access\": N")).replace(accessColumn, QStringLiteral("\\1N\\2"));
    return text.toUtf8();
}

QStringList field(const QJsonArray &array, const char *name)
{
    QStringList out;
    for (const QJsonValue &v : array) {
        const QJsonValue f = v.toObject().value(QLatin1String(name));
        out << (f.isDouble() ? QString::number(f.toInt()) : f.toString());
    }
    return out;
}

const QStringList kDemoIds{"12345678", "20071234", "30500117", "40123456", "50000042", "60000007",
                           "12004411", "70311502", "81726354", "90440021", "05550123", "53101977"};

// A simulator serving the demo bus (or another), on the route of the row.
struct Bus {
    Bus(const QString &route, const QString &busFile, bool quiet = true)
    {
        const QStringList extra = quiet ? QStringList{"--quiet"} : QStringList();
        if (route == QLatin1String("pty")) {
            sim = std::make_unique<SimProcess>(busFile, extra);
            link = {"--port", sim->link()};
        } else {
            sim = std::make_unique<SimProcess>(SimProcess::Tcp{}, QStringList{"--bus", busFile, "--tcp", "0"} + extra);
            link = {"--tcp", QStringLiteral("127.0.0.1:%1").arg(sim->port())};
        }
    }
    Run run(const QStringList &arguments, const QStringList &prefix = {}) const
    {
        return cli(arguments + link + QStringList{"--timeout", "300", "--retries", "0", "--fast"}, 60000, prefix);
    }
    std::unique_ptr<SimProcess> sim;
    QStringList link;
};

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
    void storeThenHistory();
    void backupWhileAnotherWrites();
    void fullDiskArchiveIsNoCrash_data();
    void fullDiskArchiveIsNoCrash();
    void helpAndVersion_data();
    void helpAndVersion();
    void sameBytesInEveryLocale_data();
    void sameBytesInEveryLocale();
    void readmeSamplesAreReal();
    void portErrorsSayWhatIsWrong_data();
    void portErrorsSayWhatIsWrong();
    void endedEarlyPrintsWhatItHas_data();
    void endedEarlyPrintsWhatItHas();
    void interruptedAfterTheWrite();

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
    r = bus.run({"read", "33", "--format", "csv"});
    QCOMPARE(r.exit, 0);
    QVERIFY(r.out.split('\n').at(1).contains(";30500117;33;ABB;"));
    r = bus.run({"set-address", "--id", "30500117", "3", "--format", "json"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(field(meters(r), "address"), QStringList{"3"});
    r = bus.run({"set-address", "--id", "99999999", "4"});
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

void TstCli::storeThenHistory()
{
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    const QString archive = m_dir.filePath(QStringLiteral("readings.sqlite"));
    const Run read = bus.run({"read", "1", "--store=" + archive, "--format", "json"});
    QCOMPARE(read.exit, 0);
    QCOMPARE(bus.run({"scan", "--to", "2", "--store=" + archive}).exit, 0);

    // The same object as the read gave, with the route it came by.
    Run r = cli({"history", "12345678", "--store=" + archive, "--format", "json"});
    QCOMPARE(r.exit, 0);
    const QJsonArray readings = meters(r);
    QCOMPARE(readings.size(), 2);
    QJsonObject oldest = readings.at(1).toObject();
    QCOMPARE(oldest.take("route").toString(), QStringLiteral("serial"));
    QCOMPARE(oldest, meters(read).at(0).toObject());
    QVERIFY(readings.at(0).toObject().value("read_at").toString() >= oldest.value("read_at").toString());

    r = cli({"history", "12345678", "--store=" + archive, "--format", "csv"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(steady(r.out).split('\n').mid(1),
             QByteArrayList({"READ_AT;12345678;1;ZRI;1;Water;7;45.327;m3;0;N;true",
                             "READ_AT;12345678;1;ZRI;1;Water;7;45.327;m3;0;N;true", ""}));
    r = cli({"history", "12345678", "--store=" + archive, "--format", "csv", "--to", "2000-01-01"});
    QCOMPARE(r.exit, 1); // nothing that old
    QVERIFY(r.out.startsWith("read_at;id;address;"));
    QCOMPARE(cli({"history", "1234", "--store=" + archive}).exit, 2);

    // An archive that is not there is said, and not made, nor its folder.
    const QString absent = m_dir.filePath(QStringLiteral("typo/nothere.sqlite"));
    r = cli({"history", "12345678", "--store=" + absent});
    QCOMPARE(r.exit, 2);
    QCOMPARE(r.err, QStringList{"telvaro-cli: there is no readings archive at " + absent
                                + " (readings are kept with --store)"});
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("typo"))));
}

// A copy made while another program writes is a whole archive, of the
// readings stored up to then; the writer loses nothing.
void TstCli::backupWhileAnotherWrites()
{
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    const QString archive = m_dir.filePath(QStringLiteral("busy.sqlite"));
    QProcess writer;
    writer.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
                 QStringList{"read-all", "--to", "12", "--store=" + archive, "--timeout", "300", "--retries", "0"}
                     + bus.link);
    QTRY_VERIFY_WITH_TIMEOUT(storedReadings(archive) > 0, 20000);
    const QString copy = m_dir.filePath(QStringLiteral("copy.sqlite"));
    Run r = cli({"archive", "backup", copy, "--store=" + archive});
    QCOMPARE(r.exit, 0);
    QCOMPARE(QFile::permissions(copy) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(queryRows(copy, QStringLiteral("PRAGMA quick_check")), QList<QStringList>{{"ok"}});
    QVERIFY(storedReadings(copy) > 0);
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(storedReadings(archive), 24);                                    // the scan's 12 and the reads' 12
    QCOMPARE(cli({"archive", "backup", copy, "--store=" + archive}).exit, 2); // never over a file
}

namespace {

// A small filesystem mounted here and filled (root, and a kernel that lets
// us mount a loop device); unmounted at the end.
struct FullDisk {
    FullDisk()
    {
        const QString image = dir.filePath(QStringLiteral("disk.img"));
        const auto run = [](const char *program, const QStringList &arguments) {
            return QProcess::execute(QLatin1String(program), arguments) == 0;
        };
        mounted = ::geteuid() == 0 && QDir(dir.path()).mkdir(QStringLiteral("mnt"))
                  && run("truncate", {"-s", "8M", image}) && run("mkfs.ext4", {"-q", "-F", image})
                  && run("mount", {"-o", "loop", image, mountPoint()});
        QFile fill(QDir(mountPoint()).filePath(QStringLiteral("fill")));
        if (mounted && fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            for (qsizetype chunk : {1 << 16, 1 << 10, 1})
                while (fill.write(QByteArray(chunk, 'x')) == chunk) {}
    }
    ~FullDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {mountPoint()});
    }
    QString mountPoint() const { return dir.filePath(QStringLiteral("mnt")); }

    QTemporaryDir dir;
    bool mounted = false;
};

} // namespace

void TstCli::fullDiskArchiveIsNoCrash_data()
{
    QTest::addColumn<bool>("fillsWhileRunning");
    QTest::newRow("disk full from the start") << false;
    QTest::newRow("disk that fills while it runs") << true;
}

// Writes that fail for want of room: the readings are printed all the same,
// how many were not stored is said once, the exit status is 3, and no
// signal (SIGBUS of a memory-mapped index, SIGXFSZ) ends the program.
void TstCli::fullDiskArchiveIsNoCrash()
{
    QFETCH(bool, fillsWhileRunning);
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    std::unique_ptr<FullDisk> disk;
    QString path = m_dir.filePath(QStringLiteral("limited-%1.sqlite").arg(fillsWhileRunning));
    QStringList prefix;
    int before = 0;
    if (!fillsWhileRunning)
        disk = std::make_unique<FullDisk>();
    if (disk && disk->mounted) {
        qInfo("a full filesystem, loop-mounted");
        path = QDir(disk->mountPoint()).filePath(QStringLiteral("readings.sqlite"));
    } else {
        // The file layer's limit (RLIMIT_FSIZE): a write past it fails as on a
        // full disk. While it runs: the archive's pages as they are, whose room
        // takes some of the readings but not all.
        if (fillsWhileRunning) {
            QCOMPARE(bus.run({"read-all", "--to", "12", "--store=" + path}).exit, 0);
            before = 24;
        }
        qInfo("a file size limit of the program (prlimit)");
        prefix = QStringList{QStringLiteral("prlimit"),
                             QStringLiteral("--fsize=%1").arg(fillsWhileRunning ? QFileInfo(path).size() : 0)};
    }
    const Run r = bus.run({"read-all", "--to", "12", "--format", "json", "--store=" + path}, prefix);
    QCOMPARE(r.exit, 3); // -1 when a signal ended it
    QCOMPARE(field(meters(r), "id"), kDemoIds);
    const QStringList counts = r.err.filter(QStringLiteral("could not be stored"));
    QCOMPARE(counts.size(), 1);
    static const QRegularExpression said(
        QStringLiteral("^telvaro-cli: (\\d+) reading\\(s\\) could not be stored in the archive$"));
    const QRegularExpressionMatch match = said.match(counts.first());
    QVERIFY2(match.hasMatch(), qPrintable(counts.first()));
    const int notStored = match.captured(1).toInt();
    if (!fillsWhileRunning) {
        QCOMPARE(notStored, 24); // the scan's 12 readings and those of the reads
    } else {
        QVERIFY2(notStored > 0 && notStored < 24, qPrintable(counts.first()));
        QCOMPARE(storedReadings(path), before + 24 - notStored);
    }
}

// clang-format off
void TstCli::helpAndVersion_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("start"); // of standard output, or of standard error when the exit is 2
    for (const char *name : {"telvaro", "telvaro-cli", "mbus-sim", "mbus-decode", "telvaro-users"}) {
        const QString program = QLatin1String(name);
        QTest::newRow(qPrintable(program + " --help")) << program << QStringList{"--help"} << 0 << "Usage: " + program;
        QTest::newRow(qPrintable(program + " -h")) << program << QStringList{"-h"} << 0 << "Usage: " + program;
        QTest::newRow(qPrintable(program + " --version")) << program << QStringList{"--version"} << 0 << program + " 0.";
        QTest::newRow(qPrintable(program + " -V")) << program << QStringList{"-V"} << 0 << program + " 0.";
        QTest::newRow(qPrintable(program + " unknown")) << program << QStringList{"--frobnicate=2"} << 2 << program + ":";
    }
    QTest::newRow("telvaro without a display") << "telvaro" << QStringList() << 2 << "telvaro: no display to open the window on";
}
// clang-format on

// Every program answers --help and --version, long and short, and names an
// unknown option as such.
void TstCli::helpAndVersion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, start);
    QProcess p;
    if (arguments.isEmpty()) { // the window program where no window system can be reached
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(TELVARO_BIN_DIR "/") + program, arguments);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exit);
    const QString out = exit == 0 ? p.readAllStandardOutput() : p.readAllStandardError();
    QVERIFY2(out.startsWith(start), qPrintable(out));
    if (exit != 0 && program != QLatin1String("telvaro-users")) // which adds where its help is
        QCOMPARE(out.count(u'\n'), 1);                          // a refusal is one line
    if (!arguments.isEmpty() && exit != 0)
        QVERIFY2(out.contains(QStringLiteral("nknown option")) && out.contains(QStringLiteral("frobnicate")),
                 qPrintable(out));
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
    QTest::qWait(2500); // a few meters are read by now, 250 addresses are far from done
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
             "0"});
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

// The same command under three locales: CSV and JSON are the same bytes
// (apart from when each meter was read and its access number).
void TstCli::sameBytesInEveryLocale_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << "csv";
    QTest::newRow("json") << "json";
}

void TstCli::sameBytesInEveryLocale()
{
    QFETCH(QString, format);
    QProcess locales;
    locales.start(QStringLiteral("locale"), {QStringLiteral("-a")});
    locales.waitForFinished();
    const QString available = QString::fromLatin1(locales.readAllStandardOutput()).toLower();
    for (const char *name : {"it_it.utf8", "pl_pl.utf8"})
        if (!available.contains(QLatin1String(name)))
            QSKIP(qPrintable(QStringLiteral("locale %1 is not generated (scripts/install-deps.sh makes it)")
                                 .arg(QLatin1String(name))));
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    QByteArray english;
    for (const char *locale : {"C", "it_IT.UTF-8", "pl_PL.UTF-8"}) {
        const QString assign = QLatin1String(locale);
        const Run r = bus.run({"read", "1", "2", "6", "--format", format},
                              {"env", "LC_ALL=" + assign, "LANG=" + assign, "LANGUAGE="});
        QCOMPARE(r.exit, 0);
        if (format == QLatin1String("json"))
            QCOMPARE(meters(r).size(), 3);
        if (english.isEmpty())
            english = steady(r.out);
        else
            QCOMPARE(steady(r.out), english);
    }
    QVERIFY(english.contains("45.327")); // the decimal point of C
}

// README's CSV and JSON samples are what the program prints for the demo bus.
void TstCli::readmeSamplesAreReal()
{
    QFile readme(QStringLiteral(TELVARO_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(u'\n');
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    int samples = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        static const QRegularExpression command(
            QStringLiteral("^    \\$ telvaro-cli (read [0-9 ]+) --port /tmp/ttyMBUS --format (csv|json)$"));
        const QRegularExpressionMatch match = command.match(lines.at(i));
        if (!match.hasMatch())
            continue;
        QByteArray sample;
        while (++i < lines.size() && lines.at(i).startsWith(QLatin1String("    ")))
            sample += lines.at(i).mid(4).toUtf8() + '\n';
        const Run r = bus.run(match.captured(1).split(u' ') + QStringList{"--format", match.captured(2)});
        QCOMPARE(r.exit, 0);
        QCOMPARE(steady(sample), steady(r.out));
        ++samples;
    }
    QCOMPARE(samples, 2);
}

// A port that cannot be opened says why, as the user running the program
// meets it (a user without root's rights where the test runs as root).
void TstCli::portErrorsSayWhatIsWrong_data()
{
    QTest::addColumn<QString>(
        "port"); // @tty: a terminal of mode 000; @file: a file of mode 000; @held: a terminal in use
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QString>("reason"); // PORT: the port's path
    QTest::newRow("EACCES, a terminal") << "@tty" << true
                                        << "PORT: no permission to open it. Add your user to the \"dialout\" group "
                                           "(sudo usermod -aG dialout $USER) and log in again.";
    QTest::newRow("EACCES, a file") << "@file" << true << "PORT is not a serial port";
    QTest::newRow("ENOTTY") << "/etc/passwd" << false << "PORT is not a serial port";
    QTest::newRow("ENOTTY, no right to write") << "/etc/passwd" << true << "PORT is not a serial port";
    QTest::newRow("ENOTTY, a device") << "/dev/null" << true << "PORT is not a serial port";
    QTest::newRow("ENOENT") << "/dev/ttyNONEXISTENT9" << false << "The selected serial port (PORT) was not found!";
    QTest::newRow("EBUSY") << "@held" << false << "The selected serial port (PORT) is in use by another program!";
}

void TstCli::portErrorsSayWhatIsWrong()
{
    QFETCH(QString, port);
    QFETCH(bool, asUser);
    QFETCH(QString, reason);
    PtyPair tty;
    QTemporaryFile file(QStringLiteral("/tmp/telvaro-port-XXXXXX"));
    if (port == QLatin1String("@file")) {
        QVERIFY(file.open());
        port = file.fileName();
    } else if (port.startsWith(u'@')) {
        QVERIFY(tty.isValid());
        port = tty.slavePath();
    }
    if (port == file.fileName() || reason.contains(QLatin1String("dialout")))
        QCOMPARE(::chmod(QFile::encodeName(port).constData(), 0), 0);
    const int held = ::open(QFile::encodeName(port).constData(), O_RDONLY | O_NOCTTY);
    if (reason.contains(QLatin1String("in use")))
        QCOMPARE(::flock(held, LOCK_EX), 0);
    const QStringList user = ::geteuid() == 0 && asUser
                                 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                                 : QStringList();
    const Run r = cli({"scan", "--to", "1", "--port", port}, 20000, user);
    if (held >= 0)
        ::close(held);
    QCOMPARE(r.exit, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(QStringLiteral("telvaro-cli: ") + QString(reason).replace(QStringLiteral("PORT"), port)),
             qPrintable(r.err.join(u'\n')));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
