#include "tcplink.h"

#include "output.h"
#include "responder.h"

#include <QPointer>
#include <QTcpSocket>

#include <algorithm>

TcpLink::TcpLink(Responder &session, Output &out, QObject *parent) : QObject(parent), m_session(session), m_out(out)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpLink::accept);
    // Closed later from the event loop: the session is still busy with the request.
    m_session.setHangup([this]() {
        QMetaObject::invokeMethod(
            this,
            [socket = QPointer<QTcpSocket>(m_active)]() {
                if (socket)
                    socket->disconnectFromHost();
            },
            Qt::QueuedConnection);
    });
}

TcpLink::~TcpLink()
{
    // Sockets closing as the server goes must not call back into a half-destroyed link.
    for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
        socket->disconnect(this);
    m_session.setSink({});
    m_session.setHangup({});
}

bool TcpLink::listen(quint16 port, std::string &error)
{
    if (m_server.listen(QHostAddress::LocalHost, port))
        return true;
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + m_server.errorString().toStdString();
    return false;
}

std::string TcpLink::peer(const QTcpSocket *socket)
{
    // kept from the moment of connection: a closed socket forgets its peer
    return socket->property("peer").toString().toStdString();
}

void TcpLink::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setProperty("peer",
                            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()));
        socket->setReadBufferSize(64 * 1024);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() { left(socket); });
        if (!m_active) {
            serve(socket);
        } else {
            m_out.note("client " + peer(socket) + " waits, " + peer(m_active) + " is connected");
            m_waiting.push_back(socket);
        }
    }
    // While a client is served, further ones wait in the listen queue.
    if (m_active)
        m_server.pauseAccepting();
}

void TcpLink::serve(QTcpSocket *socket)
{
    m_active = socket;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_session.reset();
    m_session.setSink([this](mbus::ByteView bytes) {
        if (!m_active)
            return;
        m_active->write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
        m_active->flush();
    });
    connect(socket, &QTcpSocket::readyRead, this, &TcpLink::readActive);
    m_out.note("client " + peer(socket) + " connected");
    readActive();
}

void TcpLink::readActive()
{
    if (!m_active)
        return;
    while (m_active && m_active->bytesAvailable() > 0) {
        const QByteArray chunk = m_active->read(4096);
        m_session.receive(mbus::ByteView(reinterpret_cast<const std::uint8_t *>(chunk.constData()),
                                         static_cast<std::size_t>(chunk.size())));
    }
}

void TcpLink::left(QTcpSocket *socket)
{
    socket->deleteLater();
    if (socket != m_active) {
        m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), socket), m_waiting.end());
        return;
    }
    m_out.note("client " + peer(socket) + " disconnected");
    m_active = nullptr;
    m_session.setSink({});
    m_session.reset();
    while (!m_waiting.empty()) {
        QTcpSocket *next = m_waiting.front();
        m_waiting.pop_front();
        if (next->state() == QAbstractSocket::ConnectedState) {
            serve(next);
            return;
        }
    }
    m_server.resumeAccepting();
    accept();
}
