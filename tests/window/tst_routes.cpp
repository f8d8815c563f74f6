// The TCP routes end to end: the real window scanning through a
// serial-to-TCP converter, a gateway server and gateways that connect to the
// listening socket, and a peer that leaves in the middle of an operation.

#include "bus.h"
#include "busfile.h"
#include "devices_page.h"
#include "gateway/telegram.h"
#include "link/link_dispatch.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "ops/primary_scan.h"
#include "settings_dialog.h"
#include "sim_process.h"
#include "tcp_peers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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
    for (int r = 0; r < window.deviceTable().rowCount(); ++r)
        out << QString::fromStdString(window.deviceTable().cellText(r, 0));
    return out;
}

} // namespace

class TstRoutes : public QObject {
    Q_OBJECT
private slots:
    void converterRoute_data();
    void converterRoute();
    void peerLeavesDuringOperation();
    void gatewayServerRoute_data();
    void gatewayServerRoute();
    void listenRouteScansByItself();
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
    // Each reading starts with a SND_NKE: two telegrams a meter.
    QCOMPARE(log.count(QStringLiteral("Device 0.0.0.7")), 6);
    QCOMPARE(window->dispatch().networkNumber(), (gateway::NetworkNumber{0, 0, 0, 7}));
    QTRY_VERIFY(sim.output().contains(QStringLiteral("RX telegram #5 A8 10 40 03 43 16"))
                && sim.output().contains(QStringLiteral("RX telegram #6 A8 10 7B 03 7E 16")));

    // A read and a find by ID take the same way.
    window->deviceTable().setCellText(2, 3, "");
    window->devices->searchIdEdit->setText(QStringLiteral("30500117"));
    QTest::mouseClick(window->devices->findIdButton, Qt::LeftButton);
    QTRY_VERIFY(!window->session().busy());
    QCOMPARE(QString::fromStdString(window->deviceTable().cellText(2, 3)), QStringLiteral("45176.300"));
    // So does the wildcard search.
    window->devices->searchIdEdit->setText(QStringLiteral("3050011F"));
    QTest::mouseClick(window->devices->findIdButton, Qt::LeftButton);
    QTRY_VERIFY(!window->session().busy());
    QVERIFY(window->logLines().contains(QStringLiteral("Secondary search thread terminated normally."))
            && window->logLines().contains(QStringLiteral("Secondary search 3050011F: 1 meter(s) found.")));

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

QTEST_MAIN(TstRoutes)
#include "tst_routes.moc"
