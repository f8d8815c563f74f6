#include "archive_worker.h"
#include "archive_worker_ptr.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace archive {

namespace {

// Readings that wait together are written in one transaction: a disk that
// syncs every commit then keeps up with any bus.
constexpr std::size_t kBatch = 200;

} // namespace

struct ArchiveWorker::Shared {
    explicit Shared(const QString &where)
        : location(where),
          shownLocation(where.startsWith(QLatin1String("postgresql://"))
                            ? QUrl(where).toDisplayString(QUrl::RemovePassword)
                            : where)
    {}

    const QString location, shownLocation;
    std::mutex mutex;
    std::condition_variable wake, ended;
    std::deque<StoredReading> queue;
    std::optional<HistoryQuestion> question;
    ArchiveWorker *owner = nullptr; // null once the owner is gone
    int capacity = kDefaultCapacity;
    std::size_t inFlight = 0;
    bool closing = false; // no more readings: the thread ends once the queue is written
    bool givenUp = false; // the end came while the thread was busy: it ends without clean-up
    bool running = true;
    bool failing = false; // a problem was said; cleared when a reading is kept again
    int unsaid = 0;       // not stored since resumed() said the last count
    int notStoredTotal = 0;
    // Size and time of a file found damaged; the thread's alone.
    std::optional<std::pair<qint64, QDateTime>> damagedFile;

    // Calls on the owner's thread; dropped once the owner is gone. The mutex
    // must be held.
    void post(std::function<void(ArchiveWorker &)> call)
    {
        if (owner)
            QMetaObject::invokeMethod(
                owner, [o = owner, call = std::move(call)] { call(*o); }, Qt::QueuedConnection);
    }
    // Counts readings that were not kept; the first since the last kept one
    // is said. The mutex must be held.
    void lost(std::size_t count, const QString &message)
    {
        unsaid += int(count);
        notStoredTotal += int(count);
        if (!failing)
            post([message](ArchiveWorker &w) { emit w.problem(message); });
        failing = true;
    }
};

ArchiveWorker::ArchiveWorker(const QString &location, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>(location))
{
    qRegisterMetaType<archive::HistoryAnswer>();
    m_shared->owner = this;
    std::thread(run, m_shared).detach(); // its end is awaited through `ended`, with a bound
}

void WorkerDeleter::operator()(ArchiveWorker *worker) const
{
    delete worker;
}

ArchiveWorker::~ArchiveWorker()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
    m_shared->closing = true; // what waits is still written, nobody is told
    m_shared->wake.notify_all();
}

QString ArchiveWorker::shownLocation() const
{
    return m_shared->shownLocation; // never changes: read without the lock
}

void ArchiveWorker::setCapacity(int readings)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->capacity = std::max(1, readings);
}

bool ArchiveWorker::submit(StoredReading reading)
{
    const std::lock_guard lock(m_shared->mutex);
    Shared &s = *m_shared;
    if (s.closing || int(s.queue.size()) >= s.capacity) {
        s.lost(1, s.closing ? tr("The archive %1 is closed").arg(s.shownLocation)
                            : tr("The archive %1 does not keep up (is its server stopped?)").arg(s.shownLocation));
        return false;
    }
    s.queue.push_back(std::move(reading));
    s.wake.notify_all();
    return true;
}

void ArchiveWorker::requestHistory(const QString &meterId, const QDateTime &from, const QDateTime &to)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->question = HistoryQuestion{meterId, from, to}; // a newer question replaces one not yet answered
    m_shared->wake.notify_all();
}

ArchiveWorker::Outcome ArchiveWorker::finish(std::chrono::milliseconds wait)
{
    Shared &s = *m_shared;
    Outcome outcome;
    {
        std::unique_lock lock(s.mutex);
        s.closing = true;
        s.question.reset();
        s.wake.notify_all();
        outcome.ended = s.ended.wait_for(lock, wait, [&s] { return !s.running; });
        if (!outcome.ended) {
            // The thread waits on the archive (a server that answers nothing):
            // what it holds is not stored, and it is left alone from here on.
            s.givenUp = true;
            const int waiting = int(s.queue.size() + s.inFlight);
            s.queue.clear();
            s.unsaid += waiting;
            s.notStoredTotal += waiting;
        }
    }
    // What the thread said meanwhile comes first, in its order.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    const std::lock_guard lock(s.mutex);
    outcome.unsaid = std::exchange(s.unsaid, 0);
    outcome.notStored = s.notStoredTotal;
    s.owner = nullptr; // nothing more is said
    return outcome;
}

