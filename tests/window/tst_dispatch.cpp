// The dispatch and the custom command on the serial route: exact bytes on a
// test-made pseudo-terminal, and real replies from the simulator.

#include "languages.h"
#include "link/link_dispatch.h"
#include "link/serial_port.h"
#include "mbus/frames.h"
#include "ops/custom_command.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <termios.h>

namespace {

struct LinesLog : CommLog {
    QStringList lines;
    void addLine(const QString &line) override { lines << line; }
    bool contains(const QString &line) const { return lines.contains(line); }
};

// One serial route with everything the dispatch reads around it.
struct SerialRig {
    explicit SerialRig(const QString &port, const QString &speed = QStringLiteral("2400"),
                       const QString &parity = QStringLiteral("Even"))
    {
        link.portName = port;
        link.speed = speed;
        link.parity = parity;
        LinkDispatch::Environment env;
        env.settings = [this] { return link; };
        env.isAdministrator = [this] { return administrator; };
        dispatch = std::make_unique<LinkDispatch>(comm, log, env);
        QObject::connect(dispatch.get(), &LinkDispatch::serialStatusChanged, [this](const QString &t) { status = t; });
        session = std::make_unique<BusSession>(*dispatch, log, table);
        session->options = [] {
            BusOptions options;
            options.responseTimeoutMs = 300;
            return options;
        };
        command = std::make_unique<CustomCommand>(*session);
    }

    LinkSettings link;
    bool administrator = true;
    QString status;
    SerialPort comm;
    LinesLog log;
    std::unique_ptr<LinkDispatch> dispatch;
    decode::DeviceTable table;
    std::unique_ptr<BusSession> session;
    std::unique_ptr<CustomCommand> command;
};

} // namespace

class TstDispatch : public QObject {
    Q_OBJECT
private slots:
    void hexCommandBytes_data();
    void hexCommandBytes();
    void asciiCommandRoundTrip();
    void portQuirks_data();
    void portQuirks();
    void absentPort_data();
    void absentPort();
    void sentLineOnlyForAdministrators();
    void collectWithClosedPortSaysNoConnection();
    void vanishedDeviceIsReported();
    void customCommandRepliesFromSimulator_data();
    void customCommandRepliesFromSimulator();
};

// clang-format off
void TstDispatch::hexCommandBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QString twoSymbols = QStringLiteral("Wrong custom hex command, 2 symbols at least...");
    const QString upperCase = QStringLiteral("Wrong custom hex command, 0..F uppercase allowed");
    QTest::newRow("frame") << "10 5B FE 59 16" << QByteArray::fromHex("105BFE5916") << QString();
    QTest::newRow("single digits") << "1 2" << QByteArray::fromHex("0102") << QString();
    QTest::newRow("long token cut") << "ABC" << QByteArray::fromHex("AB") << QString();
    QTest::newRow("two spaces") << "10  7B" << QByteArray::fromHex("107B") << QString();
    QTest::newRow("leading space") << " 7B" << QByteArray::fromHex("7B") << QString();
    QTest::newRow("one symbol") << "A" << QByteArray() << twoSymbols;
    QTest::newRow("lower case") << "10 5b" << QByteArray() << upperCase;
    QTest::newRow("garbage") << "10 ZZ" << QByteArray() << upperCase;
    QTest::newRow("tab") << "10\t7B" << QByteArray() << upperCase;
}
// clang-format on

void TstDispatch::hexCommandBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);

    const HexCommand parsed = parseHexCommand(text);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.bytes, bytes);

    // The same text typed into the custom command reaches the wire byte for byte.
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialRig rig(pty.slavePath());
    rig.command->send(text, false);
    if (!error.isEmpty()) {
        QCOMPARE(rig.log.lines, QStringList{error});
        QVERIFY(!rig.command->running());
        return;
    }
    QCOMPARE(pty.read(int(bytes.size())), bytes);
    QVERIFY(rig.command->running());
    QTRY_VERIFY(!rig.command->running()); // one timeout later the link use ends
    QVERIFY(!rig.dispatch->portOpen());
}

void TstDispatch::asciiCommandRoundTrip()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialRig rig(pty.slavePath());
    rig.command->send(QStringLiteral("READ 01\r"), true);
    QCOMPARE(pty.read(8), QByteArray("READ 01\r"));
    pty.write("OK 1234");
    QTRY_VERIFY(rig.log.contains(QStringLiteral("OK 1234")));
    QVERIFY(!rig.dispatch->portOpen());
}

