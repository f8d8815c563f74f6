#pragma once
// The gateway as the client of a master's listening socket: it connects, sends
// its first status telegram at once (the master waits for it before it sends
// anything), then serves the master's requests. Without a reconnect interval
// it ends with the connection; with one it connects again after the interval
// whenever the connection is closed or cannot be made, as a field gateway
// whose link was dropped would.

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

class Output;
class GatewaySession;

class GatewayClient : public QObject {
    Q_OBJECT
public:
    // reconnectMs < 0: do not connect again.
    GatewayClient(GatewaySession &session, Output &out, const QString &host, quint16 port, int reconnectMs,
                  QObject *parent = nullptr);
    ~GatewayClient() override;

    void start();

signals:
    // No further connection will be tried: status 0 after a connection that
    // closed, 1 (with the reason) when none could be made.
    void finished(int status, const QString &error);

private:
    void stateChanged(QAbstractSocket::SocketState state);
    void readable();
    void over(int status, const QString &error);
    std::string where() const;

    GatewaySession &m_session;
    Output &m_out;
    QString m_host;
    quint16 m_port = 0;
    int m_reconnectMs = -1;
    QTcpSocket m_socket;
    QTimer m_retry;
    bool m_connected = false;
};
