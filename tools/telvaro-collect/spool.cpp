#include "spool.h"

#include "archive/stored_reading.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace collect {

namespace {

const char *column(Spool::Side side)
{
    return side == Spool::Side::Broker ? "to_broker" : "to_archive";
}

// Readings held in memory are numbered from here: after every number the file gives.
constexpr qint64 kMemorySeq = qint64(1) << 50;

bool &needs(SpooledReading &r, Spool::Side side)
{
    return side == Spool::Side::Broker ? r.toBroker : r.toArchive;
}

// Spools of before the readings had an identity get the column.
bool hasReadingIds(QSqlQuery &q)
{
    if (!q.exec(QStringLiteral("PRAGMA table_info(spool)")))
        return false;
    while (q.next())
        if (q.value(1).toString() == QLatin1String("reading_id"))
            return true;
    return q.exec(QStringLiteral("ALTER TABLE spool ADD COLUMN reading_id TEXT"));
}

} // namespace

// Why nothing can be written into a folder ("No space left on device",
// "Permission denied"): a small file is tried there and removed again.
// Empty when it could be written.
static QString writeProblem(const QString &folder)
{
    QFile probe(QDir(folder).filePath(QStringLiteral(".telvaro-probe-%1").arg(QCoreApplication::applicationPid())));
    QString why;
    if (!probe.open(QIODevice::WriteOnly))
        why = probe.errorString();
    else if (probe.write(QByteArray(4096, '\0')) < 0 || !probe.flush())
        why = probe.errorString();
    if (probe.exists())
        probe.remove();
    return why;
}

static QString withReason(const QString &why)
{
    return why.isEmpty() ? why : QStringLiteral(": ") + why;
}

Spool::Spool() : m_connection(QStringLiteral("spool-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Spool::~Spool()
{
    closeFile();
}

bool Spool::open(const QString &file, QString *error, QString *notice)
{
    const QString folder = QFileInfo(file).absolutePath();
    // Readings are the user's own: a folder made here is its owner's only,
    // and so are the files (SQLite gives its journal the file's mode).
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            *error = QStringLiteral("cannot make the folder %1%2")
                         .arg(folder, withReason(writeProblem(QFileInfo(folder).path())));
            return false;
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (!QFileInfo::exists(file)) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    // One collector per spool: a second one would publish the same readings.
    m_lock = std::make_unique<QLockFile>(file + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // stale only when its process is gone
    if (!m_lock->tryLock(0)) {
        qint64 pid = 0;
        QString host, program;
        m_lock->getLockInfo(&pid, &host, &program);
        *error =
            m_lock->error() == QLockFile::LockFailedError
                ? QStringLiteral("process %1 (%2) uses it").arg(pid).arg(program)
                : QStringLiteral("its lock file %1.lock cannot be made%2").arg(file, withReason(writeProblem(folder)));
        return false;
    }
    QFile::setPermissions(file + QStringLiteral(".lock"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const Opened opened = openFile(file, error);
    if (opened != Opened::Damaged)
        return opened == Opened::Ok;
    // A damaged file is kept aside, not lost, and a new one is begun.
    closeFile();
    const QString aside = file + QStringLiteral(".damaged-")
                          + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmss"));
    if (!QFile::rename(file, aside))
        return false;
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(file + QLatin1String(suffix), aside + QLatin1String(suffix));
    *notice = QStringLiteral("the spool %1 was damaged (%2): it is kept as %3, and a new one is begun")
                  .arg(file, *error, aside);
    return openFile(file, error) == Opened::Ok;
}

Spool::Opened Spool::openFile(const QString &file, QString *error)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(file);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        *error = m_db.lastError().text();
        return Opened::Failed;
    }
    QSqlQuery q(m_db);
    // WAL with normal sync: a commit costs no wait for the disk, and a power
    // cut loses at most the last moments, never the file. The partial indexes
    // keep each side's oldest waiting readings at hand however many the
    // other side leaves behind.
    const bool ok = q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
                    && q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
                    && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS spool ("
                                             "seq INTEGER PRIMARY KEY AUTOINCREMENT, topic TEXT NOT NULL, "
                                             "payload BLOB NOT NULL, telegrams BLOB NOT NULL, read_at TEXT NOT NULL, "
                                             "complete INTEGER NOT NULL, route TEXT, link TEXT, "
                                             "to_broker INTEGER NOT NULL, to_archive INTEGER NOT NULL)"))
                    && q.exec(
                        QStringLiteral("CREATE INDEX IF NOT EXISTS spool_broker ON spool (seq) WHERE to_broker = 1"))
                    && q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS spool_archive ON spool (seq) "
                                             "WHERE to_archive = 1"))
                    && hasReadingIds(q);
    if (!ok) {
        *error = q.lastError().text();
        // SQLITE_CORRUPT, SQLITE_NOTADB
        const QString code = q.lastError().nativeErrorCode();
        return code == QLatin1String("11") || code == QLatin1String("26") ? Opened::Damaged : Opened::Failed;
    }
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() || q.value(0).toString() != QLatin1String("ok")) {
        *error = q.lastError().text().isEmpty() ? q.value(0).toString() : q.lastError().text();
        return Opened::Damaged;
    }
    return Opened::Ok;
}

