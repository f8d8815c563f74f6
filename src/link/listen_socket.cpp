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

// Lines about discarded bytes a connection may log per second; the rest are counted.
constexpr int kShownPerSecond = 3;
// What Qt reads ahead of us per connection: a flood waits in the network, not in memory.
constexpr qint64 kReadBuffer = 64 * 1024;

} // namespace

struct ListenSocket::Connection {
    QTcpSocket *socket = nullptr;
    QString address; // kept: a closed socket forgets its peer
    quint16 port = 0;
    gateway::Assembler assembler;
    QTimer idle;         // nothing valid for this long: dropped
    bool spoken = false; // a valid telegram came
    int shownLines = 0;  // discard lines logged in the current second
    int hiddenLines = 0; // ... and the ones past them
};

ListenSocket::ListenSocket(CommLog &log, std::function<bool()> routeIsListen, QObject *parent)
    : QObject(parent), m_log(log), m_routeIsListen(std::move(routeIsListen))
{
    connect(&m_server, &QTcpServer::newConnection, this, &ListenSocket::accept);
    m_quietLines.setInterval(1000);
    connect(&m_quietLines, &QTimer::timeout, this, [this] {
        for (const auto &c : std::as_const(m_connections))
            flushDiscarded(c.get());
    });
}

ListenSocket::~ListenSocket()
{
    close();
}

QString ListenSocket::peerAddress() const
{
    return m_gateway ? m_gateway->address : QString();
}

void ListenSocket::setIdleMs(int ms)
{
    m_idleMs = ms;
    for (const auto &c : std::as_const(m_connections))
        c->idle.start(ms);
}

void ListenSocket::close()
{
    for (const auto &c : std::as_const(m_connections)) {
        c->socket->disconnect(this);
        c->socket->abort();
        c->socket->deleteLater();
    }
    m_connections.clear();
    m_gateway = nullptr;
    m_quietLines.stop();
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
    m_log.addLine(QStringLiteral("Socket is opened at port ") + text);
}

void ListenSocket::accept()
{
    while (m_server.hasPendingConnections()) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        if (socket->state() != QAbstractSocket::ConnectedState || socket->peerAddress().isNull()) {
            socket->abort(); // the peer left before it was taken
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        socket->setReadBufferSize(kReadBuffer);
        auto connection = std::make_shared<Connection>();
        Connection *c = connection.get();
        c->socket = socket;
        c->address = dottedAddress(socket->peerAddress());
        c->port = socket->peerPort();
        c->idle.setSingleShot(true);
        connect(&c->idle, &QTimer::timeout, this, [this, c] {
            drop(c, tr("Nothing valid from %1 for %2 s: the connection is dropped")
                        .arg(c->address, QString::number(m_idleMs / 1000.0)));
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { read(c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] { dropped(c); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError)
                m_log.addLine(socketErrorLine(error));
        });
        m_connections.append(connection);
        if (!m_gateway)
            chooseGateway(c);

        // The accept lines name the gateway, also when a second connection comes.
        const QString address = m_gateway->address;
        const quint16 peerPort = m_gateway->port;
        // The host name comes from a reverse lookup that must not block the window.
        QHostInfo::lookupHost(address, this, [this, address, peerPort](const QHostInfo &info) {
            const QString host = info.error() == QHostInfo::NoError && info.hostName() != address ? info.hostName()
                                                                                                  : QString();
            logPeer(address, peerPort, host);
        });
        m_log.addLine(m_routeIsListen() ? QStringLiteral("Incoming request...")
                                        : QStringLiteral("Incoming request from VELK/DRAV ignored at ") + nowTimeText()
                                              + QStringLiteral(", ") + nowDateText());
        emit bringToFront();
        c->idle.start(m_idleMs);
        if (!m_quietLines.isActive())
            m_quietLines.start();
        // The first telegram may already be here.
        if (socket->bytesAvailable() > 0)
            read(c);
    }
}

void ListenSocket::chooseGateway(Connection *connection)
{
    m_gateway = connection;
    emit gatewayAccepted();
}

void ListenSocket::logPeer(const QString &address, quint16 port, const QString &host)
{
    m_log.addLine(QStringLiteral("Connected to ") + address + QStringLiteral(", ") + host + QStringLiteral(", port No ")
                  + QString::number(port));
    m_log.addLine(nowTimeText() + QStringLiteral(",  ") + nowDateText());
    m_log.addLine(QString());
}

void ListenSocket::read(Connection *c)
{
    QTcpSocket *socket = c->socket;
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(qint64(gateway::Assembler::kMaxRead));
        if (chunk.isEmpty()) {
            m_log.addLine(QStringLiteral("Exception reading data from TCP socket - ") + socket->errorString());
            c->assembler.clear();
            break;
        }
        const auto outcome = c->assembler.feed(
            mbus::ByteView(reinterpret_cast<const std::uint8_t *>(chunk.constData()), std::size_t(chunk.size())));
        for (const std::string &line : outcome.logLines)
            discarded(c, line);
        for (const mbus::Bytes &telegram : outcome.telegrams)
            takeTelegram(c, telegram);
    }
}

