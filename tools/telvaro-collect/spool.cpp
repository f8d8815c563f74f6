#include "spool.h"

#include "archive/stored_reading.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace collect {

namespace {

const char *column(Spool::Side side)
{
    return side == Spool::Side::Broker ? "to_broker" : "to_archive";
}

} // namespace

Spool::Spool() : m_connection(QStringLiteral("spool-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Spool::~Spool()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool Spool::open(const QString &file, QString *error)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        *error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(file).absolutePath());
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(file);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    QSqlQuery q(m_db);
    // WAL with normal sync: a commit costs no wait for the disk, and a power
    // cut loses at most the last moments, never the file.
    const bool ok = m_db.open() && q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
                    && q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
                    && q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS spool ("
                                             "seq INTEGER PRIMARY KEY AUTOINCREMENT, topic TEXT NOT NULL, "
                                             "payload BLOB NOT NULL, telegrams BLOB NOT NULL, read_at TEXT NOT NULL, "
                                             "complete INTEGER NOT NULL, route TEXT, link TEXT, "
                                             "to_broker INTEGER NOT NULL, to_archive INTEGER NOT NULL)"))
                    && q.exec(QStringLiteral("PRAGMA quick_check")) && q.next()
                    && q.value(0).toString() == QLatin1String("ok");
    if (!ok)
        *error = m_db.lastError().text().isEmpty() ? q.lastError().text() : m_db.lastError().text();
    if (!ok && error->isEmpty())
        *error = QStringLiteral("the file is damaged");
    return ok;
}

QString Spool::error() const
{
    return m_db.lastError().text();
}

bool Spool::add(std::vector<SpooledReading> &readings)
{
    if (!m_db.transaction())
        return false;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO spool (topic, payload, telegrams, read_at, complete, route, link, "
                             "to_broker, to_archive) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
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
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT seq, topic, payload, telegrams, read_at, complete, route, link FROM spool "
                             "WHERE %1 = 1 AND seq > ? ORDER BY seq LIMIT ?")
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
        found.push_back(std::move(r));
    }
    return found;
}

bool Spool::done(Side side, const std::vector<qint64> &seqs)
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

int Spool::count(Side side) const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM spool WHERE %1 = 1").arg(QLatin1String(column(side))))
        || !q.next())
        return 0;
    return q.value(0).toInt();
}

} // namespace collect
