#pragma once
// A TCP server on 127.0.0.1 for one client at a time: as a serial-to-TCP
// converter (bytes travel bare, to a Session) or as a gateway (telegrams, to a
// GatewaySession). A client that connects while another is served waits (its
// connection is held, unread) until the first one leaves; then it is served.

#include <QObject>
#include <QTcpServer>

#include <deque>
#include <string>

class QTcpSocket;
class Output;
class Responder;

class TcpLink : public QObject {
    Q_OBJECT
public:
    TcpLink(Responder &session, Output &out, QObject *parent = nullptr);
    ~TcpLink() override;

    // Port 0 takes any free port; port() tells which.
    bool listen(quint16 port, std::string &error);
    quint16 port() const { return m_server.serverPort(); }

private:
    void accept();
    void serve(QTcpSocket *socket);
    void left(QTcpSocket *socket);
    void readActive();
    static std::string peer(const QTcpSocket *socket);

    Responder &m_session;
    Output &m_out;
    QTcpServer m_server;
    QTcpSocket *m_active = nullptr;
    std::deque<QTcpSocket *> m_waiting;
};
