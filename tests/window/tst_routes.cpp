// The TCP routes end to end: the real window scanning through a
// serial-to-TCP converter, a gateway server and gateways that connect to the
// listening socket; the listening socket against peers that send telegrams
// in pieces, too many bytes, floods, a second gateway, or nothing at all; and
// a peer that leaves in the middle of an operation.

#include "bus.h"
#include "busfile.h"
#include "devices_page.h"
#include "gateway/telegram.h"
#include "link/link_dispatch.h"
#include "link/serial_port.h"
#include "main_window.h"
#include "mbus/frames.h"
#include "ops/bus_session.h"
#include "ops/primary_scan.h"
#include "settings_dialog.h"
#include "sim_process.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class Lines : public CommLog {
public:
    void addLine(const QString &line) override { lines << line; }
    QStringList lines;
};

// A free TCP port on this machine.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A status telegram from gateway 0.0.0.9, result 0: what a gateway says first.
QByteArray statusTelegram()
{
    QByteArray t(300, '\0');
    t[0] = 0x01;
    t[4] = 9;
    t[21] = char(0xA5);
    t[22] = 4;
    unsigned sum = 0;
    for (int i = 0; i < 19; ++i)
        sum += quint8(t[i]);
    t[19] = char(sum);
    sum = 0;
    for (int i = 0; i < 298; ++i)
        sum += quint8(t[i]);
    t[298] = char(sum);
    t[299] = 0x04;
    return t;
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
        env.idleTimer = &idle;
        dispatch = std::make_unique<LinkDispatch>(comm, log, env);
        QObject::connect(dispatch.get(), &LinkDispatch::firstGatewayTelegram, [this] { ++autoReads; });
        dispatch->openListeningIfWanted();
    }
    // A peer connected and accepted.
    bool connectPeer(QTcpSocket &peer)
    {
        peer.connectToHost(QHostAddress::LocalHost, settings.listenPort.toUShort());
        return peer.waitForConnected(3000)
               && QTest::qWaitFor([this] { return dispatch->listenSocket().gatewayConnected(); }, 3000);
    }
    int count(const QString &line) const { return int(log.lines.count(line)); }

    LinkSettings settings;
    SerialPort comm;
    Lines log;
    QTimer idle;
    int autoReads = 0;
    std::unique_ptr<LinkDispatch> dispatch;
};

// A converter of our own that drops its first client after the first
// request and serves every later client from a simulated bus.
class FlakyConverter : public QObject {
public:
    explicit FlakyConverter(const char *busText) : m_bus(mbussim::parseBusText(busText).meters)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *client = m_server.nextPendingConnection();
            const bool drop = m_clients++ == 0;
            connect(client, &QTcpSocket::readyRead, client, [this, client, drop] {
                const QByteArray frame = client->readAll();
                if (drop) {
                    client->disconnectFromHost();
                    return;
                }
                const mbus::Bytes reply = m_bus.respond(mbus::ByteView(
                    reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size())));
                client->write(reinterpret_cast<const char *>(reply.data()), qsizetype(reply.size()));
            });
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
    mbussim::Bus m_bus;
    int m_clients = 0;
};

const char kOneMeter[] = "[meter]\naddress = 1\nid = 11111111\nmanufacturer = ZRI\nmedium = water\n"
                         "record = 0C 13 45 23 01 00\n";

// A main window whose settings file chooses a route.
std::unique_ptr<MainWindow> windowWith(const QTemporaryDir &dir, const QByteArray &settings)
{
    QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Mbus]\nTimeout=300\n" + settings);
    ini.close();
    auto window = std::make_unique<MainWindow>(dir.filePath(QStringLiteral("telvaro.ini")));
    window->askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
    return window;
}

bool scan(MainWindow &window, int from, int to)
{
    window.devices->fromAddressBox->setValue(from);
    window.devices->toAddressBox->setValue(to);
    QTest::mouseClick(window.devices->findPrimaryButton, Qt::LeftButton);
    return QTest::qWaitFor([&] { return !window.session().busy(); }, 20000);
}

QStringList ids(MainWindow &window)
{
    QStringList out;
    for (int r = 1; r < window.deviceTable().rowCount() - 1; ++r)
        out << QString::fromStdString(window.deviceTable().cell(r, 0));
    return out;
}

} // namespace

class TstRoutes : public QObject {
    Q_OBJECT
private slots:
    void converterRoute_data();
    void converterRoute();
    void peerLeavesDuringOperation();
    void listenReassembly_data();
    void listenReassembly();
    void secondGatewayAndIdleTimer();
    void gatewayServerRoute_data();
    void gatewayServerRoute();
    void listenRouteScansByItself();
    void floodThenRealGateway();
};