void Spool::closeFile()
{
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

QString Spool::error() const
{
    return m_memoryReason.isEmpty() ? m_db.lastError().text() : m_memoryReason;
}

bool Spool::add(std::vector<SpooledReading> &readings)
{
    if (m_memory.empty() && addToFile(readings))
        return true;
    if (m_memory.empty()) {
        // The system's words ("No space left on device") say more than SQLite's.
        const QString why = writeProblem(QFileInfo(m_db.databaseName()).absolutePath());
        m_memoryReason = why.isEmpty() ? m_db.lastError().text() : why;
    }
    for (SpooledReading &r : readings) {
        r.seq = kMemorySeq + ++m_memorySeq;
        m_memory.push_back(r);
    }
    return false;
}

bool Spool::isInMemory(qint64 seq)
{
    return seq >= kMemorySeq;
}

int Spool::keepMemory()
{
    if (m_memory.empty())
        return 0;
    std::vector<SpooledReading> held = std::move(m_memory);
    m_memory.clear();
    if (addToFile(held)) {
        ++m_memoryRounds;
        return 0;
    }
    m_memory = std::move(held);
    return int(m_memory.size());
}

bool Spool::addToFile(std::vector<SpooledReading> &readings)
{
    if (!m_db.transaction())
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO spool (topic, payload, telegrams, read_at, complete, route, link, "
                             "to_broker, to_archive, reading_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (SpooledReading &r : readings) {
        // An empty text or payload is kept as such, not as NULL.
        q.addBindValue(r.topic.isNull() ? QStringLiteral("") : r.topic);
        q.addBindValue(r.payload.isNull() ? QByteArray("") : r.payload);
        q.addBindValue(archive::joinTelegrams(r.telegrams));
        q.addBindValue(r.readAt.toUTC().toString(Qt::ISODateWithMs));
        q.addBindValue(int(r.complete));
        q.addBindValue(r.route);
        q.addBindValue(r.link);
        q.addBindValue(int(r.toBroker));
        q.addBindValue(int(r.toArchive));
        q.addBindValue(r.readingId);
        if (!q.exec()) {
            m_db.rollback();
            return false;
        }
        r.seq = q.lastInsertId().toLongLong();
    }
    return m_db.commit();
}

std::vector<SpooledReading> Spool::waiting(Side side, qint64 afterSeq, int limit) const
{
    std::vector<SpooledReading> found;
    // Memory's readings come after the file's.
    const auto fromMemory = [&] {
        for (const SpooledReading &r : m_memory)
            if (int(found.size()) < limit && r.seq > afterSeq && (side == Side::Broker ? r.toBroker : r.toArchive))
                found.push_back(r);
        return found;
    };
    if (afterSeq >= kMemorySeq)
        return fromMemory();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT seq, topic, payload, telegrams, read_at, complete, route, link, reading_id "
                             "FROM spool WHERE %1 = 1 AND seq > ? ORDER BY seq LIMIT ?")
                  .arg(QLatin1String(column(side))));
    q.addBindValue(afterSeq);
    q.addBindValue(limit);
    if (!q.exec())
        return found;
    while (q.next()) {
        SpooledReading r;
        r.seq = q.value(0).toLongLong();
        r.topic = q.value(1).toString();
        r.payload = q.value(2).toByteArray();
        r.telegrams = archive::splitTelegrams(q.value(3).toByteArray());
        r.readAt = QDateTime::fromString(q.value(4).toString(), Qt::ISODateWithMs);
        r.complete = q.value(5).toInt() != 0;
        r.route = q.value(6).toString();
        r.link = q.value(7).toString();
        r.readingId = q.value(8).toString();
        found.push_back(std::move(r));
    }
    return fromMemory();
}

bool Spool::done(Side side, const std::vector<qint64> &seqs)
{
    std::vector<qint64> inFile;
    for (qint64 seq : seqs) {
        if (seq < kMemorySeq) {
            inFile.push_back(seq);
            continue;
        }
        for (SpooledReading &r : m_memory)
            if (r.seq == seq)
                needs(r, side) = false;
    }
    const std::size_t before = m_memory.size();
    std::erase_if(m_memory, [](const SpooledReading &r) { return !r.toBroker && !r.toArchive; });
    if (before > 0 && m_memory.empty()) {
        ++m_memoryRounds; // the file is written again from the next reading on
        m_memoryReason.clear();
    }
    return doneInFile(side, inFile);
}

bool Spool::doneInFile(Side side, const std::vector<qint64> &seqs)
{
    if (seqs.empty())
        return true;
    if (!m_db.transaction())
        return false;
    QSqlQuery q(m_db), drop(m_db);
    q.prepare(QStringLiteral("UPDATE spool SET %1 = 0 WHERE seq = ?").arg(QLatin1String(column(side))));
    drop.prepare(QStringLiteral("DELETE FROM spool WHERE seq = ? AND to_broker = 0 AND to_archive = 0"));
    for (qint64 seq : seqs) {
        q.addBindValue(seq);
        drop.addBindValue(seq);
        if (!q.exec() || !drop.exec()) {
            m_db.rollback();
            return false;
        }
    }
    return m_db.commit();
}

int Spool::release(Side side)
{
    for (SpooledReading &r : m_memory)
        needs(r, side) = false;
    std::erase_if(m_memory, [](const SpooledReading &r) { return !r.toBroker && !r.toArchive; });
    const int waiting = count(side);
    QSqlQuery q(m_db);
    if (waiting == 0)
        return 0;
    if (!m_db.transaction() || !q.exec(QStringLiteral("UPDATE spool SET %1 = 0").arg(QLatin1String(column(side))))
        || !q.exec(QStringLiteral("DELETE FROM spool WHERE to_broker = 0 AND to_archive = 0")) || !m_db.commit()) {
        m_db.rollback();
        return -1;
    }
    return waiting;
}

int Spool::count(Side side) const
{
    const int held = int(std::count_if(m_memory.begin(), m_memory.end(), [side](const SpooledReading &r) {
        return side == Side::Broker ? r.toBroker : r.toArchive;
    }));
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM spool WHERE %1 = 1").arg(QLatin1String(column(side))))
        || !q.next())
        return held;
    return held + q.value(0).toInt();
}

} // namespace collect
