#pragma once
// The two TCP client links: the serial-to-TCP converter (bytes travel bare)
// and the gateway server (300-byte gateway telegrams). Each is connected by
// an operation's Begin link use and dropped by its End link use; all their
// notifications arrive on the user-interface thread.

#include "comm_log.h"
#include "gateway/telegram.h"

#include <QObject>
#include <QTcpSocket>

#include <functional>

// Parses the host and port typed in the settings: an IPv4 address, an IPv6
// address (in brackets or not) or a host name, and a port 1..65535 (an empty
// port takes the default). False (nothing set) for anything else.
bool remoteEndpoint(const QString &hostText, const QString &portText, quint16 defaultPort, QString *host,
                    quint16 *port);

// Runs the event loop for up to ms milliseconds, in 10 ms passes, so socket
// notifications arrive meanwhile; ends early when done() says so or abort() is called.
class LinkWait : public QObject {
    Q_OBJECT
public:
    void run(int passes, const std::function<bool()> &done);
    void abort() { m_aborted = true; }
    bool running() const { return m_running; }

private:
    bool m_aborted = false;
    bool m_running = false;
};

// Xport_socket.
class ConverterSocket : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 10001;
    static constexpr int kConnectPasses = 101; // always waited out: about one second

    explicit ConverterSocket(CommLog &log, QObject *parent = nullptr);

    bool connectWait(const QString &ip, const QString &portText);
    void disconnectLink();
    bool isConnected() const { return m_connected; }
    // False (and why) when the bytes could not be handed to the socket.
    bool send(const QByteArray &bytes, QString *error);

    QByteArray received; // every chunk since the last send
    QTcpSocket socket;
    LinkWait wait;

signals:
    // A chunk was appended to received.
    void receivedMore();

private:
    CommLog &m_log;
    bool m_connected = false;
};

// VELK_client_socket.
class GatewayClientSocket : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 59615;

    explicit GatewayClientSocket(CommLog &log, QObject *parent = nullptr);

    // Waits until connected, at most (ethTimeout + 1) x 10 ms.
    bool connectWait(const QString &ip, const QString &portText, int ethTimeout);
    void disconnectLink();
    bool isConnected() const { return m_connected; }
    bool send(const QByteArray &bytes, QString *error);

    QTcpSocket socket;
    LinkWait wait;

signals:
    void connectionMade(); // the packet counter starts again
    void telegramArrived(const mbus::Bytes &telegram);

private:
    void readTelegrams();

    CommLog &m_log;
    gateway::Assembler m_assembler;
    QString m_server;
    bool m_connected = false;
};

// "Socket error #" lines: the socket layer's own error numbers.
QString socketErrorLine(QAbstractSocket::SocketError error);
QString nowTimeText();
QString nowDateText();
