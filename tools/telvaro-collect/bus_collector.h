#pragma once
// One bus of the collector, on a thread of its own: its own bus stack, the
// meters to read, and the schedule. A cycle reads every meter once (one
// operation at a time, as in the window); every few hours, when the meters
// are "all found", the cycle finds them anew by a scan and/or a wildcard
// search, whose own readings then count as the cycle's. A link that cannot
// be had is tried again with a growing pause, said once when it goes and
// once when it comes back.

#include "collect_config.h"

#include "archive/stored_reading.h"
#include "decode/device_table.h"
#include "link/comm_log.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class ProgramBus;
class Operation;
class QTimer;
struct OperationSummary;

namespace collect {

struct CollectedReading {
    QByteArrayList telegrams;
    QDateTime readAt; // UTC
    bool complete = true;
    archive::ReadingSource source;
    QString bus;                   // the [Bus NAME] it came from
    std::chrono::seconds every{0}; // that bus's schedule
};

struct CycleReport {
    int read = 0;
    int asked = 0;
    QStringList missing; // the IDs (or addresses) that gave no reading
    std::chrono::milliseconds took{0};
    bool linkDown = false; // the cycle could not reach the bus
    QString bus;
};

class BusCollector : public QObject, public CommLog {
    Q_OBJECT
public:
    // Made on the owner's thread; moved to the bus's thread before start().
    BusCollector(BusConfig config, bool once, bool verbose, bool quiet = false);
    ~BusCollector() override;

    // On the bus's thread: builds the stack and begins the first cycle.
    Q_INVOKABLE void start();
    // On the bus's thread: lets the exchange under way end (bounded), stops
    // what runs, drops the stack, says stopped() and ends the thread's event
    // loop. Nothing of the bus runs after it.
    Q_INVOKABLE void stop();

    void addLine(const QString &line) override;

signals:
    void readingTaken(const collect::CollectedReading &reading);
    void cycleDone(const collect::CycleReport &report);
    void said(const QString &line);
    void stopped();

private:
    struct Target {
        std::optional<int> address; // read by its address, else selected by its ID
        QString id;                 // known or given
        QString name() const { return id.isEmpty() ? QString::number(*address) : id; }
    };
    enum class Phase { Idle, Scan, Search, ReadAddresses, ReadIds };

    void finishExchange();
    void beginCycle();
    bool findDue() const;
    // Runs the operation started by `start`; a link that cannot be had is a link failure.
    void launch(Operation &operation, Phase phase, const std::function<void()> &start);
    void operationEnded(Phase phase, const OperationSummary &summary);
    void readAddresses();
    void readNextId();
    void takeFound(Phase phase);
    void endCycle();
    void linkFailed(const QString &reason);
    void scheduleNext(std::chrono::milliseconds delay);

    BusConfig m_config;
    const bool m_once;
    const bool m_verbose;
    const bool m_quiet; // a cycle that read every meter is not said
    Settings m_settings;
    decode::DeviceTable m_table;
    std::unique_ptr<ProgramBus> m_bus;
    QTimer *m_timer = nullptr; // the next cycle or the next try
    bool m_closing = false;    // stop() came: nothing new begins
    bool m_stopping = false;   // nothing more is said
    bool m_launching = false;  // inside an operation's start
    bool m_stopWhenLaunched = false;

    std::vector<Target> m_targets;
    std::optional<QDateTime> m_lastFind;
    Phase m_phase = Phase::Idle;
    bool m_findCycle = false;
    bool m_linkLost = false;
    QString m_lastLine;
    QElapsedTimer m_cycleClock;
    QDateTime m_cycleStart;
    QStringList m_answered; // names of targets read in this cycle
    QStringList m_found;    // in a finding cycle: every meter found
    int m_nextId = 0;
    std::vector<std::size_t> m_rowTargets; // the target of each table row in a read-all
    bool m_resumeCycle = false;            // the link went mid-cycle: the next try goes on with it

    bool m_linkDown = false;
    std::chrono::seconds m_pause{0};
};

} // namespace collect

Q_DECLARE_METATYPE(collect::CollectedReading)
Q_DECLARE_METATYPE(collect::CycleReport)
