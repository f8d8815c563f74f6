#pragma once
// What every operation that uses the bus has: it holds the bus while it
// runs, asks through its own exchange (and so owns its timer), can be
// stopped, shows its progress and ends with a summary of what it found.
//
// However it ends (done, Stop, a lost link), it ends once and nothing of it
// runs on: every exchange and timer it waits on is its child (QObject
// parent), and the end cancels them all before the bus is free again.

#include "bus_session.h"
#include "exchange.h"

#include <QStringList>

// How an operation ended, as the log's last line and telvaro-cli's report give it.
struct OperationSummary {
    QString title;          // "Scan", "Read all meters", ...
    int answered = 0;       // meters found or readings taken
    int asked = -1;         // meters asked; -1 when the walk looks for unknown ones (scan, search)
    QStringList silent;     // addresses or IDs that gave no answer
    QStringList invalid;    // addresses or IDs that answered only with damaged or foreign replies
    QStringList incomplete; // readings that ended while the meter announced more
    QStringList unverified; // meters whose new address could not be confirmed
    QStringList unresolved; // search patterns under which meters answered but could not be read one by one
    QStringList
        unconfirmed; // writes that went out before a stop: "address 40 was sent to meter 20071234 but not confirmed"
    QStringList refused;   // changes the bus did not allow: "address 3 did not answer clearly: not changed"
    QStringList unchecked; // found silent before the bus lost replies, and not asked again (no retries)
    QStringList notes;     // anything else worth the last line ("2 meters share ID 12345678")
    bool stopped = false;  // ended by Stop or a lost link, not by running out of work
    bool linkLost = false; // stopped because the link went away
    bool counted = true;   // false: work that counts no meters (the display, a command typed by hand)
    bool quiet = false;    // said only when stopped (a command whose own lines tell how it went)
    int retries = 0;       // questions asked again (a clean bus needs none)

    // True when everything asked for was done.
    bool clean() const
    {
        return silent.isEmpty() && invalid.isEmpty() && incomplete.isEmpty() && unverified.isEmpty()
               && unresolved.isEmpty() && unconfirmed.isEmpty() && refused.isEmpty() && unchecked.isEmpty() && !stopped;
    }
    // "Scan: 12 meters found." / "Read all meters: 10 of 12 meters answered; no answer from 3, 9."
    QString text() const;
    // Whether the log (and telvaro-cli) says text() at the end.
    bool shown() const { return !title.isEmpty() && (!quiet || stopped); }
};

class Operation : public QObject {
    Q_OBJECT
public:
    explicit Operation(BusSession &session, QObject *parent = nullptr);

    bool running() const { return m_running; }
    // Ends a running operation at once; a request already sent is not awaited.
    // The session's stopAll() comes here as well. It may come while the
    // link is being made ready (a converter's connect): nothing was asked then.
    void stop();
    const OperationSummary &summary() const { return m_summary; }

signals:
    void runningChanged(bool running);
    void progressChanged(int minimum, int maximum, int value, bool visible);
    void finished(const OperationSummary &summary);

protected:
    // Takes the bus and makes the link ready; false (and the bus free again)
    // when either cannot be had, or the operation was stopped meanwhile. The
    // operation runs (and can be stopped) from the start of the wait for the
    // link. The summary starts afresh with this title.
    bool takeBus(const QString &title);
    // The end of the walk: every wait cancelled, the link use ended, the
    // summary logged (when shown()), the bus free.
    void end();
    // Told when the walk stops early (Stop, a lost link), before it ends.
    virtual void onStop() {}

    BusSession &m_session;
    Exchange m_exchange;
    OperationSummary m_summary;

private:
    // True when a wait was under way: its request may still be answered.
    bool cancelWaits();
    void linkWentAway();

    bool m_running = false;
    bool m_linkReady = false; // takeBus got the link: the walk has begun
};