// clang-format off
void TstDispatch::portQuirks_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<int>("expectedSpeed");
    QTest::addColumn<int>("expectedParity"); // termios c_cflag parity bits
    const int even = PARENB, odd = PARENB | PARODD;
    QTest::newRow("9600 None") << "9600" << "None" << int(B9600) << 0;
    QTest::newRow("300 Odd") << "300" << "Odd" << int(B300) << odd;
    QTest::newRow("1200 opens at 2400") << "1200" << "Even" << int(B2400) << even;
    QTest::newRow("19200 Mark") << "19200" << "Mark" << int(B19200) << int(PARENB | CMSPAR | PARODD);
    QTest::newRow("4800 Space") << "4800" << "Space" << int(B4800) << int(PARENB | CMSPAR);
    QTest::newRow("lower case none is even") << "2400" << "none" << int(B2400) << even;
    QTest::newRow("lower case odd is even") << "2400" << "odd" << int(B2400) << even;
}
// clang-format on

void TstDispatch::portQuirks()
{
    QFETCH(QString, speed);
    QFETCH(QString, parity);
    QFETCH(int, expectedSpeed);
    QFETCH(int, expectedParity);
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialRig rig(pty.slavePath(), speed, parity);
    rig.dispatch->toggleSerialPort();
    QVERIFY(rig.dispatch->portOpen());
    const QString openLine = pty.slavePath() + QStringLiteral(" - ") + speed + QStringLiteral(",8,") + parity;
    QCOMPARE(rig.log.lines, QStringList{openLine});
    QCOMPARE(rig.status, openLine);

    termios tio{};
    QCOMPARE(::tcgetattr(pty.master(), &tio), 0);
    QCOMPARE(int(cfgetospeed(&tio)), expectedSpeed);
    // A pseudo-terminal drops PARENB but keeps PARODD and CMSPAR: what it
    // keeps must be ours.
    const int parityBits = int(tio.c_cflag & (PARENB | PARODD | CMSPAR));
    QCOMPARE(parityBits & ~expectedParity, 0);

    rig.dispatch->toggleSerialPort();
    QVERIFY(!rig.dispatch->portOpen());
    QCOMPARE(rig.status, pty.slavePath() + QStringLiteral(" is closed"));
}

// clang-format off
void TstDispatch::absentPort_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("held"); // the port exists but another program holds it
    QTest::addColumn<QString>("lineStart");
    QTest::newRow("missing device") << Language::English << false << "The selected serial port (PORT) was not found!";
    QTest::newRow("English") << Language::English << true
                             << "The selected serial port (PORT) is in use by another program!";
    QTest::newRow("Italian") << Language::Italian << true
                             << "La porta selezionata (PORT) e utilizzata da un\"altra applicazione!";
    QTest::newRow("Polish") << Language::Polish << true
                            << QStringLiteral("Wybrany port jest u\u017Cywany przez inny program");
}
// clang-format on

void TstDispatch::absentPort()
{
    QFETCH(Language, language);
    QFETCH(bool, held);
    QFETCH(QString, lineStart);
    languages::install(language);
    const auto backToEnglish = qScopeGuard([] { languages::install(Language::English); });
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString port = held ? pty.slavePath() : QStringLiteral("/nonexistent/ttyX");
    int holder = -1;
    if (held) {
        holder = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
    }
    SerialRig rig(port);
    QVERIFY(!rig.dispatch->beginLinkUse());
    QCOMPARE(rig.log.lines.size(), 1);
    lineStart.replace(QStringLiteral("PORT"), port);
    QVERIFY2(rig.log.lines[0].startsWith(lineStart), qPrintable(rig.log.lines[0]));
    // The status bar speaks the window's language too.
    const QString closed = language == Language::Italian  ? QStringLiteral(" \u00E8 chiusa")
                           : language == Language::Polish ? QStringLiteral(" jest zamkni\u0119ty")
                                                          : QStringLiteral(" is closed");
    QCOMPARE(rig.status, port + closed);
    // A command on that port stops without a timer and without more lines.
    rig.command->send(QStringLiteral("10 40 01 41 16"), false);
    QVERIFY(!rig.command->running());
    if (holder >= 0)
        ::close(holder);
}

