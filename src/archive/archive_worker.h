#pragma once
// The readings archive on a thread of its own, so that a slow disk or a
// server that does not answer never holds up the bus: readings wait in a
// bounded queue, and the archive's connection is made, used and closed on
// that thread only. Handing over a reading never blocks; one that does not
// fit is counted, not kept. After a failure the connection is dropped and
// made again for the next reading.
//
// What goes wrong is said once: problem() at the first reading not kept,
// resumed() with the count when readings are kept again, and finish() gives
// the count still unsaid at the end.

#include "reading_archive.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace archive {

// A meter's readings as the archive's thread found them.
struct HistoryAnswer {
    QString meterId;
    std::vector<StoredReading> readings;
    QString error;   // the archive could not be read: no readings
    QString warning; // the archive is damaged: what it shows may be incomplete or wrong
};

struct HistoryQuestion {
    QString meterId;
    QDateTime from, to; // UTC; open ends when invalid
};

class ArchiveWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultCapacity = 1000; // readings waiting at most

    explicit ArchiveWorker(const QString &location, QObject *parent = nullptr);
    // Never waits: a thread that is still writing ends on its own.
    ~ArchiveWorker() override;

    // Queues the reading. False when it was not taken (the queue is full, or
    // the archive is finished): it is counted as not stored.
    bool submit(StoredReading reading);
    // Asks for a meter's readings; historyReady() answers.
    void requestHistory(const QString &meterId, const QDateTime &from = {}, const QDateTime &to = {});

    struct Outcome {
        int unsaid = 0;    // readings not stored and not said by resumed()
        int notStored = 0; // all readings not stored since the start
        bool ended = true; // false: the archive did not answer within the wait
    };
    // Takes no more readings and waits at most `wait` for the queue to be
    // written. Readings still waiting after that count as not stored.
    Outcome finish(std::chrono::milliseconds wait);

    void setCapacity(int readings);
    // The location as it may be shown: a server's password left out.
    QString shownLocation() const;

signals:
    void problem(const QString &message);
    void resumed(int notStored);
    // Each write of queued readings, in the order they were handed over: the
    // first `stored` of them are kept, the next `notStored` are not.
    void written(int stored, int notStored);
    void historyReady(const archive::HistoryAnswer &answer);

private:
    // What the owner and the thread share; it outlives the owner when the
    // thread is still busy at the end.
    struct Shared;
    static void run(const std::shared_ptr<Shared> &shared);
    static void write(Shared &shared, ReadingArchive &store, const std::vector<StoredReading> &batch);
    static void answer(Shared &shared, ReadingArchive &store, const HistoryQuestion &question);
    // Opens the archive when it is not open (again when its file was
    // replaced) and checks it; false when it cannot be used.
    static bool ensureOpen(Shared &shared, ReadingArchive &store, bool forWriting);

    std::shared_ptr<Shared> m_shared;
};

} // namespace archive

Q_DECLARE_METATYPE(archive::HistoryAnswer)
