#pragma once
// What sits between a TCP connection and the simulated gateway: reassembles
// the master's 300-byte telegrams, lets the gateway answer each one from the
// bus, and sends the reply telegram back after the reply delay, with the
// chosen faults. One session serves one connection at a time; the transport
// resets it when the peer changes.

#include "displaylink.h"
#include "gatewayunit.h"
#include "responder.h"
#include "session.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <string>

class Output;

class GatewaySession : public QObject, public Responder {
    Q_OBJECT
public:
    GatewaySession(mbussim::Bus &bus, Output &out, const mbussim::gateway::NetworkNumber &net,
                   const SessionOptions &options, QObject *parent = nullptr);

    void setSink(Sink sink) override { m_sink = std::move(sink); }
    void setHangup(std::function<void()> hangup) override { m_hangup = std::move(hangup); }
    void receive(mbus::ByteView bytes) override;
    // Forgets a partial telegram and every reply not yet sent.
    void reset() override;
    // The status telegram (result 0) sent as soon as we have connected to a
    // master: it is what the master waits for before it sends anything.
    void greet();
    // Display commands in A1 telegrams go to `display`; with `bare`, also text
    // commands sent unwrapped where a telegram would begin, answered unwrapped.
    void setDisplay(mbussim::Display *display, bool bare);

    mbussim::gateway::Gateway &gateway() { return m_gateway; }

private:
    struct Piece {
        qint64 dueUs = 0;
        mbus::Bytes bytes;
        std::string line;  // the TX line, shown when the first piece goes
        bool bare = false; // `line` is a bare display reply
    };

    void handle(const mbus::Bytes &telegram);
    void send(const mbussim::gateway::Reply &reply, qint64 delayUs, bool isAnswer);
    void pump();
    void lineQuiet();
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    Output &m_out;
    SessionOptions m_options;
    mbussim::Faults m_faults;
    mbussim::gateway::Gateway m_gateway;
    mbussim::gateway::Assembler m_assembler;
    mbussim::Display *m_display = nullptr;
    bool m_bare = false;
    mbussim::CommandSplitter m_splitter;
    QTimer m_quietTimer; // ends a bare display command
    Sink m_sink;
    std::function<void()> m_hangup;
    QElapsedTimer m_clock;
    QTimer m_pumpTimer;
    std::deque<Piece> m_queue;
    qint64 m_charUs = 0;
};
