#pragma once
// Finding meters by their identification number: one meter by its full ID,
// or all of them by a wildcard search that narrows the ID digit by digit and
// descends one digit deeper wherever several meters answer at once. Every
// meter found is read at 253 and entered in the device table by its ID.
//
// The search runs on the user-interface thread, one step per tick of its
// timer: a selection and one response timeout, then, when something
// answered, a REQ_UD2 to 253 and one more timeout.
//
//   selection 68 0B 0B 68 53 FD 52 FF FF FF 3F FF FF FF FF .. 16  ("3FFFFFFF")

#include "bus_session.h"

#include <array>
#include <vector>

class SecondarySequence;

class SecondarySearch : public QObject {
    Q_OBJECT
public:
    SecondarySearch(BusSession &session, SecondarySequence &sequence, QObject *parent = nullptr);

    bool running() const { return m_running; }

    // "Find" with a complete ID that is not FFFFFFFF: select and read that meter.
    void findById(const QString &idText);
    // The wildcard search; the confirmation is the caller's. clearTable empties
    // the device table once the link is ready. pattern (leftmost digit first,
    // kWildcardDigit for an open one) keeps its given digits throughout: only
    // IDs that have them are searched for.
    void startWildcard(bool clearTable, const std::array<std::uint8_t, 8> &pattern = kAllOpen);
    static constexpr std::array<std::uint8_t, 8> kAllOpen = {15, 15, 15, 15, 15, 15, 15, 15};
    // "Stop Secondary": the search ends at its next step.
    void stop();
    // Ends a running search now (the program closes), with its end steps.
    void abort() { end(); }

    // The pattern as the log shows it: the leftmost digit first, F for any digit.
    QString patternText() const;

signals:
    void runningChanged(bool running);
    void progressChanged(int minimum, int maximum, int value, bool visible);

private:
    enum class Wait { GlobalInit, Selection, Reading };
    struct Level {
        int cell;  // 1 (least significant) .. 8 (leftmost)
        int digit; // 0..9, 10 when done
    };

    void begin();
    void checkNext();
    void stepDone();
    void onTick();
    void afterSelection();
    void afterReading();
    void end();
    // The next cell the search may choose a digit for, after `cell` in the
    // search's direction (0: from the start); 0 when there is none.
    int nextOpenCell(int cell) const;

    BusSession &m_session;
    SecondarySequence &m_sequence;
    QTimer m_timer;
    Wait m_wait = Wait::Selection;
    bool m_running = false;
    bool m_stop = false;
    bool m_lsbFirst = false;
    int m_progress = 0;
    std::array<std::uint8_t, 8> m_cells{};          // m_cells[0] is cell 1
    std::array<std::uint8_t, 8> m_fixed = kAllOpen; // the given digits, as m_cells
    std::vector<Level> m_levels;                    // the top level first, the deepest last
};
