// Display commands beside frames and telegrams, and the real program answering
// them on the pseudo-terminal, the converter port and as a gateway.

#include "simprocess.h"
#include "tst_display.h"

#include "busfile.h"
#include "displaylink.h"
#include "frames.h"
#include "gateway.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace displaytest;
namespace gw = mbussim::gateway;

namespace {
const QString kDisplayBus = QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/display.bus");

mbussim::Bytes toBytes(const QByteArray &a)
{
    return mbussim::Bytes(a.begin(), a.end());
}
QByteArray toArray(const mbussim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

QByteArray telegram(std::uint8_t type, const QByteArray &payload, quint16 packet = 1)
{
    return toArray(gw::buildRequest({{0, 0, 0, 1}, packet, type, toBytes(payload)}));
}

// Reads what arrives until the line has been quiet for 80 ms after the first byte.
template <typename Wait, typename Read>
QByteArray readText(Wait wait, Read read, int timeoutMs = 3000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    QElapsedTimer quiet;
    while (!deadline.hasExpired() && (got.isEmpty() || quiet.elapsed() < 80)) {
        wait(20);
        const QByteArray more = read();
        if (!more.isEmpty()) {
            got += more;
            quiet.start();
        }
    }
    return got;
}

QByteArray readSocket(QTcpSocket &s)
{
    return readText([&s](int ms) { s.waitForReadyRead(ms); }, [&s] { return s.readAll(); });
}

QByteArray readFd(int fd)
{
    return readText(
        [fd](int ms) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, ms);
        },
        [fd] {
            char buffer[1024];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            return n > 0 ? QByteArray(buffer, n) : QByteArray();
        });
}

QByteArray readCount(QTcpSocket &s, int n)
{
    QByteArray got;
    QDeadlineTimer deadline(5000);
    while (got.size() < n && !deadline.hasExpired()) {
        if (s.bytesAvailable() == 0)
            s.waitForReadyRead(50);
        got += s.read(n - got.size());
    }
    return got;
}

gw::ReadReply readTelegram(QTcpSocket &s)
{
    return gw::readReply(toBytes(readCount(s, 300)));
}
} // namespace

void TestDisplay::splitter_data()
{
    QTest::addColumn<bool>("gateway");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames"); // frames, or telegrams on a gateway
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("dropped");
    const QByteArray nke = QByteArray::fromHex("107B017C16");
    const QByteArray lettered = QByteArray::fromHex("6804046853FE5147E916"); // 'S' and 'G' inside
    const QByteArray t = telegram(gw::kDisplaySection, "GET ADDR");
    using L = QList<QByteArray>;
    QTest::newRow("command") << false << L{"GET ADDR"} << L{} << QByteArray("GET ADDR") << 0;
    QTest::newRow("command in pieces") << false << L{"GE", "T A", "DDR"} << L{} << QByteArray("GET ADDR") << 0;
    QTest::newRow("frame, then command") << false << L{nke + "SET LOCK"} << L{nke} << QByteArray("SET LOCK") << 0;
    QTest::newRow("E5, then command") << false
                                      << L{"\xE5"
                                           "DEL ENTR=4"}
                                      << L{"\xE5"} << QByteArray("DEL ENTR=4") << 0;
    QTest::newRow("letters inside a frame") << false << L{lettered} << L{lettered} << QByteArray() << 0;
    QTest::newRow("letters inside a split frame")
        << false << L{lettered.left(5), lettered.mid(5)} << L{lettered} << QByteArray() << 0;
    QTest::newRow("junk, then command") << false << L{"\x33\x99GET MAIN"} << L{} << QByteArray("GET MAIN") << 0;
    QTest::newRow("frame bytes after a command are text")
        << false << L{"SET TEXT=5,", nke} << L{} << "SET TEXT=5," + nke << 0;
    QTest::newRow("overlong command") << false << L{QByteArray(250, 'S'), QByteArray(150, 'S')} << L{}
                                      << QByteArray(300, 'S') << 100;
    QTest::newRow("telegram, then bare command") << true << L{t + "GET ADDR"} << L{t} << QByteArray("GET ADDR") << 0;
    QTest::newRow("telegram split before its text") << true << L{t.left(16), t.mid(16)} << L{t} << QByteArray() << 0;
    QTest::newRow("bare command alone") << true << L{"SET ENTR=30"} << L{} << QByteArray("SET ENTR=30") << 0;
    QTest::newRow("junk is a telegram's start")
        << true << L{"\x01" + QByteArray(299, 'G')} << L{"\x01" + QByteArray(299, 'G')} << QByteArray() << 0;
}

