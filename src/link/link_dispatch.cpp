#include "link_dispatch.h"

#include "mbus/frame_complete.h"
#include "serial_port.h"

#include <algorithm>
#include <utility>

LinkDispatch::LinkDispatch(SerialPort &comm, CommLog &log, Environment env, QObject *parent)
    : QObject(parent), m_comm(comm), m_log(log), m_env(std::move(env)), m_converter(log), m_client(log)
{
    m_listen = std::make_unique<ListenSocket>(log, [this] { return route() == LinkRoute::Listen; });

    connect(&m_client, &GatewayClientSocket::connectionMade, this, [this] { m_packetCounter = 1; });
    connect(&m_converter, &ConverterSocket::receivedMore, this, [this] {
        if (route() == LinkRoute::Converter)
            checkReplyComplete(m_converter.received);
    });
    connect(&m_client, &GatewayClientSocket::telegramArrived, this,
            [this](const mbus::Bytes &telegram) { takeTelegram(telegram, false); });
    connect(m_listen.get(), &ListenSocket::gatewayAccepted, this, [this] {
        m_packetCounter = 1;
        m_awaitingFirstTelegram = true;
    });
    connect(m_listen.get(), &ListenSocket::telegramArrived, this,
            [this](const mbus::Bytes &telegram) { takeTelegram(telegram, true); });
    connect(m_listen.get(), &ListenSocket::bringToFront, this, &LinkDispatch::gatewayArrived);

    // A peer that leaves in the middle of an operation ends it, and so does
    // a serial device that goes away.
    connect(&m_converter.socket, &QTcpSocket::disconnected, this, [this] { lose(LinkRoute::Converter); });
    connect(&m_client.socket, &QTcpSocket::disconnected, this, [this] { lose(LinkRoute::GatewayClient); });
    connect(m_listen.get(), &ListenSocket::gatewayLeft, this, [this] { lose(LinkRoute::Listen); });
    connect(&m_comm, &SerialPort::lineError, this, [this](int code) {
        if (m_portOpen)
            serialFailed(SerialPortError(QString(), code), QString());
    });
}

void LinkDispatch::lose(LinkRoute onRoute)
{
    if (m_inUse && route() == onRoute) {
        m_log.addLine(tr("The connection was lost, the operation is stopped..."));
        m_inUse = false;
        emit linkLost();
    }
}

LinkDispatch::~LinkDispatch() = default;

const QAbstractSocket *LinkDispatch::routeSocket() const
{
    switch (route()) {
    case LinkRoute::Converter:
        return &m_converter.socket;
    case LinkRoute::GatewayClient:
        return &m_client.socket;
    case LinkRoute::Serial:
    case LinkRoute::Listen:
        break;
    }
    return nullptr;
}

bool LinkDispatch::beginLinkUse()
{
    const LinkSettings s = m_env.settings();
    const quint64 use = ++m_use;
    bool ready = makeRouteReady(s);
    // What the last operation's last request still brings is no answer to
    // this one's first. An end of use meanwhile (Stop) ends the wait.
    if (ready && m_quietUntil.remainingTime() > 0) {
        m_quietWait.run(int((m_quietUntil.remainingTime() + 9) / 10), nullptr);
        ready = use == m_use && routeStillReady(s);
    }
    m_quietUntil = QDeadlineTimer();
    if (ready && use == m_use) {
        emptyStores();
        if (s.route == LinkRoute::Serial) {
            try {
                m_comm.purgeAll();
            } catch (const SerialPortError &e) {
                if (!serialFailed(e, QStringLiteral("Closing port exception - ") + e.message()))
                    toggleSerialPort();
                ready = false;
            }
        }
    }
    m_inUse = ready && use == m_use;
    return m_inUse;
}

bool LinkDispatch::makeRouteReady(const LinkSettings &s)
{
    switch (s.route) {
    case LinkRoute::Listen:
        if (m_listen->listening() && m_listen->gatewayConnected())
            return true;
        m_log.addLine(tr("No gateway is connected to the listening socket..."));
        return false;
    case LinkRoute::Converter:
        return m_converter.connectWait(s.remoteIp, s.remotePort);
    case LinkRoute::GatewayClient:
        return m_client.connectWait(s.remoteIp, s.remotePort, s.ethTimeout);
    case LinkRoute::Serial:
        break;
    }
    return openSerialIfClosed();
}

bool LinkDispatch::routeStillReady(const LinkSettings &s) const
{
    switch (s.route) {
    case LinkRoute::Listen:
        return m_listen->gatewayConnected();
    case LinkRoute::Converter:
        return m_converter.isConnected();
    case LinkRoute::GatewayClient:
        return m_client.isConnected();
    case LinkRoute::Serial:
        break;
    }
    return m_portOpen;
}

void LinkDispatch::emptyStores()
{
    m_damagedTelegram = false;
    m_converter.received.clear();
    gatewayResponse.clear();
    m_serialReceived.clear();
}

