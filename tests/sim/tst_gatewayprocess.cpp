// The real mbus-sim program as a gateway: a server the test connects to, and a
// client that connects to the test's listening socket as a field gateway does.

#include "simprocess.h"
#include "tst_sim.h"

#include "frames.h"
#include "gateway.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace gw = mbussim::gateway;

namespace {
mbussim::Bytes toBytes(const QByteArray &a)
{
    return mbussim::Bytes(a.begin(), a.end());
}

QByteArray telegram(const char *payloadHex, quint16 packet)
{
    const mbussim::Bytes t = gw::buildRequest(
        {{0, 0, 0, 1}, packet, gw::kMbusSection, toBytes(QByteArray::fromHex(payloadHex))});
    return QByteArray(reinterpret_cast<const char *>(t.data()), qsizetype(t.size()));
}

// Reads until `n` bytes have come or the time is up.
QByteArray readBytes(QTcpSocket &socket, int n, int timeoutMs = 5000)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < n && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0)
            socket.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
        got += socket.read(n - got.size());
    }
    return got;
}

gw::ReadReply readReply(QTcpSocket &socket)
{
    const QByteArray t = readBytes(socket, 300);
    if (t.size() != 300)
        return {"only " + std::to_string(t.size()) + " bytes", {}, 0, {}, {}};
    return gw::readReply(toBytes(t));
}

void send(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    socket.waitForBytesWritten(1000);
}

quint16 portOf(const QString &startLine)
{
    return quint16(startLine.section(':', -1).toUInt());
}

int run(const QStringList &arguments, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(kProgram, arguments);
    if (!p.waitForFinished(10000))
        return -1;
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}
} // namespace

void TestSim::gatewayServerExchange()
{
    Sim sim({"--bus", kDemoBus, "--gateway-server", "0", "--net", "10.0.0.7", "--split", "--seed", "5"});
    const QString started = sim.waitForLine("GATEWAY ");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    QVERIFY2(started.startsWith("GATEWAY net 10.0.0.7 at 127.0.0.1:"), qPrintable(started));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, portOf(started));
    QVERIFY(socket.waitForConnected(3000));

    // one telegram in two pieces; the reply comes split and is read whole
    const QByteArray first = telegram("107B017C16", 1);
    send(socket, first.left(200));
    QTest::qWait(30);
    send(socket, first.mid(200));
    gw::ReadReply reply = readReply(socket);
    QVERIFY2(reply.ok(), reply.error.c_str());
    QCOMPARE(reply.net, (gw::NetworkNumber{10, 0, 0, 7}));
    QVERIFY(mbussim::longFrameChecksOut(reply.payload));
    QCOMPARE(int(reply.payload[5]), 1);
    QCOMPARE(reply.status, gw::Status{});

    // two telegrams in one write: an acknowledgement, then nobody at 99
    send(socket, telegram("1040014116", 2) + telegram("107B63DE16", 3));
    reply = readReply(socket);
    QCOMPARE(reply.payload, mbussim::Bytes{0xE5});
    reply = readReply(socket);
    QCOMPARE(reply.type, gw::kStatusSection);
    QCOMPARE(reply.status, (gw::Status{1, 0, gw::kErrTimeout}));

    QByteArray broken = telegram("1040014116", 4);
    broken[298] = char(broken[298] + 1);
    send(socket, broken);
    QCOMPARE(readReply(socket).status, (gw::Status{1, gw::kErrTelegramChecksum, 0}));

    // 310 bytes: the telegram is served, the 10 bytes after it start the next one
    send(socket, telegram("1040024216", 5) + QByteArray(10, char(0xEE)));
    QCOMPARE(readReply(socket).payload, mbussim::Bytes{0xE5});
    send(socket, telegram("1040024216", 6).left(290));
    reply = readReply(socket);
    QVERIFY2(reply.ok(), reply.error.c_str());
    QVERIFY(reply.status.firstError & gw::kErrStart);

    QVERIFY(!sim.waitForLine("RX telegram #1 A8 10 7B 01 7C 16").isEmpty());
    QVERIFY(!sim.waitForLine("TX telegram #1 A8 68 ").isEmpty());
    QVERIFY(!sim.waitForLine("TX telegram #3 A5 result 1, first error 00, second error 02").isEmpty());
    QVERIFY(!sim.waitForLine("-- bad telegram #4: telegram checksum").isEmpty());
}

void TestSim::gatewayServerFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("error"); // what the program's reading trips on
    QTest::addColumn<int>("size");      // bytes that arrive
    QTest::newRow("bad checksum") << "bad-checksum"
                                  << "telegram checksum" << 300;
    QTest::newRow("bad start") << "bad-start"
                               << "start byte" << 300;
    QTest::newRow("oversize") << "oversize"
                              << "" << 310;
    QTest::newRow("silent") << "silent"
                            << "" << 0;
    QTest::newRow("never") << "bad-start:0"
                           << "" << 300;
}