void TestDisplay::splitter()
{
    QFETCH(bool, gateway);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, command);
    QFETCH(int, dropped);
    mbussim::CommandSplitter splitter;
    mbussim::Framer framer;
    gw::Assembler assembler;
    QList<QByteArray> got;
    for (const QByteArray &chunk : chunks) {
        if (gateway) {
            for (const mbussim::Bytes &t : splitter.push(toBytes(chunk), assembler))
                got << toArray(t);
        } else {
            for (const mbussim::FramerEvent &e : splitter.push(toBytes(chunk), framer))
                if (e.kind == mbussim::FramerEvent::Kind::Frame)
                    got << toArray(e.bytes);
        }
    }
    QCOMPARE(got, frames);
    QCOMPARE(splitter.gathering(), !command.isEmpty());
    const mbussim::CommandSplitter::Command c = splitter.endCommand();
    QCOMPARE(QByteArray::fromStdString(c.text), command);
    QCOMPARE(int(c.dropped), dropped);
    QVERIFY(!splitter.gathering());
}

void TestDisplay::gatewaySection()
{
    mbussim::Bus bus({});
    const auto ask = [&bus](mbussim::Display &d, const QByteArray &command, std::vector<std::string> *notes = nullptr) {
        gw::Gateway gateway(bus, {0, 0, 0, 1});
        gateway.setDisplayHandler(
            [&d](mbussim::ByteView c, std::vector<std::string> &n) { return mbussim::displaySection(d, c, n); });
        gw::Exchange ex = gateway.handle(toBytes(telegram(gw::kDisplaySection, command)));
        if (notes)
            *notes = ex.notes;
        return gw::readReply(gw::buildReply(ex.reply));
    };
    mbussim::Display tev = display("[display]\nentry = 1, m3, 2.5\n", {{mbussim::DisplayFault::Silent, 100, 9}});
    gw::ReadReply r = ask(tev, "GET ENTR=1,1");
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(r.type, gw::kDisplaySection);
    QCOMPARE(r.status, gw::Status{});
    QCOMPARE(readEntry(std::string(r.payload.begin(), r.payload.end())).start, QString("2.5"));
    r = ask(tev, "SET ENTR=9"); // a display that does not answer: a timeout, like a silent meter
    QCOMPARE(r.type, gw::kStatusSection);
    QCOMPARE(r.status, (gw::Status{1, 0, gw::kErrTimeout}));

    // Lists too long for a telegram are cut between whole addresses.
    mbussim::Display rux = display("[display]\nmodel = RUX\n");
    mbussim::Display odd = display("[display]\n");
    for (int a = 1; a <= 250; ++a) {
        rux.execute("SET ENTR=" + std::to_string(a));
        if (a % 2)
            odd.execute("SET ENTR=" + std::to_string(a));
    }
    for (mbussim::Display *d : {&rux, &odd}) {
        std::vector<std::string> notes;
        r = ask(*d, "GET ADDR", &notes);
        QCOMPARE(r.status, gw::Status{});
        QVERIFY(r.payload.size() <= gw::kMaxReplyPayload && r.payload.size() > 200);
        const std::optional<QStringList> list = readAddresses(std::string(r.payload.begin(), r.payload.end()));
        QVERIFY(list && !list->isEmpty());
        const int step = d == &rux ? 1 : 2;
        for (qsizetype i = 0; i < list->size(); ++i)
            QCOMPARE(list->at(i), QString::number(1 + step * int(i)));
        QVERIFY(
            std::any_of(notes.begin(), notes.end(), [](const std::string &n) { return n.find("cut to") != n.npos; }));
    }
}

void TestDisplay::ptyAndConverter_data()
{
    QTest::addColumn<bool>("pty");
    QTest::newRow("pseudo-terminal") << true;
    QTest::newRow("converter") << false;
}

