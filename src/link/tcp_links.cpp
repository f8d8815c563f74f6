#include "tcp_links.h"

#include "link_route.h"
#include "log_time.h"

#include <QDateTime>
#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTimer>

namespace {

// What was written goes out first (the SND_NKE that ends a selection at a
// stop), then a polite close; whatever is still half-open after it is cut.
void dropConnection(QTcpSocket &socket)
{
    constexpr int kFlushMs = 200;
    if (socket.state() == QAbstractSocket::ConnectedState && socket.bytesToWrite() > 0) {
        socket.flush();
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(kFlushMs);
    }
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.abort();
}

bool writeWhole(QTcpSocket &socket, const QByteArray &bytes, QString *error)
{
    if (socket.write(bytes) == bytes.size())
        return true;
    *error = socket.errorString();
    return false;
}

} // namespace

QString nowTimeText()
{
    return logTimeText(QTime::currentTime());
}

QString nowDateText()
{
    return logDateText(QDate::currentDate());
}

QString socketErrorLine(QAbstractSocket::SocketError error)
{
    return QStringLiteral("Socket error #") + QString::number(int(error));
}

bool remoteEndpoint(const QString &hostText, const QString &portText, quint16 defaultPort, QString *host, quint16 *port)
{
    QString text = hostText.trimmed();
    if (text.startsWith(u'[') && text.endsWith(u']'))
        text = text.mid(1, text.size() - 2);
    // An address as it stands, or a name of letters, digits, dots and hyphens
    // (looked up when connecting).
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                                                        "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*$"));
    const bool address = QHostAddress().setAddress(text);
    if (!address && (text.size() > 253 || !name.match(text).hasMatch()))
        return false;
    const std::optional<quint16> number = portText.isEmpty() ? std::optional<quint16>(defaultPort)
                                                             : tcpPortNumber(portText.trimmed());
    if (!number)
        return false;
    *host = text;
    *port = *number;
    return true;
}

void LinkWait::run(int passes, const std::function<bool()> &done)
{
    m_aborted = false;
    m_running = true;
    QEventLoop loop;
    QTimer pass;
    int count = 0;
    QObject::connect(&pass, &QTimer::timeout, &loop, [&] {
        if (++count >= passes || m_aborted || (done && done()))
            loop.quit();
    });
    pass.start(10);
    if (!(done && done()))
        loop.exec();
    m_running = false;
}

// --- converter --------------------------------------------------------------

ConverterSocket::ConverterSocket(CommLog &log, QObject *parent) : QObject(parent), m_log(log)
{
    connect(&socket, &QTcpSocket::connected, this, [this] {
        m_log.addLine(QStringLiteral("Connected TCP/IP, at ") + nowTimeText());
        m_connected = true;
    });
    connect(&socket, &QTcpSocket::disconnected, this, [this] {
        m_log.addLine(QStringLiteral("Disconnected TCP/IP connection at ") + nowTimeText());
        m_connected = false;
    });
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        received += socket.readAll();
        emit receivedMore();
    });
    connect(&socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { m_log.addLine(socketErrorLine(error)); });
}

bool ConverterSocket::connectWait(const QString &ip, const QString &portText)
{
    QString host;
    quint16 port = 0;
    if (!remoteEndpoint(ip, portText, kDefaultPort, &host, &port)) {
        m_log.addLine(QStringLiteral("Remote IP and Port are not properly set..."));
        disconnectLink();
        return false;
    }
    if (!m_connected) {
        socket.abort();
        socket.connectToHost(host, port);
        m_log.addLine(QStringLiteral("Trying to connect to TEV-K40 ethernet..."));
        // A converter wants its second after the connect before it passes bytes on.
        wait.run(kConnectPasses, nullptr);
    }
    return m_connected;
}

void ConverterSocket::disconnectLink()
{
    wait.abort();
    dropConnection(socket);
    m_connected = false;
}

bool ConverterSocket::send(const QByteArray &bytes, QString *error)
{
    return writeWhole(socket, bytes, error);
}

// --- gateway server -----------------------------------------------------------

GatewayClientSocket::GatewayClientSocket(CommLog &log, QObject *parent) : QObject(parent), m_log(log)
{
    connect(&socket, &QTcpSocket::connected, this, [this] {
        m_log.addLine(QStringLiteral("Connected TCP/IP, at ") + nowTimeText() + QStringLiteral(", server ") + m_server);
        m_connected = true;
        m_assembler.clear();
        emit connectionMade();
    });
    connect(&socket, &QTcpSocket::disconnected, this, [this] {
        m_log.addLine(QStringLiteral("Disconnected TCP/IP connection at ") + nowTimeText()
                      + QStringLiteral(", from server ") + m_server);
        m_log.addLine(QString());
        m_connected = false;
    });
    connect(&socket, &QTcpSocket::readyRead, this, &GatewayClientSocket::readTelegrams);
    connect(&socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { m_log.addLine(socketErrorLine(error)); });
}

bool GatewayClientSocket::connectWait(const QString &ip, const QString &portText, int ethTimeout)
{
    QString host;
    quint16 port = 0;
    if (!remoteEndpoint(ip, portText, kDefaultPort, &host, &port)) {
        m_log.addLine(QStringLiteral("Remote IP and Port are not properly set..."));
        disconnectLink();
        return false;
    }
    if (!m_connected) {
        m_server = ip;
        socket.abort();
        socket.connectToHost(host, port);
        m_log.addLine(QStringLiteral("Trying to connect to VELK-2 server..."));
        wait.run(ethTimeout + 1, [this] { return m_connected; });
    }
    return m_connected;
}

void GatewayClientSocket::disconnectLink()
{
    wait.abort();
    dropConnection(socket);
    m_connected = false;
}

bool GatewayClientSocket::send(const QByteArray &bytes, QString *error)
{
    return writeWhole(socket, bytes, error);
}

void GatewayClientSocket::readTelegrams()
{
    // Everything waiting is read, 300 bytes at a time.
    while (socket.bytesAvailable() > 0) {
        const QByteArray chunk = socket.read(qint64(gateway::Assembler::kMaxRead));
        if (chunk.isEmpty()) {
            m_log.addLine(QStringLiteral("Exception reading data from TCP socket (VELK-2) - ") + socket.errorString());
            return;
        }
        const auto outcome = m_assembler.feed(
            mbus::ByteView(reinterpret_cast<const std::uint8_t *>(chunk.constData()), std::size_t(chunk.size())));
        for (const std::string &line : outcome.logLines)
            m_log.addLine(QString::fromStdString(line));
        for (const mbus::Bytes &telegram : outcome.telegrams)
            emit telegramArrived(telegram);
    }
}