void ArchiveWorker::run(const std::shared_ptr<Shared> &shared)
{
    Shared &s = *shared;
    // Made, used and closed on this thread only.
    auto store = std::make_unique<ReadingArchive>();
    for (;;) {
        std::vector<StoredReading> batch;
        std::optional<HistoryQuestion> question;
        {
            std::unique_lock lock(s.mutex);
            s.inFlight = 0;
            s.wake.wait(lock, [&s] { return s.givenUp || !s.queue.empty() || s.question || s.closing; });
            if (s.givenUp || (s.closing && s.queue.empty()))
                break;
            while (!s.queue.empty() && batch.size() < kBatch) {
                batch.push_back(std::move(s.queue.front()));
                s.queue.pop_front();
            }
            s.inFlight = batch.size();
            question.swap(s.question);
        }
        if (!batch.empty())
            write(s, *store, batch);
        if (question)
            answer(s, *store, *question);
    }
    std::unique_lock lock(s.mutex);
    // Given up: the program is ending, and a connection still stuck in its
    // server is not touched again.
    if (s.givenUp)
        (void)store.release();
    else
        store.reset();
    s.running = false;
    s.inFlight = 0;
    s.ended.notify_all();
}

bool ArchiveWorker::ensureOpen(Shared &s, ReadingArchive &store, bool forWriting)
{
    if (store.isOpen() && store.replaced()) {
        store.close();
        const std::lock_guard lock(s.mutex);
        s.post([location = s.shownLocation](ArchiveWorker &w) {
            emit w.problem(tr("The archive %1 was removed or replaced while in use: it is opened anew").arg(location));
        });
    }
    if (store.isOpen())
        return true;
    const QFileInfo file(s.location);
    const auto stamp = std::make_pair(file.size(), file.lastModified());
    // A file found damaged is not checked again for every reading while it stays as it is.
    if (forWriting && file.exists() && s.damagedFile == stamp)
        return false;
    s.damagedFile.reset();
    if (!store.open(s.location))
        return false;
    if (!store.check())
        s.damagedFile = stamp;
    return true;
}

void ArchiveWorker::write(Shared &s, ReadingArchive &store, const std::vector<StoredReading> &batch)
{
    std::size_t stored = 0;
    const bool wasOpen = store.isOpen();
    bool written = ensureOpen(s, store, true) && store.store(batch);
    if (!written && wasOpen && s.location.startsWith(QLatin1String("postgresql://"))) {
        // A connection the server dropped (it restarted) fails its first
        // write: tried once more on a new one. A repeat stores nothing twice.
        store.close();
        written = ensureOpen(s, store, true) && store.store(batch);
    }
    if (written) {
        stored = batch.size();
    } else if (batch.size() > 1 && store.isOpen()) {
        // The one transaction failed for all of them: as many as there is
        // room for are kept (a disk that fills half-way), one at a time until
        // one fails, so that a server that is gone costs one more wait only.
        while (stored < batch.size() && store.store(batch[stored]))
            ++stored;
    }
    const auto tell = [&s, stored, lost = batch.size() - stored] {
        s.post([stored, lost](ArchiveWorker &w) { emit w.written(int(stored), int(lost)); });
    };
    if (stored == batch.size()) {
        const std::lock_guard lock(s.mutex);
        tell();
        if (s.failing || s.unsaid > 0) {
            s.post([count = std::exchange(s.unsaid, 0)](ArchiveWorker &w) { emit w.resumed(count); });
            s.failing = false;
        }
        return;
    }
    // The reason stays with the archive, also when a damaged file was not opened again.
    const QString why = store.error();
    // Dropped, and made again for the next reading: a server that restarted
    // or a disk with room again is used at once.
    store.close();
    const std::lock_guard lock(s.mutex);
    tell();
    s.lost(batch.size() - stored, why);
}

void ArchiveWorker::answer(Shared &s, ReadingArchive &store, const HistoryQuestion &question)
{
    HistoryAnswer a;
    a.meterId = question.meterId;
    if (ensureOpen(s, store, false)) {
        if (!store.damage().isEmpty())
            a.warning = tr("The archive %1 is damaged (%2): what it shows may be incomplete or wrong")
                            .arg(store.shownLocation(), store.damage());
        a.readings = store.history(question.meterId, question.from, question.to);
    }
    if (a.readings.empty())
        a.error = store.error();
    const std::lock_guard lock(s.mutex);
    s.post([a = std::move(a)](ArchiveWorker &w) { emit w.historyReady(a); });
}

} // namespace archive
