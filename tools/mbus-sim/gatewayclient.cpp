#include "gatewayclient.h"

#include "gatewaysession.h"
#include "output.h"

GatewayClient::GatewayClient(GatewaySession &session, Output &out, const QString &host, quint16 port, int reconnectMs,
                             QObject *parent)
    : QObject(parent), m_session(session), m_out(out), m_host(host), m_port(port), m_reconnectMs(reconnectMs)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &GatewayClient::start);
    connect(&m_socket, &QAbstractSocket::stateChanged, this, &GatewayClient::stateChanged);
    connect(&m_socket, &QIODevice::readyRead, this, &GatewayClient::readable);
    // Closed later from the event loop: the session is still busy with the request.
    m_session.setHangup([this]() {
        QMetaObject::invokeMethod(
            this, [this]() { m_socket.disconnectFromHost(); }, Qt::QueuedConnection);
    });
}

GatewayClient::~GatewayClient()
{
    // The socket closing as we go must not call back into a half-destroyed client.
    m_socket.disconnect(this);
    m_session.setSink({});
    m_session.setHangup({});
}

std::string GatewayClient::where() const
{
    return m_host.toStdString() + ":" + std::to_string(m_port);
}

void GatewayClient::start()
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        m_socket.connectToHost(m_host, m_port);
}

void GatewayClient::stateChanged(QAbstractSocket::SocketState state)
{
    if (state == QAbstractSocket::ConnectedState) {
        m_connected = true;
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_out.note("connected to " + where());
        m_session.reset();
        m_session.setSink([this](mbus::ByteView bytes) {
            if (m_socket.state() != QAbstractSocket::ConnectedState)
                return;
            m_socket.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
            m_socket.flush();
        });
        m_session.greet();
        return;
    }
    if (state != QAbstractSocket::UnconnectedState)
        return;
    m_session.setSink({});
    if (m_connected) {
        m_connected = false;
        m_out.note("connection to " + where() + " closed");
        m_session.reset();
        over(0, {});
    } else {
        const QString error = m_socket.errorString();
        m_out.note("cannot connect to " + where() + ": " + error.toStdString());
        over(1, error);
    }
}

void GatewayClient::over(int status, const QString &error)
{
    if (m_reconnectMs < 0) {
        emit finished(status, error);
        return;
    }
    m_out.note("connecting again in " + std::to_string(m_reconnectMs) + " ms");
    m_retry.start(m_reconnectMs);
}

void GatewayClient::readable()
{
    while (m_socket.bytesAvailable() > 0) {
        const QByteArray chunk = m_socket.read(4096);
        m_session.receive(mbus::ByteView(reinterpret_cast<const std::uint8_t *>(chunk.constData()),
                                         static_cast<std::size_t>(chunk.size())));
    }
}
