#pragma once
// Reads every meter of the device table by its primary address, row by row,
// with retries; each reading updates its row. A reply must come from the
// row's address and, where the row holds an ID, from that meter.

#include "operation.h"

class ReadAll : public Operation {
    Q_OBJECT
public:
    explicit ReadAll(BusSession &session, QObject *parent = nullptr);

    int currentRow() const { return m_row; }

    // Nothing happens when the table holds no meter. The title names the
    // walk in its summary where it does a job of its own ("Read").
    void start(const QString &title = {});

private:
    // The address of a data row, when it has one to send to.
    std::optional<int> rowAddress(int row) const;
    // Moves on to the next data row with an address and asks it; false at the end.
    bool askNextRow(int from);
    void answered(const Answer &answer);
    void advanceProgress();

    int m_row = 0;
    int m_progress = 0;
    int m_progressMax = 0;
    bool m_showProgress = false;
};