void TstRoutes::converterRoute_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("host");
    QTest::newRow("whole replies") << QStringList() << QByteArray("127.0.0.1");
    QTest::newRow("replies in pieces, by host name")
        << QStringList{QStringLiteral("--split")} << QByteArray("localhost");
}

// A scan of 1..3 and a custom command through the converter: the bytes travel
// bare, every operation connects and disconnects.
void TstRoutes::converterRoute()
{
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, host);
    SimProcess sim(SimProcess::Tcp{}, QStringList{QStringLiteral("--bus"), SimProcess::demoBus(),
                                                  QStringLiteral("--tcp"), QStringLiteral("0")}
                                          + faults);
    QVERIFY(sim.isReady() && sim.port());
    QTemporaryDir dir;
    auto window = windowWith(dir, "[Misc]\nUseLANXP=1\nRetry=0\n[LANXP]\nIP=" + host
                                      + "\nPort=" + QByteArray::number(sim.port()) + "\n");
    window->show();
    QVERIFY(scan(*window, 1, 3));
    QCOMPARE(ids(*window), QStringList({"12345678", "20071234", "30500117"}));
    const QStringList log = window->logLines();
    QCOMPARE(log.first(), QStringLiteral("Trying to connect to TEV-K40 ethernet..."));
    QVERIFY(log.at(1).startsWith(QLatin1String("Connected TCP/IP, at ")));
    QVERIFY(log.at(log.size() - 2).startsWith(QLatin1String("Disconnected TCP/IP connection at ")));
    QCOMPARE(log.last(), QStringLiteral("Scan of 1..3: 3 meter(s) found."));
    QVERIFY(log.filter(QStringLiteral("Sent:")).isEmpty()); // only the serial route logs what it sent

    window->clearLog();
    window->commandEdit->setText(QStringLiteral("10 7B 01 7C 16"));
    QTest::mouseClick(window->sendCommandButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window->logLines().filter(QRegularExpression(QStringLiteral("^68 .* 16 $"))).size() == 1,
                             5000);
    QTRY_VERIFY(!window->session().busy());
    QVERIFY(window->logLines().last().startsWith(QLatin1String("Disconnected TCP/IP connection at ")));
}

// The converter drops the connection on the first request: that operation
// ends with its line; the next one works.
void TstRoutes::peerLeavesDuringOperation()
{
    FlakyConverter converter(kOneMeter);
    QTemporaryDir dir;
    auto window = windowWith(
        dir, "[Misc]\nUseLANXP=1\nRetry=0\n[LANXP]\nIP=127.0.0.1\nPort=" + QByteArray::number(converter.port()) + "\n");
    window->show();
    QVERIFY(scan(*window, 1, 250));
    QVERIFY(window->logLines().contains(QStringLiteral("The connection was lost, the operation is stopped...")));
    QVERIFY(!window->scan().running());
    QCOMPARE(ids(*window), QStringList());

    QVERIFY(scan(*window, 1, 1));
    QCOMPARE(ids(*window), QStringList{"11111111"});
}

void TstRoutes::listenReassembly_data()
{
    QTest::addColumn<QList<int>>("pieces"); // how the peer cuts its bytes
    QTest::addColumn<int>("telegrams");     // "Device " lines
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("200 + 100") << QList<int>{200, 100} << 1 << QStringList();
    QTest::newRow("200 + 150") << QList<int>{200, 150} << 0 << QStringList{"Wrong byte count in the telegram, 350"};
    QTest::newRow("310 at once, then the rest") << QList<int>{310, 290} << 2 << QStringList();
}

void TstRoutes::listenReassembly()
{
    QFETCH(QList<int>, pieces);
    QFETCH(int, telegrams);
    QFETCH(QStringList, errors);
    ListenRig rig;
    QVERIFY(rig.dispatch->listenSocket().listening());
    QTcpSocket peer;
    QVERIFY(rig.connectPeer(peer));
    const QByteArray stream = statusTelegram() + statusTelegram();
    int at = 0;
    for (int n : pieces) {
        peer.write(stream.mid(at, n));
        peer.flush();
        at += n;
        QTest::qWait(60); // separate reads
    }
    QTRY_COMPARE(rig.count(QStringLiteral("Device 0.0.0.9")), telegrams);
    for (const QString &error : errors)
        QTRY_VERIFY(rig.log.lines.contains(error));
    QCOMPARE(rig.count(QStringLiteral("Done!")), telegrams);
    // Only the first telegram of a new gateway starts the automatic read.
    QCOMPARE(rig.autoReads, telegrams > 0 ? 1 : 0);
}

