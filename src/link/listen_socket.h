#pragma once
// Socket1: the listening socket that VELK and DRAV gateways connect to from
// the field. It stays open across operations; every connection's telegrams
// are reassembled on their own, and requests go to the first connection.
// An idle timer reopens it (dropping the gateway) after 3 minutes without
// a connection or a read.

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

    // idle is closeSocketTimer; routeIsListen tells the accept handler
    // whether the connection is wanted.
    ListenSocket(CommLog &log, QTimer &idle, std::function<bool()> routeIsListen, QObject *parent = nullptr);
    ~ListenSocket() override;

    // Closes when listening, opens on the port text otherwise.
    void toggle(const QString &portText);
    void close();
    bool listening() const { return m_listening; }
    bool gatewayConnected() const { return m_gatewayConnected; }
    void setGatewayConnected(bool on) { m_gatewayConnected = on; }
    quint16 serverPort() const { return m_server.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }
    QString peerAddress() const { return m_peerAddress; }

    // On the first connection; false (and why) when there is none or it fails.
    bool send(const QByteArray &bytes, QString *error);

    // The port text the idle timer reopens with.
    std::function<QString()> portText;

signals:
    void gatewayAccepted(); // the packet counter starts again
    void telegramArrived(const mbus::Bytes &telegram);
    void bringToFront();
    // The kept peer closed its connection.
    void gatewayLeft();

private:
    struct Connection {
        QTcpSocket *socket = nullptr;
        QString address; // kept: a closed socket forgets its peer
        gateway::Assembler assembler;
    };
    void accept();
    void logPeer(const QString &address, quint16 port, const QString &host);
    void read(Connection &connection);
    void dropped(QTcpSocket *socket);
    void restartIdle();

    CommLog &m_log;
    QTimer &m_idle;
    std::function<bool()> m_routeIsListen;
    QTcpServer m_server;
    QList<std::shared_ptr<Connection>> m_connections;
    bool m_listening = false;
    bool m_gatewayConnected = false;
    QString m_peerAddress;
};
