#pragma once
// Reads every meter of the device table by its primary address, row by row,
// with retries; each reply updates its row.

#include "bus_session.h"

class ReadAll : public QObject {
    Q_OBJECT
public:
    explicit ReadAll(BusSession &session, QObject *parent = nullptr);

    bool running() const { return m_running; }
    int currentRow() const { return m_row; }

    // Nothing happens when the table holds no meter.
    void start();
    void stop();

signals:
    void runningChanged(bool running);
    void progressChanged(int minimum, int maximum, int value, bool visible);

private:
    void tick();
    // The address of a data row, when it has one to send to.
    std::optional<int> rowAddress(int row) const;
    // Moves on to the next data row with an address and asks it; false at the end.
    bool askNextRow(int from);
    void advanceProgress();
    void end();

    BusSession &m_session;
    bool m_running = false;
    int m_row = 0;
    int m_retry = 0;
    int m_progress = 0;
    int m_progressMax = 0;
    bool m_showProgress = false;
};