// A second gateway while the first is there: the accept line names the first
// again and requests still go to the first. Three idle minutes (shortened
// here) drop both and listen again.
void TstRoutes::secondGatewayAndIdleTimer()
{
    ListenRig rig;
    QTcpSocket first, second;
    QVERIFY(rig.connectPeer(first));
    QTRY_COMPARE(rig.log.lines.filter(QStringLiteral("Connected to 127.0.0.1")).size(), 1);
    QVERIFY(rig.connectPeer(second));
    QTRY_COMPARE(rig.log.lines.filter(QStringLiteral("Connected to 127.0.0.1")).size(), 2);
    const QString firstLine = rig.log.lines.filter(QStringLiteral("Connected to")).first();
    QCOMPARE(rig.log.lines.filter(QStringLiteral("Connected to")).last(), firstLine);
    QCOMPARE(rig.count(QStringLiteral("Incoming request...")), 2);

    QVERIFY(rig.dispatch->beginLinkUse());
    QVERIFY(rig.dispatch->sendFrame(mbus::buildReqUd2(1, false)));
    QTRY_COMPARE(first.bytesAvailable(), qint64(300));
    QTest::qWait(100);
    QCOMPARE(second.bytesAvailable(), qint64(0));
    rig.dispatch->endLinkUse();

    const int opened = rig.count(QStringLiteral("Socket is opened at port ") + rig.settings.listenPort);
    rig.idle.setInterval(300);
    rig.idle.start();
    QTRY_COMPARE(rig.count(QStringLiteral("Socket is opened at port ") + rig.settings.listenPort), opened + 1);
    QVERIFY(rig.dispatch->listenSocket().listening());
    QVERIFY(!rig.dispatch->listenSocket().gatewayConnected());
    QTRY_VERIFY(first.state() == QAbstractSocket::UnconnectedState);
    QVERIFY(!rig.idle.isActive());
}

void TstRoutes::gatewayServerRoute_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("whole telegrams") << QStringList();
    QTest::newRow("telegrams in pieces") << QStringList{QStringLiteral("--split")};
}

// Scan and custom command through a gateway server: frames travel in
// telegrams to network number 0.0.0.7, the replies are unpacked.
void TstRoutes::gatewayServerRoute()
{
    QFETCH(QStringList, faults);
    SimProcess sim(SimProcess::Tcp{},
                   QStringList{QStringLiteral("--bus"), SimProcess::demoBus(), QStringLiteral("--gateway-server"),
                               QStringLiteral("0"), QStringLiteral("--net"), QStringLiteral("0.0.0.7")}
                       + faults);
    QVERIFY(sim.isReady() && sim.port());
    QTemporaryDir dir;
    auto window = windowWith(dir, "[Misc]\nVelkServer=1\nRetry=0\n[LANXP]\nIP=127.0.0.1\nNetNumber=0.0.0.7\nPort="
                                      + QByteArray::number(sim.port()) + "\n");
    window->show();
    QVERIFY(scan(*window, 1, 3));
    QCOMPARE(ids(*window), QStringList({"12345678", "20071234", "30500117"}));
    const QStringList log = window->logLines();
    QCOMPARE(log.first(), QStringLiteral("Trying to connect to VELK-2 server..."));
    QVERIFY(log.at(1).startsWith(QLatin1String("Connected TCP/IP, at "))
            && log.at(1).endsWith(QLatin1String(", server 127.0.0.1")));
    QCOMPARE(log.count(QStringLiteral("Device 0.0.0.7")), 3);
    QCOMPARE(window->dispatch().networkNumber(), (gateway::NetworkNumber{0, 0, 0, 7}));
    QTRY_VERIFY(sim.output().contains(QStringLiteral("RX telegram #3 A8 10 7B 03 7E 16")));

    // A read and a find by ID take the same way.
    window->deviceTable().setCell(3, 3, "");
    window->devices->searchIdEdit->setText(QStringLiteral("30500117"));
    QTest::mouseClick(window->devices->findIdButton, Qt::LeftButton);
    QTRY_VERIFY(!window->session().busy());
    QCOMPARE(QString::fromStdString(window->deviceTable().cell(3, 3)), QStringLiteral("45176.300"));

    // The custom command goes as a display telegram: this gateway knows none.
    window->clearLog();
    window->commandEdit->setText(QStringLiteral("47 45 54"));
    QTest::mouseClick(window->sendCommandButton, Qt::LeftButton);
    QTRY_VERIFY(!window->session().busy());
    QVERIFY2(window->logLines().contains(QStringLiteral("Unknown telegram...")),
             qPrintable(window->logLines().join(u'|')));

    // A network number that is none: nothing goes to a made-up gateway.
    window->settings().netNumber = QStringLiteral("0.0.7");
    window->clearLog();
    QVERIFY(scan(*window, 1, 1));
    QVERIFY(window->logLines().contains(
        QStringLiteral("The network number \"0.0.7\" is no a.b.c.d of numbers 0..255: nothing sent...")));
    QVERIFY(ids(*window).isEmpty());
}