void LinkDispatch::keepQuiet(int ms)
{
    m_quietUntil = QDeadlineTimer(std::max(0, ms), Qt::PreciseTimer);
}

bool LinkDispatch::sendGateway(const QByteArray &payload, gateway::Section type, const QString &failurePrefix)
{
    const LinkSettings s = m_env.settings();
    const mbus::ByteView bytes(reinterpret_cast<const std::uint8_t *>(payload.constData()),
                               std::size_t(payload.size()));
    QString error;
    if (s.route == LinkRoute::Listen) {
        const mbus::Bytes telegram = gateway::wrapRequest(bytes, type, m_network, m_packetCounter);
        if (telegram.empty() || !m_listen->listening() || !m_listen->gatewayConnected())
            return false;
        gatewayResponse.clear();
        if (!m_listen->send(QByteArray(reinterpret_cast<const char *>(telegram.data()), qsizetype(telegram.size())),
                            &error)) {
            m_log.addLine(failurePrefix + error);
            return false;
        }
    } else {
        if (!m_client.isConnected())
            return false;
        gatewayResponse.clear();
        if (const auto number = gateway::parseNetworkNumber(s.netNumber.toStdString())) {
            m_network = *number;
        } else if (!s.netNumber.trimmed().isEmpty()) {
            // A telegram to a made-up network would reach the wrong gateway, or none.
            m_log.addLine(
                tr("The network number \"%1\" is no a.b.c.d of numbers 0..255: nothing sent...").arg(s.netNumber));
            return false;
        }
        const mbus::Bytes telegram = gateway::wrapRequest(bytes, type, m_network, m_packetCounter);
        if (telegram.empty())
            return false;
        if (!m_client.send(QByteArray(reinterpret_cast<const char *>(telegram.data()), qsizetype(telegram.size())),
                           &error)) {
            m_log.addLine(failurePrefix + error);
            return false;
        }
    }
    ++m_packetCounter;
    return true;
}

bool LinkDispatch::sendBare(const QByteArray &bytes, const QString &failurePrefix)
{
    m_converter.received.clear();
    if (!m_converter.isConnected())
        return false;
    QString error;
    if (m_converter.send(bytes, &error))
        return true;
    m_log.addLine(failurePrefix + error);
    return false;
}

bool LinkDispatch::sendFrame(const mbus::Request &request)
{
    if (!request.ok()) {
        if (!request.refusal.empty())
            m_log.addLine(QString::fromStdString(request.refusal));
        return false;
    }
    const QByteArray frame(reinterpret_cast<const char *>(request.frame.data()), qsizetype(request.frame.size()));
    const QString socketFailure = QString::fromStdString(request.socketFailure);
    const LinkRoute sendRoute = m_env.settings().route;
    m_replyNotified = false;
    m_damagedTelegram = false;
    watchSerialInput((replyComplete || replyActivity) && sendRoute == LinkRoute::Serial);
    switch (sendRoute) {
    case LinkRoute::Listen:
    case LinkRoute::GatewayClient:
        return sendGateway(frame, gateway::Section::MbusFrame, socketFailure);
    case LinkRoute::Converter:
        return sendBare(frame, socketFailure);
    case LinkRoute::Serial:
        break;
    }
    if (!writeSerial(frame, QString::fromStdString(request.writeFailure)))
        return false;
    if (request.logSent && m_env.isAdministrator && m_env.isAdministrator())
        m_log.addLine(QStringLiteral("Sent:") + QString::fromLatin1(mbus::hexLogForm(request.frame)));
    return true;
}

bool LinkDispatch::sendText(const QByteArray &command)
{
    const QString failure = QStringLiteral("Socket exception during setting TEV parameters - ");
    switch (m_env.settings().route) {
    case LinkRoute::GatewayClient:
        return sendGateway(command, gateway::Section::DisplayCommand, failure);
    case LinkRoute::Listen: {
        // A gateway that called in gets the command as it stands.
        if (command.isEmpty())
            return false;
        gatewayResponse.clear();
        QString error;
        if (!m_listen->send(command, &error)) {
            m_log.addLine(failure + error);
            return false;
        }
        ++m_packetCounter;
        return true;
    }
    case LinkRoute::Converter:
        return sendBare(command, failure);
    case LinkRoute::Serial:
        break;
    }
    return writeSerial(command, QStringLiteral("Can not write to COM port - display command"));
}

bool LinkDispatch::sendCommand(const QByteArray &bytes, bool text)
{
    if (text)
        return sendText(bytes);
    switch (m_env.settings().route) {
    case LinkRoute::Listen:
    case LinkRoute::GatewayClient:
        return sendGateway(bytes, gateway::Section::DisplayCommand,
                           QStringLiteral("Socket exception during free hex command - "));
    case LinkRoute::Converter:
        return sendBare(bytes, QStringLiteral("Socket exception during free hex command - "));
    case LinkRoute::Serial:
        break;
    }
    const QString failure = QStringLiteral("Can not write to COM port - custom command");
    // One byte per write, as the command was typed; stop at the first failure.
    for (char byte : bytes)
        if (!writeSerial(QByteArray(1, byte), failure))
            return false;
    return true;
}

