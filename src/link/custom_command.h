#pragma once
// The custom command: user-typed bytes (hex mode) or text (ASCII mode) sent on
// the current route, with the reply logged one response timeout later.

#include "comm_log.h"
#include "user_rights.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class LinkDispatch;

struct HexCommand {
    QByteArray bytes;
    QString error; // the log line when the text is refused; empty when accepted
};

// Tokens at spaces: one character c gives 0c, two are taken as they are, a
// longer token gives its first two characters; only 0-9, A-F and space.
HexCommand parseHexCommand(const QString &text);

class CustomCommand : public QObject {
    Q_OBJECT
public:
    // timeoutMs: the response timeout, read at every send.
    CustomCommand(LinkDispatch &dispatch, CommLog &log, std::function<int()> timeoutMs, QObject *parent = nullptr);

    void send(const QString &text, bool asciiMode);
    // The reply is awaited.
    bool waiting() const { return m_timer.isActive(); }
    // Ends a wait now (the program closes, the run is interrupted): an empty
    // reply is told and the link use ends.
    void cancel();

    // The logged-in user's rights (none set: everything allowed); sending
    // bytes by hand needs the devices right.
    const UserRights *rights = nullptr;

    // A display time-setting sequence that waits for this reply takes over
    // instead of ending the link use.
    std::function<bool()> continuePendingSequence;

signals:
    // What collect() took, empty when nothing arrived.
    void replyCollected(const QByteArray &reply);

private:
    void collect();

    LinkDispatch &m_dispatch;
    CommLog &m_log;
    std::function<int()> m_timeoutMs;
    QTimer m_timer;
    bool m_asciiReply = false;
};
