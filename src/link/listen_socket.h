#pragma once
// Socket1: the listening socket that VELK and DRAV gateways connect to from
// the field. It stays open across operations. Every connection has its own
// reassembly and its own idle timer: one that sends nothing valid for three
// minutes is dropped, whatever the others do.
//
// One connection is the gateway: requests go to it and only its telegrams
// are answers. It is the first connection, until a connection that has said
// nothing valid yet is outdone by one that has; when it closes, the next
// connection takes its place.

#include "comm_log.h"
#include "gateway/telegram.h"

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class QTcpSocket;

class ListenSocket : public QObject {
    Q_OBJECT
public:
    static constexpr int kIdleMs = 180000;

    // routeIsListen tells the accept handler whether the connection is wanted.
    ListenSocket(CommLog &log, std::function<bool()> routeIsListen, QObject *parent = nullptr);
    ~ListenSocket() override;

    // Closes when listening, opens on the port text otherwise.
    void toggle(const QString &portText);
    // Every connection dropped, the socket closed.
    void close();
    bool listening() const { return m_listening; }
    bool gatewayConnected() const { return m_gateway != nullptr; }
    quint16 serverPort() const { return m_server.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }
    // The gateway's address, empty without one.
    QString peerAddress() const;
    // How long a connection may send nothing valid (tests shorten it).
    void setIdleMs(int ms);

    // To the gateway; false (and why) when there is none or it fails.
    bool send(const QByteArray &bytes, QString *error);

signals:
    void gatewayAccepted(); // a new gateway: the packet counter starts again
    void telegramArrived(const mbus::Bytes &telegram);
    void bringToFront();
    // The gateway closed its connection.
    void gatewayLeft();

private:
    struct Connection;
    void accept();
    void logPeer(const QString &address, quint16 port, const QString &host);
    void read(Connection *connection);
    void takeTelegram(Connection *connection, const mbus::Bytes &telegram);
    void discarded(Connection *connection, const std::string &line);
    void flushDiscarded(Connection *connection);
    void drop(Connection *connection, const QString &line);
    void dropped(Connection *connection);
    void chooseGateway(Connection *connection);

    CommLog &m_log;
    std::function<bool()> m_routeIsListen;
    QTcpServer m_server;
    QList<std::shared_ptr<Connection>> m_connections; // in the order they came
    Connection *m_gateway = nullptr;
    bool m_listening = false;
    int m_idleMs = kIdleMs;
    QTimer m_quietLines; // sums up what was discarded, once a second
};