QByteArray LinkDispatch::collectReply()
{
    switch (m_env.settings().route) {
    case LinkRoute::Listen:
    case LinkRoute::GatewayClient:
        return std::exchange(gatewayResponse, QByteArray());
    case LinkRoute::Converter:
        return std::exchange(m_converter.received, QByteArray());
    case LinkRoute::Serial:
        break;
    }
    QByteArray received = std::exchange(m_serialReceived, QByteArray());
    if (m_serialGone)
        return {};
    if (!m_portOpen) {
        m_log.addLine(QStringLiteral("No valid connection..."));
        return {};
    }
    try {
        return received + m_comm.readAll();
    } catch (const SerialPortError &e) {
        serialFailed(e, QStringLiteral("Can not read from COM port - ") + e.message());
        return {};
    }
}

void LinkDispatch::endLinkUse()
{
    ++m_use;
    m_inUse = false;
    m_quietWait.abort();
    watchSerialInput(false);
    // Whatever the link still holds belongs to the operation that ended.
    emptyStores();
    // Each link is held only for one operation, whichever route is chosen now.
    // What was written has left (every write waits for that); only bytes
    // a held-up line kept back are purged with the input, so that a last
    // frame (the SND_NKE that ends a selection at a stop) is not lost.
    try {
        if (m_comm.isOpen() && m_comm.outputPending())
            m_comm.purgeAll();
        else if (m_comm.isOpen())
            m_comm.purgeInput();
    } catch (const SerialPortError &e) {
        serialFailed(e, QStringLiteral("Closing port exception - ") + e.message());
    }
    if (m_portOpen)
        toggleSerialPort();
    m_converter.disconnectLink();
    m_client.disconnectLink();
}

void LinkDispatch::discardPendingReply()
{
    emptyStores();
    if (!m_comm.isOpen())
        return;
    try {
        m_comm.purgeAll();
    } catch (const SerialPortError &e) {
        serialFailed(e, QStringLiteral("Closing port exception - ") + e.message());
    }
}

void LinkDispatch::takeTelegram(const mbus::Bytes &telegram, bool fromListen)
{
    const gateway::Unpacked unpacked = gateway::unpackReply(telegram);
    for (const std::string &line : unpacked.logLines)
        m_log.addLine(QString::fromStdString(line));
    if (!unpacked.networkNumber) {
        m_damagedTelegram = true; // a broken telegram changes nothing else
        return;
    }
    m_network = *unpacked.networkNumber;
    gatewayResponse = QByteArray(reinterpret_cast<const char *>(unpacked.response.data()),
                                 qsizetype(unpacked.response.size()));
    if (route() == (fromListen ? LinkRoute::Listen : LinkRoute::GatewayClient))
        checkReplyComplete(gatewayResponse);
    // The first telegram of a new gateway, before anything was sent to it.
    if (fromListen && m_awaitingFirstTelegram) {
        m_awaitingFirstTelegram = false;
        if (m_packetCounter == 1 && route() == LinkRoute::Listen)
            emit firstGatewayTelegram();
    }
}

void LinkDispatch::openListeningIfWanted()
{
    if (route() == LinkRoute::Listen && !m_listen->listening() && !m_listen->gatewayConnected())
        m_listen->toggle(m_env.settings().listenPort);
}

void LinkDispatch::settingsApplied()
{
    if (route() != LinkRoute::Listen)
        return;
    if (m_listen->listening())
        m_listen->toggle(QString()); // closes; the next activation opens on the new port
}

void LinkDispatch::shutDown()
{
    endLinkUse();
    m_listen->close();
}

void LinkDispatch::watchSerialInput(bool on)
{
    if (on == bool(m_serialWatch))
        return;
    if (!on) {
        disconnect(m_serialWatch);
        m_serialWatch = {};
        return;
    }
    m_serialWatch = connect(&m_comm, &SerialPort::receivedBlock, this, [this](const QByteArray &bytes) {
        m_serialReceived += bytes;
        if (m_inUse && replyActivity && !bytes.isEmpty())
            replyActivity();
        checkReplyComplete(m_serialReceived);
    });
}

void LinkDispatch::checkReplyComplete(const QByteArray &received)
{
    if (!m_inUse || m_replyNotified || !replyComplete)
        return;
    const mbus::ByteView bytes(reinterpret_cast<const std::uint8_t *>(received.constData()),
                               std::size_t(received.size()));
    if (!mbus::isCompleteFrame(bytes))
        return;
    m_replyNotified = true;
    replyComplete();
}