// A gateway calls in; its first telegram starts the M-Bus scan by itself
// (Auto Read M-bus), the table is emptied without asking.
void TstRoutes::listenRouteScansByItself()
{
    const QByteArray port = QByteArray::number(freePort());
    QTemporaryDir dir;
    auto window = windowWith(dir, "[Misc]\nUseEthernet=1\nRetry=0\n[Ethernet]\nPort=" + port
                                      + "\nAutoDisplay=0\nAutoMbus=1\n");
    int asked = 0;
    window->askYesNoCancel = [&](const QString &, const QString &) {
        ++asked;
        return QMessageBox::Yes;
    };
    window->deviceTable().appendRow({"99999999", "99"});
    window->devices->fromAddressBox->setValue(1);
    window->devices->toAddressBox->setValue(3);
    window->show();
    window->activateWindow();
    QTRY_VERIFY(window->dispatch().listenSocket().listening());
    QVERIFY(window->logLines().contains(QStringLiteral("Socket is opened at port ") + QString::fromLatin1(port)));

    SimProcess sim(SimProcess::Tcp{},
                   {QStringLiteral("--bus"), SimProcess::demoBus(), QStringLiteral("--gateway-connect"),
                    QStringLiteral("127.0.0.1:") + QString::fromLatin1(port)});
    QVERIFY(sim.isReady());
    QTRY_VERIFY_WITH_TIMEOUT(window->scan().running(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->session().busy(), 15000);
    QVERIFY2(ids(*window) == QStringList({"12345678", "20071234", "30500117"}),
             qPrintable(window->logLines().join(u'\n')));
    QCOMPARE(asked, 0);
    QVERIFY(window->logLines().contains(QStringLiteral("Incoming request...")));
    QVERIFY(window->dispatch().listenSocket().listening()); // it stays open after the scan
    QVERIFY(window->dispatch().listenSocket().gatewayConnected());
    QVERIFY(!window->scan().running());

    // Applying the settings closes the socket; the next activation listens again.
    window->settingsDialog()->applyPortPage();
    QVERIFY(!window->dispatch().listenSocket().listening());
    QVERIFY(!window->dispatch().listenSocket().gatewayConnected());
    QCOMPARE(window->logLines().last(), QStringLiteral("Socket closed"));
    window->dispatch().openListeningIfWanted();
    QVERIFY(window->dispatch().listenSocket().listening());
}

// Megabytes of random bytes in random pieces, then the peer leaves: the
// program keeps running and serves a real gateway afterwards.
void TstRoutes::floodThenRealGateway()
{
    const QByteArray port = QByteArray::number(freePort());
    QTemporaryDir dir;
    auto window = windowWith(dir, "[Misc]\nUseEthernet=1\nRetry=0\n[Ethernet]\nPort=" + port + "\nAutoDisplay=0\n");
    window->show();
    window->dispatch().openListeningIfWanted();
    QVERIFY(window->dispatch().listenSocket().listening());
    {
        QTcpSocket flood;
        flood.connectToHost(QHostAddress::LocalHost, port.toUShort());
        QVERIFY(flood.waitForConnected(3000));
        QRandomGenerator random(20261207);
        qint64 sent = 0;
        while (sent < 3 * 1024 * 1024) {
            QByteArray chunk(random.bounded(1, 4000), Qt::Uninitialized);
            for (char &c : chunk)
                c = char(random.bounded(256));
            sent += flood.write(chunk);
            if (random.bounded(8) == 0)
                QCoreApplication::processEvents();
        }
        QVERIFY(flood.waitForBytesWritten(10000) || flood.bytesToWrite() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            window->logLines().filter(QStringLiteral("Wrong byte count in the telegram")).size() > 100, 20000);
        flood.abort();
    }
    QTRY_VERIFY(window->dispatch().listenSocket().connectionCount() == 0);

    SimProcess sim(SimProcess::Tcp{},
                   {QStringLiteral("--bus"), SimProcess::demoBus(), QStringLiteral("--gateway-connect"),
                    QStringLiteral("127.0.0.1:") + QString::fromLatin1(port)});
    QTRY_VERIFY_WITH_TIMEOUT(window->dispatch().listenSocket().gatewayConnected(), 5000);
    QTRY_VERIFY(window->logLines().contains(QStringLiteral("Device 0.0.0.1")));
    QVERIFY(scan(*window, 2, 2));
    QCOMPARE(ids(*window), QStringList{"20071234"});
}

QTEST_MAIN(TstRoutes)
#include "tst_routes.moc"
