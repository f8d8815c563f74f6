#pragma once
// Every exchange with the bus: make the route ready, send one frame, collect
// what arrived one response timeout later, end the use of the link. The four
// routes: the serial port, a serial-to-TCP converter (bare bytes), a gateway
// server we connect to and gateways that connect to our listening socket
// (both with 300-byte gateway telegrams). Runs on the user-interface thread.

#include "bus_link.h"
#include "comm_log.h"
#include "gateway/telegram.h"
#include "link_route.h"
#include "listen_socket.h"
#include "mbus/request.h"
#include "tcp_links.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class SerialPort;
class SerialPortError;

class LinkDispatch : public QObject, public BusLink {
    Q_OBJECT
public:
    struct Environment {
        std::function<LinkSettings()> settings; // read at every step
        std::function<bool()> isAdministrator;  // "Sent:" lines only for administrators
    };

    LinkDispatch(SerialPort &comm, CommLog &log, Environment env, QObject *parent = nullptr);
    ~LinkDispatch() override;

    LinkRoute route() const override { return m_env.settings().route; }

    bool beginLinkUse() override;
    // Sends the request's frame on the current route. Returns true when the
    // bytes left (on the serial route: were completely written).
    bool sendFrame(const mbus::Request &request) override;
    bool sendText(const QByteArray &command) override;
    QByteArray collectReply() override;
    void endLinkUse() override;
    void keepQuiet(int ms) override;
    bool linkGone() const override { return m_serialGone; }
    bool damagedReplyCame() const override { return m_damagedTelegram; }
    void discardPendingReply() override;
    bool serialPortOpen() const override { return m_portOpen; }

    // The custom command's bytes: bare on the serial port (text at once, hex
    // byte by byte) and the converter, as a display telegram to a gateway.
    bool sendCommand(const QByteArray &bytes, bool text) override;

    // Opens the serial port when closed, closes it when open.
    void toggleSerialPort();
    // Opens the serial port when closed; false (and a log line) when it cannot be had.
    bool openSerialIfClosed();
    bool writeSerial(const QByteArray &bytes, const QString &context);
    bool portOpen() const { return m_portOpen; }

    // The listening socket: opened by the main window's activation on the
    // listen route, closed when the settings are applied on it.
    void openListeningIfWanted();
    void settingsApplied();
    // Program end: every link closed, the listening socket too.
    void shutDown();

    ListenSocket &listenSocket() { return *m_listen; }
    // The socket of the TCP route chosen now (converter or gateway server);
    // null on the serial and listen routes.
    const QAbstractSocket *routeSocket() const;
    ConverterSocket &converter() { return m_converter; }
    GatewayClientSocket &gatewayClient() { return m_client; }
    std::int32_t packetCounter() const { return m_packetCounter; }
    const gateway::NetworkNumber &networkNumber() const { return m_network; }

    // The payload of the last gateway telegram.
    QByteArray gatewayResponse;

signals:
    // Text of the port panel of the status bar.
    void serialStatusChanged(const QString &text);
    // The three port fields of the settings may be edited only while closed.
    void serialFieldsEnabled(bool enabled);
    // A gateway connected to the listening socket (the window comes to the front).
    void gatewayArrived();
    // Its first telegram: the automatic display read or M-Bus scan may start.
    void firstGatewayTelegram();
    // The peer of a TCP route left, or the serial device went away, while an
    // operation used it.
    void linkLost();

private:
    // The route made ready as the settings choose it (connected, opened).
    bool makeRouteReady(const LinkSettings &settings);
    bool routeStillReady(const LinkSettings &settings) const;
    void emptyStores();
    // The link of this route went away while an operation used it.
    void lose(LinkRoute onRoute);
    // A serial error: the port is closed and the operation ends when it
    // means the device is gone (true); otherwise the line is logged.
    bool serialFailed(const SerialPortError &error, const QString &line);
    void openSerial(const LinkSettings &settings);
    void closeSerial(const LinkSettings &settings);
    QString inUseLine(const QString &portName, int err) const;
    bool sendGateway(const QByteArray &payload, gateway::Section type, const QString &failurePrefix);
    bool sendBare(const QByteArray &bytes, const QString &failurePrefix);
    void takeTelegram(const mbus::Bytes &telegram, bool fromListen);
    // Early completion: the serial port is read as bytes arrive while an
    // operation wants to know, and each route's store is checked for one whole frame.
    void watchSerialInput(bool on);
    void checkReplyComplete(const QByteArray &received);

    SerialPort &m_comm;
    CommLog &m_log;
    Environment m_env;
    bool m_portOpen = false;
    bool m_inUse = false;
    ConverterSocket m_converter;
    GatewayClientSocket m_client;
    std::unique_ptr<ListenSocket> m_listen;
    std::int32_t m_packetCounter = 1;
    bool m_awaitingFirstTelegram = false; // since the last gateway was accepted
    gateway::NetworkNumber m_network{};
    QByteArray m_serialReceived; // read by the input watch, not yet collected
    QMetaObject::Connection m_serialWatch;
    bool m_replyNotified = false;   // replyComplete was called since the last request
    bool m_serialGone = false;      // the serial device went away; said once, until it is opened again
    bool m_damagedTelegram = false; // a gateway telegram since the request failed its checks
    quint64 m_use = 0;              // counts the begins and ends of link use
    QDeadlineTimer m_quietUntil;    // the next link use is ready no sooner (keepQuiet)
    LinkWait m_quietWait;
};
