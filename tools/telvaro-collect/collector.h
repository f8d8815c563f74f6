#pragma once
// The collector: its buses, each on its own thread, and where their readings
// go. A reading enters the spool first (on this thread, never the bus's);
// from there the broker takes it in order and the archive stores it, and it
// leaves the spool when both have it. A broker or archive that is away only
// makes readings wait.

#include "bus_collector.h"
#include "collect_config.h"
#include "discovery.h"
#include "spool.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <deque>
#include <memory>
#include <vector>

class QThread;
class QTimer;

namespace archive {
class ArchiveWorker;
}

namespace collect {

class MqttLink;

class Collector : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool once = false; // one cycle per bus, then finished()
        bool verbose = false;
        bool quiet = false; // only what goes wrong is said
    };
    Collector(CollectConfig config, Options options, QObject *parent = nullptr);
    ~Collector() override;

    // Opens the spool, the archive and the broker connection and starts the
    // buses; false (and why) when the spool cannot be had.
    bool start(QString *error);
    // A configuration read again: false when its station, archive, spool or
    // broker differ (the collector is then begun anew). Else the buses whose
    // sections changed are ended and begun again, and the others go on.
    bool reload(const CollectConfig &next);
    // Stops every bus (what it read is kept), says "offline" and closes,
    // each within a bounded wait.
    void shutDown();
    // 0 when every meter was read and every reading delivered, else 1 (--once).
    int status() const;
    // Readings that were neither delivered nor kept when it shut down (the
    // spool could not be written): a service ends with an error then.
    int lost() const { return m_lost; }
    // Hands over a reading as a bus does (the buses' own way in; the
    // benchmark's too).
    void take(const CollectedReading &reading);
    // Nothing waits: every reading taken is published and stored.
    bool allDelivered() const;

signals:
    void finished(); // --once: every bus did its cycle and what it read went out (or the wait ran out)

private:
    struct Bus {
        QThread *thread = nullptr;
        BusCollector *worker = nullptr;
        bool cycled = false;
        QString fingerprint;
    };

    Bus startBus(const BusConfig &config);
    // Each ends after the answer under way; what they read is taken.
    void stopBuses(std::vector<Bus> buses);

    void keepIncoming();
    // The file takes readings again after memory held them: the sides go on
    // after the last reading they had from the file.
    void spoolRoundOver();
    // The seq of what a side is handed: its cursor for the file's readings.
    static void advance(qint64 seq, qint64 &cursor, qint64 &fileCursor);
    // At the end, what memory holds is delivered for a few seconds at most.
    void deliverHeld();
    void brokerConnection(bool connected, const QString &reason);
    void pumpBroker();
    void delivered(int messageId);
    void pumpArchive();
    void archiveWritten(int stored, int notStored);
    void checkStalls();
    void cycleDone(const BusCollector *worker, const CycleReport &report);
    void checkFinished();
    void say(const QString &line) const;

    CollectConfig m_config;
    Options m_options;
    Topics m_topics;
    Spool m_spool;
    std::vector<Bus> m_buses;
    bool m_shutDown = false;

    std::vector<SpooledReading> m_incoming; // taken, not yet in the spool
    QTimer *m_keepTimer = nullptr;
    bool m_spoolFailing = false;
    int m_memoryRounds = 0;
    int m_lost = 0;

    MqttLink *m_mqtt = nullptr;
    int m_brokerState = -1;        // -1 unknown, 0 away, 1 connected: said on change only
    QHash<int, qint64> m_inFlight; // message id -> seq
    qint64 m_brokerCursor = 0, m_brokerFileCursor = 0;
    std::vector<qint64> m_published;
    QTimer *m_ackTimer = nullptr;
    QElapsedTimer m_brokerProgress; // since the last acknowledgement, or since the wait for one began
    bool m_brokerStalled = false;
    // Discovery topic -> its retained configuration (empty: a removal), as
    // last published; all of it again at every connection, for a broker
    // that lost its retained messages.
    QHash<QString, QByteArray> m_discovery;

    archive::ArchiveWorker *m_archive = nullptr;
    std::deque<qint64> m_archiving; // handed to the archive, in order
    qint64 m_archiveCursor = 0, m_archiveFileCursor = 0;
    std::vector<qint64> m_archivedUnmarked; // stored, but the spool could not note it yet
    bool m_archiveFailed = false;
    QTimer *m_archiveRetry = nullptr;
    std::chrono::seconds m_archivePause{0};
    QElapsedTimer m_archiveProgress;
    bool m_archiveStalled = false;

    bool m_allRead = true;
    QTimer *m_finishDeadline = nullptr;
};

} // namespace collect