void TestSim::gatewayServerFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, error);
    QFETCH(int, size);
    Sim sim({"--bus", kDemoBus, "--gateway-server", "0", "--gateway-fault", fault});
    const QString started = sim.waitForLine("GATEWAY ");
    QVERIFY2(!started.isEmpty(), qPrintable(sim.process().readAllStandardError()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, portOf(started));
    QVERIFY(socket.waitForConnected(3000));
    send(socket, telegram("1040014116", 1));
    if (size == 0) {
        QVERIFY(!sim.waitForLine("-- no reply to #1 (--gateway-fault silent)").isEmpty());
        QVERIFY(!socket.waitForReadyRead(200));
        return;
    }
    const QByteArray got = readBytes(socket, 320, 1500);
    QCOMPARE(got.size(), size);
    QCOMPARE(QString::fromStdString(gw::readReply(toBytes(got.left(300))).error), error);
}

void TestSim::gatewayConnectGreetsAndReconnects()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    Sim sim({"--bus", kDemoBus, "--gateway-connect", QString("127.0.0.1:%1").arg(port), "--reconnect", "100", "--net",
             "0.0.0.9"});
    QVERIFY2(!sim.waitForLine(QString("GATEWAY net 0.0.0.9 to 127.0.0.1:%1").arg(port)).isEmpty(),
             qPrintable(sim.process().readAllStandardError()));

    const auto greeted = [&server](QTcpSocket *&socket) {
        if (!server.waitForNewConnection(5000))
            return false;
        socket = server.nextPendingConnection();
        const gw::ReadReply greeting = readReply(*socket);
        return greeting.ok() && greeting.type == gw::kStatusSection && greeting.status == gw::Status{}
               && greeting.net == gw::NetworkNumber{0, 0, 0, 9};
    };
    // served, dropped by us (as the program's idle timer does), back again
    QTcpSocket *socket = nullptr;
    QVERIFY(greeted(socket));
    send(*socket, telegram("107B027D16", 1));
    const gw::ReadReply reply = readReply(*socket);
    QVERIFY(mbussim::longFrameChecksOut(reply.payload));
    QCOMPARE(int(reply.payload[5]), 2);
    socket->disconnectFromHost();
    delete socket;
    QVERIFY(greeted(socket));

    // nobody listens for a while: refused, tried again, connected once we listen
    server.close();
    socket->disconnectFromHost();
    delete socket;
    QVERIFY(!sim.waitForLine(QString("-- cannot connect to 127.0.0.1:%1").arg(port)).isEmpty());
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QVERIFY(greeted(socket));
    delete socket;
    QVERIFY(sim.process().state() == QProcess::Running);
}

void TestSim::gatewayConnectEndsWithConnection()
{
    // without --reconnect: a refused connect is an error, a closed connection the end
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    const QString where = QString("127.0.0.1:%1").arg(port);
    server.close();
    QByteArray err;
    QCOMPARE(run({"--bus", kDemoBus, "--gateway-connect", where}, &err), 1);
    QVERIFY2(err.contains("cannot connect"), err.constData());

    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    Sim sim({"--bus", kDemoBus, "--gateway-connect", where, "--quiet"});
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *socket = server.nextPendingConnection();
    QVERIFY(readReply(*socket).ok());
    socket->disconnectFromHost();
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 0);
    QCOMPARE(sim.output().count('\n'), 1); // --quiet: the start-up line only
    delete socket;
}

void TestSim::gatewayCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("two modes") << QStringList{"--gateway-server", "0", "--tcp", "0"};
    QTest::newRow("connect without port") << QStringList{"--gateway-connect", "127.0.0.1"};
    QTest::newRow("connect to port 0") << QStringList{"--gateway-connect", "127.0.0.1:0"};
    QTest::newRow("net of three parts") << QStringList{"--gateway-server", "0", "--net", "1.2.3"};
    QTest::newRow("net for the converter") << QStringList{"--tcp", "0", "--net", "1.2.3.4"};
    QTest::newRow("unknown fault") << QStringList{"--gateway-server", "0", "--gateway-fault", "loud"};
    QTest::newRow("fault above 100%") << QStringList{"--gateway-server", "0", "--gateway-fault", "silent:101"};
    QTest::newRow("reconnect for the server") << QStringList{"--gateway-server", "0", "--reconnect", "100"};
}

void TestSim::gatewayCommandLine()
{
    QFETCH(QStringList, arguments);
    QByteArray err;
    QCOMPARE(run(QStringList{"--bus", kDemoBus} + arguments, &err), 2);
    QVERIFY2(err.startsWith("mbus-sim: "), err.constData());
}