// Only the gateway's valid telegrams are answers; a silent gateway is
// outdone by a connection that says something valid. Broken telegrams are
// discarded like any junk, so a flood of them stays a few lines.
void ListenSocket::takeTelegram(Connection *c, const mbus::Bytes &telegram)
{
    const gateway::Unpacked unpacked = gateway::unpackReply(telegram);
    if (!unpacked.networkNumber) {
        for (const std::string &line : unpacked.logLines)
            discarded(c, line);
        return;
    }
    c->spoken = true;
    c->idle.start(m_idleMs);
    if (c != m_gateway && m_gateway && !m_gateway->spoken) {
        m_log.addLine(tr("%1 has said nothing, %2 has: requests go to %2 now").arg(m_gateway->address, c->address));
        chooseGateway(c);
    }
    if (c == m_gateway)
        emit telegramArrived(telegram);
    else
        discarded(
            c,
            tr("A telegram from %1 is no answer: requests go to %2").arg(c->address, m_gateway->address).toStdString());
}

void ListenSocket::discarded(Connection *c, const std::string &line)
{
    if (c->shownLines < kShownPerSecond) {
        ++c->shownLines;
        m_log.addLine(QString::fromStdString(line));
    } else {
        ++c->hiddenLines;
    }
}

void ListenSocket::flushDiscarded(Connection *c)
{
    if (c->hiddenLines > 0)
        m_log.addLine(tr("... %L1 more discarded telegrams from %2").arg(c->hiddenLines).arg(c->address));
    c->hiddenLines = 0;
    c->shownLines = 0;
}

void ListenSocket::drop(Connection *c, const QString &line)
{
    m_log.addLine(line);
    c->socket->disconnect(this);
    c->socket->abort();
    dropped(c);
}

void ListenSocket::dropped(Connection *c)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [c](const std::shared_ptr<Connection> &x) { return x.get() == c; });
    if (it == m_connections.end())
        return;
    flushDiscarded(c);
    // Alive until the event loop comes back: this may run inside its own timer's slot.
    const std::shared_ptr<Connection> keep = *it;
    QMetaObject::invokeMethod(
        this, [keep] {}, Qt::QueuedConnection);
    m_connections.erase(it);
    c->socket->disconnect(this);
    c->socket->deleteLater();
    if (m_connections.isEmpty())
        m_quietLines.stop();
    if (c != m_gateway)
        return; // another connection's close changes nothing for the gateway
    m_gateway = nullptr;
    m_log.addLine(QStringLiteral("Connection closed by client at ") + nowDateText() + QStringLiteral(", ")
                  + nowTimeText());
    emit gatewayLeft();
    // The next gateway: one that has spoken, else the oldest.
    const auto next = std::find_if(m_connections.begin(), m_connections.end(),
                                   [](const std::shared_ptr<Connection> &x) { return x->spoken; });
    if (next != m_connections.end())
        chooseGateway(next->get());
    else if (!m_connections.isEmpty())
        chooseGateway(m_connections.first().get());
}

bool ListenSocket::send(const QByteArray &bytes, QString *error)
{
    if (!m_gateway) {
        *error = tr("no gateway is connected");
        return false;
    }
    if (m_gateway->socket->write(bytes) == bytes.size())
        return true;
    *error = m_gateway->socket->errorString();
    return false;
}
