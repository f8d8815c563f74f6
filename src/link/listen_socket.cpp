#include "listen_socket.h"

#include "link_route.h"
#include "tcp_links.h"

#include <QHostInfo>
#include <QTcpSocket>

namespace {
// "192.168.1.7", also for a gateway reached over an IPv4-mapped IPv6 socket.
QString dottedAddress(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}
} // namespace

ListenSocket::ListenSocket(CommLog &log, QTimer &idle, std::function<bool()> routeIsListen, QObject *parent)
    : QObject(parent), m_log(log), m_idle(idle), m_routeIsListen(std::move(routeIsListen))
{
    m_idle.setInterval(kIdleMs);
    connect(&m_server, &QTcpServer::newConnection, this, &ListenSocket::accept);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        // Three minutes without a word: drop the gateway and listen again.
        m_listening = false;
        m_gatewayConnected = false;
        toggle(portText ? portText() : QString());
        if (m_listening)
            m_idle.stop();
    });
}

ListenSocket::~ListenSocket()
{
    close();
}

void ListenSocket::close()
{
    for (const auto &c : std::as_const(m_connections)) {
        c->socket->disconnect(this);
        c->socket->abort();
        c->socket->deleteLater();
    }
    m_connections.clear();
    m_server.close();
}

void ListenSocket::toggle(const QString &text)
{
    if (m_listening) {
        close();
        m_listening = false;
        m_log.addLine(QStringLiteral("Socket closed"));
        return;
    }
    if (text.isEmpty()) {
        m_log.addLine(QStringLiteral("Socket port is not defined in Settings..."));
        return;
    }
    const std::optional<quint16> port = tcpPortNumber(text.trimmed());
    close();
    if (!port) {
        m_log.addLine(QStringLiteral("Exception opening socket - ") + tr("the port must be a number from 1 to 65535"));
        return;
    }
    if (!m_server.listen(QHostAddress::Any, *port)) {
        m_log.addLine(QStringLiteral("Exception opening socket - ") + m_server.errorString());
        m_listening = false;
        return;
    }
    m_listening = true;
    m_gatewayConnected = false;
    m_log.addLine(QStringLiteral("Socket is opened at port ") + text);
}

void ListenSocket::accept()
{
    while (m_server.hasPendingConnections()) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        auto connection = std::make_shared<Connection>();
        connection->socket = socket;
        connection->address = dottedAddress(socket->peerAddress());
        m_connections.append(connection);
        Connection *c = connection.get();
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { read(*c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropped(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError)
                m_log.addLine(socketErrorLine(error));
        });

        // The peer is taken from the first connection of the list, also when
        // a second gateway comes while the first is there.
        QTcpSocket *first = m_connections.first()->socket;
        m_peerAddress = m_connections.first()->address;
        const quint16 peerPort = first->peerPort();
        const QString address = m_peerAddress;
        // The host name comes from a reverse lookup that must not block the window.
        QHostInfo::lookupHost(address, this, [this, address, peerPort](const QHostInfo &info) {
            const QString host = info.error() == QHostInfo::NoError && info.hostName() != address ? info.hostName()
                                                                                                  : QString();
            logPeer(address, peerPort, host);
        });
        m_log.addLine(m_routeIsListen() ? QStringLiteral("Incoming request...")
                                        : QStringLiteral("Incoming request from VELK/DRAV ignored at ") + nowTimeText()
                                              + QStringLiteral(", ") + nowDateText());
        m_gatewayConnected = true;
        emit gatewayAccepted();
        emit bringToFront();
        restartIdle();
        // The first telegram may already be here.
        if (socket->bytesAvailable() > 0)
            read(*c);
    }
}

void ListenSocket::logPeer(const QString &address, quint16 port, const QString &host)
{
    m_log.addLine(QStringLiteral("Connected to ") + address + QStringLiteral(", ") + host + QStringLiteral(", port No ")
                  + QString::number(port));
    m_log.addLine(nowTimeText() + QStringLiteral(",  ") + nowDateText());
    m_log.addLine(QString());
}

void ListenSocket::read(Connection &connection)
{
    QTcpSocket *socket = connection.socket;
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(qint64(gateway::Assembler::kMaxRead));
        if (chunk.isEmpty()) {
            m_log.addLine(QStringLiteral("Exception reading data from TCP socket - ") + socket->errorString());
            connection.assembler.clear();
            break;
        }
        restartIdle();
        const auto outcome = connection.assembler.feed(
            mbus::ByteView(reinterpret_cast<const std::uint8_t *>(chunk.constData()), std::size_t(chunk.size())));
        for (const std::string &line : outcome.logLines)
            m_log.addLine(QString::fromStdString(line));
        for (const mbus::Bytes &telegram : outcome.telegrams)
            emit telegramArrived(telegram);
    }
    restartIdle();
}

void ListenSocket::dropped(QTcpSocket *socket)
{
    QString address;
    for (qsizetype i = 0; i < m_connections.size(); ++i) {
        if (m_connections[i]->socket == socket) {
            address = m_connections[i]->address;
            m_connections.removeAt(i);
            break;
        }
    }
    socket->deleteLater();
    if (!address.isEmpty() && address == m_peerAddress && m_gatewayConnected) {
        m_gatewayConnected = m_connections.size() > 0;
        m_log.addLine(QStringLiteral("Connection closed by client at ") + nowDateText() + QStringLiteral(", ")
                      + nowTimeText());
        emit gatewayLeft();
    }
}

bool ListenSocket::send(const QByteArray &bytes, QString *error)
{
    if (m_connections.isEmpty()) {
        *error = tr("no gateway is connected");
        return false;
    }
    QTcpSocket *socket = m_connections.first()->socket;
    if (socket->write(bytes) == bytes.size())
        return true;
    *error = socket->errorString();
    return false;
}

void ListenSocket::restartIdle()
{
    m_idle.stop();
    m_idle.start();
}
