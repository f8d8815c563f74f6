#pragma once
// The primary scan: asks every address of a range in turn (REQ_UD2, or
// SND_NKE first), with retries, and appends every meter that answers to the
// device table.

#include "operation.h"

class PrimaryScan : public Operation {
    Q_OBJECT
public:
    // "Global Initialization": the pause after the SND_NKE to 255.
    static constexpr int kGlobalInitMs = 1300;

    explicit PrimaryScan(BusSession &session, QObject *parent = nullptr);

    int currentAddress() const { return m_current; }

    // Scans first..last (either order). Clearing the table is the caller's.
    void start(int first, int last);

private:
    void askCurrent();
    void answered(const Answer &answer);

    int m_first = 0;
    int m_last = 0;
    int m_current = 0;
    bool m_nkeFirst = false;
    QTimer m_globalInit{this};
};
