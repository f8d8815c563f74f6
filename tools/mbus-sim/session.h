#pragma once
// What sits between a transport and the bus: cuts the master's bytes into
// frames, lets the bus answer, and sends the answer back the way a line would
// (after the reply delay, at the pace of the baud rate, with the chosen faults).
// One session serves one peer at a time; the transport resets it when the peer
// changes.

#include "bus.h"
#include "displaylink.h"
#include "faults.h"
#include "framer.h"
#include "responder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

class Output;

struct SessionOptions {
    int replyDelayMs = 0;
    int answerDelayBits = 0; // every meter's answer starts this many bit times later
    bool wireTime = false;   // 11 bits per character at `baud`
    int baud = 2400;
    int usbLatencyMs = 0; // bytes reach the master in bursts this far apart (a USB adapter's latency timer)
    mbussim::FaultOptions faults;
};

class Session : public QObject, public Responder {
    Q_OBJECT
public:
    Session(mbussim::Bus &bus, Output &out, const SessionOptions &options, QObject *parent = nullptr);

    void setSink(Sink sink) override { m_sink = std::move(sink); }
    void setHangup(std::function<void()> hangup) override { m_hangup = std::move(hangup); }
    void receive(mbus::ByteView bytes) override;
    // Forgets a partial frame and every reply not yet sent.
    void reset() override;
    // Text commands beside the frames go to this display (none: they are junk).
    void setDisplay(mbussim::Display *display) { m_display = display; }

private:
    struct Piece {
        qint64 dueUs = 0;
        mbus::Bytes bytes;
        std::size_t sent = 0;
        qint64 startUs = -1;
        mbus::Bytes whole; // the whole reply, shown when its first piece goes
        bool text = false; // a display reply, shown as text
        // A slow meter's answer (answer-delay-bits): not sent when the master
        // speaks again before it begins. A --reply-delay (a slow path, such
        // as a converter's buffer) delivers its answer all the same.
        bool slowMeter = false;
        qint64 pauseUs = 0; // --jitter: the line pauses this long before this piece
    };

    void handle(const mbussim::FramerEvent &event);
    void sendReply(mbus::Bytes bytes, bool text, int delayBits = 0);
    void idleGap();
    void lineQuiet();
    void pump();
    void deliver(mbus::ByteView bytes);
    void flushHeld();
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    mbussim::Bus &m_bus;
    Output &m_out;
    SessionOptions m_options;
    mbussim::Faults m_faults;
    mbussim::Framer m_framer;
    mbussim::Display *m_display = nullptr;
    mbussim::CommandSplitter m_splitter;
    Sink m_sink;
    std::function<void()> m_hangup;
    QElapsedTimer m_clock;
    QTimer m_idleTimer;
    QTimer m_quietTimer; // ends a display command
    QTimer m_pumpTimer;
    QTimer m_latencyTimer;
    mbus::Bytes m_held; // off the line, not yet passed on by the USB adapter
    std::deque<Piece> m_queue;
    qint64 m_wireFreeUs = 0;
    qint64 m_charUs = 0;
};