void TstDispatch::sentLineOnlyForAdministrators()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialRig rig(pty.slavePath());
    QVERIFY(rig.dispatch->beginLinkUse());
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QCOMPARE(rig.log.lines.last(), QStringLiteral("Sent:10 7B 01 7C 16 "));
    QCOMPARE(pty.read(5), QByteArray::fromHex("107B017C16"));

    rig.administrator = false;
    const int before = int(rig.log.lines.size());
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QCOMPARE(rig.log.lines.size(), before);

    // A refused request sends nothing and says why.
    QVERIFY(!rig.dispatch->sendFrame(mbus::buildIdChange(1, "12AB")));
    QVERIFY(rig.log.lines.last().startsWith(QStringLiteral("Incorrect ID")));
    QCOMPARE(pty.drain(), QByteArray::fromHex("107B017C16"));
    rig.dispatch->endLinkUse();
    QVERIFY(!rig.dispatch->portOpen());
}

void TstDispatch::collectWithClosedPortSaysNoConnection()
{
    SerialRig rig(QStringLiteral("/nonexistent/ttyX"));
    QVERIFY(rig.dispatch->collectReply().isEmpty());
    QCOMPARE(rig.log.lines, QStringList{QStringLiteral("No valid connection...")});
}

void TstDispatch::vanishedDeviceIsReported()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    SerialRig rig(pty->slavePath());
    QVERIFY(rig.dispatch->beginLinkUse());
    QSignalSpy lost(rig.dispatch.get(), &LinkDispatch::linkLost);
    const int before = int(rig.log.lines.size());
    pty.reset(); // the converter is unplugged
    // The write fails: the port is closed at once, and the operation hears
    // of it from the event loop, as of a converter's hang-up.
    QVERIFY(!rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QVERIFY(rig.dispatch->linkGone());
    QVERIFY(!rig.dispatch->portOpen());
    QVERIFY(rig.status.endsWith(QStringLiteral(" is closed")));
    QVERIFY(!rig.dispatch->sendFrame(mbus::buildReqUd2(2, false)));
    QVERIFY(rig.dispatch->collectReply().isEmpty());
    rig.dispatch->discardPendingReply();
    QCOMPARE(lost.size(), 0);
    QVERIFY(lost.wait(1000));
    QCOMPARE(rig.log.lines.mid(before),
             QStringList({QStringLiteral("The serial port %1 is gone (%2)...")
                              .arg(rig.link.portName, QString::fromLocal8Bit(std::strerror(EIO))),
                          QStringLiteral("The connection was lost, the operation is stopped...")}));
    rig.dispatch->endLinkUse();
    QVERIFY(!rig.dispatch->beginLinkUse()); // the device is not there to open again
}

// clang-format off
void TstDispatch::customCommandRepliesFromSimulator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("replyPattern");
    QTest::newRow("REQ_UD2 to 1") << "10 7B 01 7C 16" << "^68 ([0-9A-F]{2}) \\1 68 08 01 72 ([0-9A-F]{2} )+16 $";
    QTest::newRow("SND_NKE to 1") << "10 40 01 41 16" << "^E5 $";
    QTest::newRow("broadcast SND_NKE") << "10 40 FE 3E 16" << "^E5 $";
    QTest::newRow("no meter at 99") << "10 7B 63 DE 16" << QString();
    QTest::newRow("garbage") << "1 2" << QString();
}
// clang-format on

void TstDispatch::customCommandRepliesFromSimulator()
{
    QFETCH(QString, text);
    QFETCH(QString, replyPattern);
    SimProcess sim(SimProcess::demoBus());
    QVERIFY2(sim.isReady(), "mbus-sim did not start");
    SerialRig rig(sim.link());
    rig.command->send(text, false);
    QVERIFY2(rig.command->running(), qPrintable(rig.log.lines.join(u'|')));
    QTRY_VERIFY(!rig.command->running());
    const QStringList replies = rig.log.lines.mid(1); // after the port line
    if (replyPattern.isEmpty()) {
        QVERIFY2(replies.isEmpty(), qPrintable(replies.join(u'|')));
    } else {
        QCOMPARE(replies.size(), 1);
        QVERIFY2(QRegularExpression(replyPattern).match(replies[0]).hasMatch(), qPrintable(replies[0]));
    }
}

QTEST_GUILESS_MAIN(TstDispatch)
#include "tst_dispatch.moc"