void TestDisplay::ptyAndConverter()
{
    QFETCH(bool, pty);
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyDISPLAY");
    Sim sim(pty ? QStringList{"--bus", kDisplayBus, "--pty", link} : QStringList{"--bus", kDisplayBus, "--tcp", "0"});
    const QString started = sim.waitForLine(pty ? "PTY " : "TCP ");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    int fd = -1;
    QTcpSocket socket;
    if (pty) {
        fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    } else {
        socket.connectToHost(QHostAddress::LocalHost, quint16(started.section(':', -1).toUInt()));
        QVERIFY(socket.waitForConnected(3000));
    }
    const auto exchange = [&](const QByteArray &request, qint64 *ms = nullptr) {
        QElapsedTimer clock;
        clock.start();
        if (pty) {
            if (::write(fd, request.constData(), size_t(request.size())) != request.size())
                return QByteArray("write failed");
        } else {
            socket.write(request);
            socket.flush();
        }
        const QByteArray reply = pty ? readFd(fd) : readSocket(socket);
        if (ms)
            *ms = clock.elapsed() - 80; // less the quiet time the reading waits for
        return reply;
    };
    qint64 fastest = 1000;
    for (int i = 0; i < 3; ++i) {
        qint64 ms = 0;
        QCOMPARE(exchange("GET ADDR", &ms), QByteArray("Active devices: 1-12"));
        fastest = std::min(fastest, ms);
    }
    QVERIFY2(fastest < 100, qPrintable(QString::number(fastest)));
    // the meters beside the display still answer
    const QByteArray rsp = exchange(QByteArray::fromHex("107B027D16"));
    QVERIFY2(mbussim::longFrameChecksOut(toBytes(rsp)), rsp.toHex(' ').constData());
    QCOMPARE(exchange("SET ENTR=20"), QByteArray("Device 20 Active"));
    QCOMPARE(exchange("GET ADDR"), QByteArray("Active devices: 1-12,20"));
    QCOMPARE(readUser(exchange("GET ENTR=4,2").toStdString()), (QStringList{"4", "Laundry water"}));
    if (fd >= 0)
        ::close(fd);
    QVERIFY(!sim.waitForLine("RX display SET ENTR=20").isEmpty());
    QVERIFY(!sim.waitForLine("TX display Device 4 | User #: 4 | Text: Laundry water").isEmpty());
}

void TestDisplay::gatewayServer()
{
    Sim sim({"--bus", kDisplayBus, "--gateway-server", "0", "--display-fault", "silent@3"});
    const QString started = sim.waitForLine("GATEWAY ");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(started.section(':', -1).toUInt()));
    QVERIFY(socket.waitForConnected(3000));

    socket.write(telegram(gw::kDisplaySection, "GET ENTR=2,1", 1));
    gw::ReadReply r = readTelegram(socket);
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(r.type, gw::kDisplaySection);
    const EntryValues e = readEntry(std::string(r.payload.begin(), r.payload.end()));
    QCOMPARE(e.multDiv + " " + e.start + " " + e.total, QString("10/1 400.0 487.5"));

    socket.write(telegram(gw::kDisplaySection, "GET ENTR=3,1", 2));
    QCOMPARE(readTelegram(socket).status, (gw::Status{1, 0, gw::kErrTimeout}));
    socket.write(telegram(gw::kMbusSection, QByteArray::fromHex("107B037E16"), 3));
    r = readTelegram(socket);
    QCOMPARE(r.type, gw::kMbusSection);
    QVERIFY(mbussim::longFrameChecksOut(r.payload));
    QVERIFY(!sim.waitForLine("-- the display does not answer (--display-fault silent)").isEmpty());
}

void TestDisplay::gatewayConnect()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Sim sim({"--bus", kDisplayBus, "--gateway-connect", "127.0.0.1:" + QString::number(server.serverPort())});
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *socket = server.nextPendingConnection();
    QVERIFY(readTelegram(*socket).ok()); // the greeting

    socket->write(telegram(gw::kDisplaySection, "GET ADDR", 1));
    gw::ReadReply r = readTelegram(*socket);
    QCOMPARE(toArray(r.payload), QByteArray("Active devices: 1-12"));
    // The master's listening socket sends display commands unwrapped; the answer comes in a telegram.
    socket->write("SET ENTR=30");
    r = readTelegram(*socket);
    QCOMPARE(r.type, gw::kDisplaySection);
    QCOMPARE(toArray(r.payload), QByteArray("Device 30 Active"));
    socket->write(telegram(gw::kMbusSection, QByteArray::fromHex("1040014116"), 2));
    QCOMPARE(toArray(readTelegram(*socket).payload), QByteArray::fromHex("E5"));
    socket->write("GET HIST=5,3");
    r = readTelegram(*socket);
    QCOMPARE(readHistory(std::string(r.payload.begin(), r.payload.end())).month, QByteArray("Mar"));
    socket->write(telegram(gw::kDisplaySection, "GET ADDR", 3));
    QCOMPARE(toArray(readTelegram(*socket).payload), QByteArray("Active devices: 1-12,30"));
}

void TestDisplay::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown fault") << QStringList{"--bus", kDisplayBus, "--tcp", "0", "--display-fault", "loud"}
                                   << "--display-fault: must be";
    QTest::newRow("fault for address 300")
        << QStringList{"--bus", kDisplayBus, "--tcp", "0", "--display-fault", "silent@300"}
        << "--display-fault: must be";
    QTest::newRow("fault without a display")
        << QStringList{"--bus", kDemoBus, "--tcp", "0", "--display-fault", "silent"} << "needs a [display] block";
}

void TestDisplay::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QProcess p;
    p.start(kProgram, arguments);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains(error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestDisplay)
