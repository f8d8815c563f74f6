#pragma once
// The primary scan: asks every address of a range in turn (REQ_UD2, or
// SND_NKE first) and appends every meter that answers to the device table.
//
// Retries are spent where the bus gave a reason. While the bus has shown no
// loss, an address whose wait stayed silent is taken as empty at once: on a
// clean bus the scan costs one wait per address. A try that brought bytes
// but no valid reading (a damaged frame, a reply from another address, an
// acknowledgement), or bytes that came too late for their request, is loss:
// that address is asked again, every silent address after it gets the full
// "Retries", and at the end the addresses that were silent before the loss
// are asked anew, as an address after the loss is, since they were trusted
// on a bus that was not clean. The session remembers the loss: the walks after this
// one trust no silence until enough answers in a row have come clean.

#include "operation.h"

#include <QList>

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
    // The address after m_current: the range, then the second look at the
    // addresses trusted silent before the first loss; false when none is left.
    bool moveOn();

    int m_first = 0;
    int m_last = 0;
    int m_current = 0;
    bool m_nkeFirst = false;
    bool m_lossSeen = false;
    QList<int> m_trustedSilent; // silent addresses passed while the bus looked clean
    bool m_secondLook = false;
    QTimer m_globalInit{this};
};
