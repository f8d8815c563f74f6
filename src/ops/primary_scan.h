#pragma once
// The primary scan: asks every address of a range in turn (REQ_UD2, or
// SND_NKE first), with retries, and appends every meter that answers to the
// device table. One request per tick of the response timer.

#include "bus_session.h"

class PrimaryScan : public QObject {
    Q_OBJECT
public:
    // "Global Initialization": the pause after the SND_NKE to 255.
    static constexpr int kGlobalInitMs = 1300;

    explicit PrimaryScan(BusSession &session, QObject *parent = nullptr);

    bool running() const { return m_running; }
    int currentAddress() const { return m_current; }

    // Scans first..last (either order). Clearing the table is the caller's.
    void start(int first, int last);
    // Ends a running scan at once; a request already sent is not awaited.
    void stop();

signals:
    void runningChanged(bool running);
    void progressChanged(int minimum, int maximum, int value, bool visible);

private:
    void tick();
    void askFirstAddress();
    void sendAgain(bool logReading);
    void nextAddress();
    void end();

    BusSession &m_session;
    bool m_running = false;
    int m_first = 0;
    int m_last = 0;
    int m_current = 0;
    int m_retry = 0;
    int m_progress = 0;
    QTimer m_globalInit;
};
