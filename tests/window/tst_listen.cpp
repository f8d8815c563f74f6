// Gateways that call the listening socket: reassembly per connection, which
// connection is the gateway and whose telegrams are answers, resets and
// closes, idle connections, and what a flood of junk costs.

#include "devices_page.h"
#include "gateway.h"
#include "link/link_dispatch.h"
#include "link/listen_socket.h"
#include "link/serial_port.h"
#include "main_window.h"
#include "mbus/frames.h"
#include "ops/bus_session.h"
#include "sim_process.h"
#include "tcp_peers.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

namespace {

// A reply telegram from gateway 0.0.0.9: a status alone, or data and status.
QByteArray telegram(const std::optional<QByteArray> &payload = std::nullopt)
{
    mbussim::gateway::Reply reply;
    reply.net = {0, 0, 0, 9};
    if (payload)
        reply.payload = mbus::Bytes(payload->begin(), payload->end());
    const mbus::Bytes bytes = mbussim::gateway::buildReply(reply);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

// The dispatch alone on the listen route, its listening socket open.
struct ListenRig {
    ListenRig()
    {
        settings.route = LinkRoute::Listen;
        settings.listenPort = QString::number(freePort());
        LinkDispatch::Environment env;
        env.settings = [this] { return settings; };
        env.isAdministrator = [] { return true; };
        dispatch = std::make_unique<LinkDispatch>(comm, log, env);
        QObject::connect(dispatch.get(), &LinkDispatch::firstGatewayTelegram, [this] { ++autoReads; });
        dispatch->openListeningIfWanted();
    }
    ListenSocket &listen() { return dispatch->listenSocket(); }
    // A peer connected from `from` and accepted.
    bool connectPeer(QTcpSocket &peer, const QHostAddress &from = QHostAddress::LocalHost)
    {
        const int before = listen().connectionCount();
        peer.bind(from);
        peer.connectToHost(QHostAddress::LocalHost, settings.listenPort.toUShort());
        return peer.waitForConnected(3000)
               && QTest::qWaitFor([&] { return listen().connectionCount() == before + 1; }, 3000);
    }
    // What the peer was sent, waited for.
    static QByteArray received(QTcpSocket &peer, int size)
    {
        if (!QTest::qWaitFor([&] { return peer.bytesAvailable() >= size; }, 3000))
            return {};
        return peer.readAll();
    }

    LinkSettings settings;
    SerialPort comm;
    Lines log;
    int autoReads = 0;
    std::unique_ptr<LinkDispatch> dispatch;
};

const QHostAddress kOtherHost(QStringLiteral("127.0.0.2"));

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

class TstListen : public QObject {
    Q_OBJECT
private slots:
    void listenReassembly_data();
    void listenReassembly();
    void listenCrosstalkIgnored();
    void listenResetsKeepState();
    void floodKeepsMemoryBounded();
};

void TstListen::listenReassembly_data()
{
    QTest::addColumn<QList<int>>("pieces"); // how the peer cuts its bytes
    QTest::addColumn<int>("telegrams");     // "Device " lines
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("200 + 100") << QList<int>{200, 100} << 1 << QStringList();
    QTest::newRow("200 + 150") << QList<int>{200, 150} << 0 << QStringList{"Wrong byte count in the telegram, 350"};
    QTest::newRow("310 at once, then the rest") << QList<int>{310, 290} << 2 << QStringList();
}

void TstListen::listenReassembly()
{
    QFETCH(QList<int>, pieces);
    QFETCH(int, telegrams);
    QFETCH(QStringList, errors);
    ListenRig rig;
    QVERIFY(rig.listen().listening());
    QTcpSocket peer;
    QVERIFY(rig.connectPeer(peer));
    const QByteArray stream = telegram() + telegram();
    int at = 0;
    for (int n : pieces) {
        peer.write(stream.mid(at, n));
        peer.flush();
        at += n;
        QTest::qWait(60); // separate reads
    }
    QTRY_COMPARE(rig.log.count(QStringLiteral("Device 0.0.0.9")), telegrams);
    for (const QString &error : errors)
        QTRY_VERIFY(rig.log.lines.contains(error));
    QCOMPARE(rig.log.count(QStringLiteral("Done!")), telegrams);
    // Only the first telegram of a new gateway starts the automatic read.
    QCOMPARE(rig.autoReads, telegrams > 0 ? 1 : 0);
}

// A silent first connection is outdone by one that speaks; a third one's
// status and unprompted reply are no answers. Each connection that sends
// nothing valid for the idle time is dropped, even while the gateway talks;
// the socket goes on listening.
void TstListen::listenCrosstalkIgnored()
{
    ListenRig rig;
    QTcpSocket silent, gateway, chatty;
    QVERIFY(rig.connectPeer(silent, kOtherHost));
    QVERIFY(rig.connectPeer(gateway));
    QVERIFY(rig.connectPeer(chatty, kOtherHost));
    QCOMPARE(rig.listen().peerAddress(), QStringLiteral("127.0.0.2"));
    // The accept lines name the gateway, the first connection, every time.
    QTRY_COMPARE(rig.log.lines.filter(QStringLiteral("Connected to 127.0.0.2")).size(), 3);
    QCOMPARE(rig.log.count(QStringLiteral("Incoming request...")), 3);
    gateway.write(telegram());
    QTRY_COMPARE(rig.listen().peerAddress(), QStringLiteral("127.0.0.1"));
    QVERIFY(rig.log.lines.contains(
        QStringLiteral("127.0.0.2 has said nothing, 127.0.0.1 has: requests go to 127.0.0.1 now")));

    QVERIFY(rig.dispatch->beginLinkUse());
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QCOMPARE(ListenRig::received(gateway, 300).size(), 300);
    QCOMPARE(silent.bytesAvailable() + chatty.bytesAvailable(), qint64(0));
    gateway.write(telegram(QByteArray("\xE5", 1)));
    QByteArray reply; // collected as it comes
    QTRY_VERIFY((reply += rig.dispatch->collectReply()) == QByteArray("\xE5", 1));
    chatty.write(telegram());
    chatty.write(telegram(QByteArray::fromHex("6803036808017C8516")));
    QTRY_COMPARE(rig.log.count(QStringLiteral("A telegram from 127.0.0.2 is no answer: requests go to 127.0.0.1")), 2);
    QCOMPARE(rig.dispatch->collectReply(), QByteArray()); // nothing of the other gateway got in
    rig.dispatch->endLinkUse();

    // Only the talking gateway stays.
    rig.listen().setIdleMs(400);
    QElapsedTimer talking;
    talking.start();
    while (talking.elapsed() < 1000) {
        gateway.write(telegram());
        QTest::qWait(100);
    }
    QCOMPARE(rig.listen().connectionCount(), 1);
    QCOMPARE(rig.log.count(QStringLiteral("Nothing valid from 127.0.0.2 for 0.4 s: the connection is dropped")), 2);
    QCOMPARE(rig.listen().peerAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(silent.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(gateway.state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE(rig.listen().connectionCount(), 0);
    QVERIFY(
        rig.log.lines.contains(QStringLiteral("Nothing valid from 127.0.0.1 for 0.4 s: the connection is dropped")));
    QVERIFY(rig.listen().listening());
    QVERIFY(!rig.listen().gatewayConnected());
}

// A peer that resets before it is accepted leaves no trace; closes of other
// connections leave the operation alone; the gateway's close ends it and the
// next connection takes over.
void TstListen::listenResetsKeepState()
{
    ListenRig rig;
    {
        QTcpSocket early;
        early.connectToHost(QHostAddress::LocalHost, rig.settings.listenPort.toUShort());
        QVERIFY(early.waitForConnected(3000));
        const linger reset{1, 0}; // close sends RST
        setsockopt(int(early.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        early.abort();
    }
    QTest::qWait(200);
    QVERIFY(rig.log.lines.filter(QStringLiteral("Connected to , ")).isEmpty());
    QVERIFY(!rig.listen().gatewayConnected());
    QCOMPARE(rig.listen().connectionCount(), 0);

    QTcpSocket gateway, sameHost, next;
    QVERIFY(rig.connectPeer(gateway));
    QVERIFY(rig.connectPeer(sameHost));
    QVERIFY(rig.connectPeer(next, kOtherHost));
    QSignalSpy lost(rig.dispatch.get(), &LinkDispatch::linkLost);
    QVERIFY(rig.dispatch->beginLinkUse());
    sameHost.disconnectFromHost();
    QTRY_COMPARE(rig.listen().connectionCount(), 2);
    QCOMPARE(lost.count(), 0);
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QCOMPARE(ListenRig::received(gateway, 300).size(), 300);

    gateway.disconnectFromHost();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(rig.log.lines.contains(QStringLiteral("The connection was lost, the operation is stopped...")));
    QVERIFY(rig.listen().gatewayConnected());
    QCOMPARE(rig.listen().peerAddress(), QStringLiteral("127.0.0.2"));
    QVERIFY(rig.dispatch->beginLinkUse());
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(2, false)));
    QCOMPARE(ListenRig::received(next, 300).size(), 300);
    rig.dispatch->endLinkUse();
}

// 40 MB of junk from the first connection: memory stays bounded, the log
// collapses the discard lines, and a real gateway is served at once and
// scanned through.
void TstListen::floodKeepsMemoryBounded()
{
    const QByteArray port = QByteArray::number(freePort());
    QTemporaryDir dir;
    auto window = windowWith(dir, "[Misc]\nUseEthernet=1\nRetry=0\n[Ethernet]\nPort=" + port + "\nAutoDisplay=0\n");
    window->show();
    window->dispatch().openListeningIfWanted();
    QVERIFY(window->dispatch().listenSocket().listening());

    QByteArray junk(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(20261208);
    for (char &c : junk)
        c = char(random.bounded(256));
    const qint64 before = residentKb();
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, port.toUShort());
    QVERIFY(flood.waitForConnected(3000));
    qint64 sent = 0;
    while (sent < 40 * 1024 * 1024) {
        if (flood.bytesToWrite() > 256 * 1024) { // our own side stays small too
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            continue;
        }
        const int size = random.bounded(1, 8000);
        sent += flood.write(junk.mid(random.bounded(junk.size() - size), size));
    }
    QTRY_VERIFY_WITH_TIMEOUT(flood.bytesToWrite() == 0, 30000);
    QTest::qWait(1500); // the last summary line
    const qint64 grown = residentKb() - before;
    QVERIFY2(grown < 30 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(grown)));
    const QStringList log = window->logLines();
    QVERIFY2(log.size() < 2000, qPrintable(QString::number(log.size())));
    QVERIFY(!log.filter(QRegularExpression(
                            QStringLiteral("^\\.\\.\\. [0-9,]+ more discarded telegrams from 127\\.0\\.0\\.1$")))
                 .isEmpty());

    // The flood is still connected when the real gateway speaks.
    QTcpSocket real;
    real.bind(kOtherHost);
    real.connectToHost(QHostAddress::LocalHost, port.toUShort());
    QVERIFY(real.waitForConnected(3000));
    real.write(telegram());
    QTRY_VERIFY_WITH_TIMEOUT(window->logLines().contains(QStringLiteral("Device 0.0.0.9")), 1000);
    QCOMPARE(window->dispatch().listenSocket().peerAddress(), QStringLiteral("127.0.0.2"));
    real.abort();

    SimProcess sim(SimProcess::Tcp{},
                   {QStringLiteral("--bus"), SimProcess::demoBus(), QStringLiteral("--gateway-connect"),
                    QStringLiteral("127.0.0.1:") + QString::fromLatin1(port)});
    QTRY_VERIFY_WITH_TIMEOUT(window->logLines().count(QStringLiteral("Device 0.0.0.1")) > 0, 5000);
    window->devices->fromAddressBox->setValue(2);
    window->devices->toAddressBox->setValue(2);
    QTest::mouseClick(window->devices->findPrimaryButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window->session().busy(), 10000);
    QCOMPARE(window->deviceTable().cellText(0, 0), "20071234");
}

QTEST_MAIN(TstListen)
#include "tst_listen.moc"
