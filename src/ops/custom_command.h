#pragma once
// The custom command: user-typed bytes (hex mode) or text (ASCII mode) sent on
// the current route, with the reply logged one response timeout later. It
// holds the bus like any operation, so Stop and a lost link end its wait.

#include "operation.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

struct HexCommand {
    QByteArray bytes;
    QString error; // the log line when the text is refused; empty when accepted
};

// Tokens at spaces: one character c gives 0c, two are taken as they are, a
// longer token gives its first two characters; only 0-9, A-F and space.
HexCommand parseHexCommand(const QString &text);

class CustomCommand : public Operation {
    Q_OBJECT
public:
    explicit CustomCommand(BusSession &session, QObject *parent = nullptr);

    // Needs the devices right; nothing is sent while another operation runs.
    void send(const QString &text, bool asciiMode);
    // What the last command brought back (empty: nothing, or stopped first).
    const QByteArray &reply() const { return m_reply; }

private:
    void collect();
    // A command that went out and was stopped before its reply was taken
    // may have changed a meter: the summary says so.
    void onStop() override;

    QTimer m_replyTimer{this};
    bool m_asciiReply = false;
    QString m_sentText; // the command as the log shows it
    QByteArray m_reply;
};
