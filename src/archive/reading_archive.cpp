#include "reading_archive.h"

#include "archive_statements.h"

#include "decode/header.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive {

namespace {

// The context lupdate gives the texts of ReadingArchive's members.
QString tr(const char *text)
{
    return QCoreApplication::translate("archive::ReadingArchive", text);
}

// A connection outside Qt's list of named connections. Only the thread
// that made it knows it, so a thread still waiting on a server when the
// program ends is never touched by Qt's clean-up of that list.
class OwnConnection : public QSqlDatabase {
public:
    explicit OwnConnection(const QString &driver) : QSqlDatabase(driver) {}
};

// One row per reading ID (rows without one, from older archives, are many NULLs).
const QString kReadingIdIndex = QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS readings_by_reading_id "
                                               "ON readings (reading_id)");

// The tables; `key` and the types differ between SQLite and PostgreSQL.
QStringList schema(bool postgres)
{
    const QString key = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    const QString blob = postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QString real = postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    const QString tail = postgres ? QString() : QStringLiteral(" WITHOUT ROWID");
    // SQLite keeps times as ISO 8601 text in UTC, which sorts as time.
    const QString time = postgres ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS meters (id %1, meter_id TEXT NOT NULL, manufacturer TEXT NOT NULL, "
                       "version INTEGER NOT NULL, medium INTEGER NOT NULL, "
                       "UNIQUE (meter_id, manufacturer, version, medium))")
            .arg(key),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS readings (id %1, meter BIGINT NOT NULL REFERENCES meters(id), address INTEGER, "
            "route TEXT NOT NULL, read_at %3 NOT NULL, status INTEGER NOT NULL, access INTEGER NOT NULL, "
            "complete INTEGER NOT NULL, telegrams %2 NOT NULL, station TEXT NOT NULL DEFAULT '', "
            "link TEXT NOT NULL DEFAULT '', main_value %4, main_unit TEXT NOT NULL DEFAULT '', reading_id TEXT)")
            .arg(key, blob, time, real),
        QStringLiteral("CREATE INDEX IF NOT EXISTS readings_by_meter ON readings (meter, read_at)"),
        kReadingIdIndex,
        // What a record is (quantity, unit, power of ten, function) is kept once
        // in `kinds`: a record row holds numbers only, and stays small.
        QStringLiteral("CREATE TABLE IF NOT EXISTS kinds (id %1, quantity TEXT NOT NULL, unit TEXT NOT NULL, "
                       "exponent INTEGER NOT NULL, function TEXT NOT NULL, "
                       "UNIQUE (quantity, unit, exponent, function))")
            .arg(key),
        QStringLiteral("CREATE TABLE IF NOT EXISTS records (reading BIGINT NOT NULL REFERENCES readings(id), "
                       "position INTEGER NOT NULL, kind BIGINT NOT NULL REFERENCES kinds(id), "
                       "storage INTEGER NOT NULL, tariff INTEGER NOT NULL, subunit INTEGER NOT NULL, value %1, "
                       "text TEXT, PRIMARY KEY (reading, position))%2")
            .arg(real, tail),
    };
}

// For people and their own queries, the same columns in both engines: the
// newest reading of each meter, and every record of every reading.
QStringList views(bool postgres)
{
    const QString create = postgres ? QStringLiteral("CREATE OR REPLACE VIEW")
                                    : QStringLiteral("CREATE VIEW IF NOT EXISTS");
    const QString hours = postgres ? QStringLiteral("EXTRACT(EPOCH FROM (now() - r.read_at)) / 3600.0")
                                   : QStringLiteral("(julianday('now') - julianday(r.read_at)) * 24.0");
    const QString day = postgres ? QStringLiteral("to_char(r.read_at AT TIME ZONE 'UTC', 'YYYY-MM-DD')")
                                 : QStringLiteral("substr(r.read_at, 1, 10)");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS media (code INTEGER PRIMARY KEY, name TEXT NOT NULL)"),
        QStringLiteral(
            "%1 latest_readings AS SELECT m.meter_id AS id, m.manufacturer, COALESCE(md.name, '') AS medium, "
            "m.version, r.address, r.station, r.link, r.route, r.read_at, %2 AS hours_since, "
            "r.main_value AS value, r.main_unit AS unit, r.status, r.complete FROM meters m "
            "JOIN readings r ON r.id = (SELECT r2.id FROM readings r2 WHERE r2.meter = m.id "
            "ORDER BY r2.read_at DESC, r2.id DESC LIMIT 1) LEFT JOIN media md ON md.code = m.medium")
            .arg(create, hours),
        QStringLiteral("%1 reading_values AS SELECT m.meter_id AS id, r.read_at, %2 AS day, r.station, k.quantity, "
                       "k.unit, rec.value, rec.text, rec.storage, rec.tariff, rec.subunit, k.function, "
                       "r.id AS reading FROM records rec JOIN readings r ON r.id = rec.reading "
                       "JOIN meters m ON m.id = r.meter JOIN kinds k ON k.id = rec.kind")
            .arg(create, day),
    };
}

} // namespace

QString defaultLocation()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Telvaro/telvaro-readings.sqlite"));
}

ReadingArchive::ReadingArchive() = default;

ReadingArchive::~ReadingArchive()
{
    close();
}

bool ReadingArchive::isOpen() const
{
    return m_db.isOpen();
}

void ReadingArchive::close()
{
    // Prepared statements of a connection the server has closed cannot be
    // freed, and each would say so in a warning: they are let go unfreed
    // (a few queries, once per lost connection).
    if (m_postgres && m_statements && (!m_db.isOpen() || !QSqlQuery(m_db).exec(QStringLiteral("SELECT 1"))))
        (void)m_statements.release();
    m_statements.reset(); // before its connection goes
    m_db.close();
    m_db = QSqlDatabase();
    m_writable = false;
}

bool ReadingArchive::fail(const QString &what)
{
    m_error = what.simplified(); // a server's messages come in several lines
    return false;
}

bool ReadingArchive::open(const QString &location)
{
    close();
    m_error.clear();
    m_damage.clear();
    m_postgres = location.startsWith(QLatin1String("postgresql://"));
    m_path = m_postgres ? QString() : location;
    if (m_postgres ? !openServer(location) : !openFile(location)) {
        const QString why = m_error;
        close();
        m_error = why;
        return false;
    }
    if (!m_postgres) {
        struct stat st {};
        if (::stat(QFile::encodeName(m_path).constData(), &st) == 0) {
            m_device = st.st_dev;
            m_inode = st.st_ino;
        }
    }
    return true;
}

bool ReadingArchive::openServer(const QString &location)
{
    const QUrl url(location, QUrl::StrictMode);
    // A raw @ or / in the password makes another URL, not an invalid one:
    // whatever stands before the last @ is the user and the password.
    const QString afterScheme = location.mid(location.indexOf(QLatin1String("//")) + 2);
    const QString userInfo = afterScheme.left(std::max<qsizetype>(afterScheme.lastIndexOf(u'@'), 0));
    QString problem;
    if (!url.isValid() || userInfo.contains(u'@') || userInfo.contains(u'/'))
        problem = tr("it is no valid URL (in a password, @ / : % are written %40 %2F %3A %25)");
    else if (url.host().isEmpty())
        problem = tr("it names no server");
    else if (url.path().size() < 2 || url.path().indexOf(u'/', 1) >= 0)
        problem = tr("it names no database (/DATABASE at its end)");
    if (!problem.isEmpty()) {
        // Nothing between "//" and the last '@', where a password would be.
        const qsizetype at = location.lastIndexOf(u'@');
        m_shownLocation = at < 0 ? location : QStringLiteral("postgresql://...") + location.mid(at);
        return fail(tr("The archive %1 cannot be used: %2").arg(m_shownLocation, problem));
    }
    m_shownLocation = url.toDisplayString(QUrl::RemovePassword);
    m_writable = true;
    m_db = OwnConnection(QStringLiteral("QPSQL"));
    m_db.setHostName(url.host());
    m_db.setPort(url.port(5432));
    m_db.setDatabaseName(url.path().mid(1));
    m_db.setUserName(url.userName());
    // Without one in the URL, libpq takes it from ~/.pgpass, PGPASSFILE or PGPASSWORD.
    m_db.setPassword(url.password());
    // A server that is away fails the connection after 5 s, a statement that
    // hangs in the server is cancelled after 5 s, and a server that vanished
    // from the network is noticed by TCP within some 10 s. A server that is
    // stopped altogether answers nothing: only the archive's own thread waits.
    m_db.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c statement_timeout=5000';"
                                          "keepalives_idle=10;keepalives_interval=5;keepalives_count=2;"
                                          "tcp_user_timeout=10000"));
    if (!m_db.open())
        return fail(tr("The archive %1 cannot be reached: %2").arg(m_shownLocation, m_db.lastError().text()));
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_name = 'schema_info' "
                               "AND table_schema = current_schema()"))
        || !q.next())
        return fail(tr("The archive %1 cannot be read: %2").arg(m_shownLocation, q.lastError().text()));
    return createOrMigrate(q.value(0).toInt() == 0);
}

bool ReadingArchive::openFile(const QString &path)
{
    m_shownLocation = path;
    const QFileInfo file(path);
    if (file.isDir())
        return fail(tr("The archive %1 cannot be opened: it is a folder").arg(path));
    // Readings are the user's own: a new archive (and the folder made for it)
    // is readable by its owner only, whatever the umask. SQLite gives its
    // journal the file's mode.
    if (!QFileInfo::exists(file.absolutePath())) {
        QDir().mkpath(file.absolutePath());
        QFile::setPermissions(file.absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (!file.exists()) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    // Looked at before SQLite is let near it: nothing is written into a file
    // that is not ours.
    QByteArray header;
    if (file.exists() && file.size() > 0) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return fail(tr("The archive %1 cannot be opened: %2").arg(path, f.errorString()));
        header = f.read(100);
        if (header.size() < 100 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
            return fail(tr("%1 is no database: nothing is stored in it").arg(path));
    }
    // Bytes 18 and 19 are 2 in a file that an earlier version kept in WAL mode.
    const bool wal = header.size() >= 20 && header[18] == 2 && header[19] == 2;
    // Root may write any file: one without write permission counts as read-only all the same.
    const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    m_writable = !file.exists() || (file.isWritable() && (file.permissions() & anyWrite));
    m_db = OwnConnection(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(path);
    // Other programs may write at the same time: wait for them a while.
    m_db.setConnectOptions(m_writable ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000")
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY"));
    if (!m_db.open())
        return fail(tr("The archive %1 cannot be opened: %2").arg(path, m_db.lastError().text()));
    QSqlQuery q(m_db);
    // Every page is checked in full as it is read: a damaged one is an error.
    q.exec(QStringLiteral("PRAGMA cell_size_check=ON"));
    // A WAL file opened in exclusive locking mode keeps its index in memory:
    // no shared-memory file, whose pages a full disk turns into a crash.
    if (wal && m_writable && !q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")))
        return fail(tr("The archive %1 cannot be opened: %2").arg(path, q.lastError().text()));
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return fail(tr("The archive %1 cannot be read: %2").arg(path, q.lastError().text()));
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    q.finish();
    const bool fresh = !tables.contains(QStringLiteral("schema_info"));
    if (fresh && !tables.isEmpty())
        return fail(tr("%1 is a database, but no readings archive: nothing is stored in it").arg(path));
    if (m_writable) {
        // A rollback journal, never WAL: every write goes through write(), so
        // a full disk is an error to report, not a signal that kills the program.
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=TRUNCATE")) || !q.next()
            || q.value(0).toString() != QLatin1String("truncate"))
            return fail(tr("The archive %1 cannot be opened: %2")
                            .arg(path, q.lastError().isValid() ? q.lastError().text()
                                                               : tr("another program keeps it in WAL mode")));
        q.finish();
        if (wal) {
            q.exec(QStringLiteral("PRAGMA locking_mode=NORMAL"));
            q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")); // gives up the exclusive lock
            q.finish();
        }
    }
    return createOrMigrate(fresh);
}

bool ReadingArchive::createOrMigrate(bool fresh)
{
    QSqlQuery q(m_db);
    if (fresh) {
        if (!m_writable)
            return fail(tr("The archive %1 is read-only and holds no readings").arg(m_shownLocation));
        // Two programs making the same new file at once: whichever comes
        // second finds the tables there and adds nothing.
        QStringList statements{QStringLiteral("CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL)")};
        statements += schema(m_postgres);
        statements += views(m_postgres);
        statements << QStringLiteral("INSERT INTO schema_info SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM schema_info)")
                          .arg(kSchemaVersion);
        return inTransaction(tr("The archive %1 cannot be set up: %2"),
                             [&] { return runAll(q, statements) && fillMedia(q); });
    }
    if (!q.exec(QStringLiteral("SELECT version FROM schema_info")) || !q.next())
        return fail(tr("%1 is not a readings archive").arg(m_shownLocation));
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kSchemaVersion) {
        // Written by a newer program: read what it holds, never write into it.
        m_writable = false;
        m_error = tr("The archive %1 was made by a newer Telvaro (schema %2): it is only read")
                      .arg(m_shownLocation)
                      .arg(version);
    } else if (version < kSchemaVersion && m_writable) {
        return inTransaction(tr("The archive %1 cannot be brought up to date: %2"),
                             [&] { return migrate(q, version); });
    }
    return true;
}

bool ReadingArchive::inTransaction(const QString &failure, const std::function<bool()> &steps)
{
    QSqlQuery q(m_db);
    if (q.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")) && steps()
        && q.exec(QStringLiteral("COMMIT")))
        return true;
    const QString why = m_stepError.isEmpty() ? q.lastError().text() : m_stepError;
    m_stepError.clear();
    q.exec(QStringLiteral("ROLLBACK"));
    return fail(failure.arg(m_shownLocation, why));
}

bool ReadingArchive::runAll(QSqlQuery &q, const QStringList &statements)
{
    for (const QString &statement : statements)
        if (!q.exec(statement))
            return stepFailed(q);
    return true;
}

bool ReadingArchive::stepFailed(const QSqlQuery &q)
{
    m_stepError = q.lastError().text();
    return false;
}

// The medium codes' names, for the views.
bool ReadingArchive::fillMedia(QSqlQuery &q)
{
    q.prepare(QStringLiteral("INSERT INTO media (code, name) VALUES (?, ?) ON CONFLICT DO NOTHING"));
    for (int code = 0; code < 256; ++code) {
        const std::string_view name = decode::mediumName(std::uint8_t(code));
        q.addBindValue(code);
        q.addBindValue(QString::fromLatin1(name.data(), qsizetype(name.size())));
        if (!q.exec())
            return stepFailed(q);
    }
    return true;
}

// One step at a time from the version found; schema 1 is the first.
bool ReadingArchive::migrate(QSqlQuery &q, int version)
{
    if (version < 2) {
        // Where a reading came from, its main value, and the views.
        const QString real = m_postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
        QStringList statements;
        for (const QString &column :
             {QStringLiteral("station TEXT NOT NULL DEFAULT ''"), QStringLiteral("link TEXT NOT NULL DEFAULT ''"),
              QStringLiteral("main_value ") + real, QStringLiteral("main_unit TEXT NOT NULL DEFAULT ''")})
            statements << QStringLiteral("ALTER TABLE readings ADD COLUMN ") + column;
        if (m_postgres)
            statements << QStringLiteral(
                "ALTER TABLE readings ALTER COLUMN read_at TYPE TIMESTAMPTZ USING read_at::timestamptz");
        statements += views(m_postgres);
        if (!runAll(q, statements) || !fillMedia(q) || !fillMainValues(q))
            return false;
    }
    if (version < 3) // the reading's identity
        if (!runAll(q, {QStringLiteral("ALTER TABLE readings ADD COLUMN reading_id TEXT"), kReadingIdIndex}))
            return false;
    return runAll(q, {QStringLiteral("UPDATE schema_info SET version = %1").arg(kSchemaVersion)});
}

// The main value of readings stored before it was kept, from their telegrams.
bool ReadingArchive::fillMainValues(QSqlQuery &q)
{
    QSqlQuery update(m_db);
    update.prepare(QStringLiteral("UPDATE readings SET main_value = ?, main_unit = ? WHERE id = ?"));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, telegrams FROM readings")))
        return stepFailed(q);
    // Only the results are kept while the query runs, never the telegrams.
    struct Main {
        qlonglong id;
        std::optional<double> value;
        QString unit;
    };
    std::vector<Main> found;
    while (q.next()) {
        StoredReading reading;
        reading.telegrams = splitTelegrams(q.value(1).toByteArray());
        chooseMainValue(reading);
        found.push_back({q.value(0).toLongLong(), reading.mainValue, reading.mainUnit});
    }
    q.finish();
    for (const Main &main : found) {
        update.addBindValue(main.value ? QVariant(*main.value) : QVariant(QMetaType(QMetaType::Double)));
        update.addBindValue(main.unit);
        update.addBindValue(main.id);
        if (!update.exec())
            return stepFailed(update);
    }
    return true;
}

bool ReadingArchive::check()
{
    m_damage.clear();
    if (!isOpen() || m_postgres)
        return true;
    // SQLite's quick check reads every page: some 50 ms per 10,000 readings.
    // Up to kFullCheckBytes the whole file is checked; a larger one in part,
    // within a few milliseconds whatever its size: the small tables that are
    // changed in place, and the newest readings and records, whose pages the
    // next readings extend. Every other page is checked as it is read
    // (cell_size_check), so a damaged one is an error, never data.
    QStringList checks;
    if (QFileInfo(m_path).size() <= kFullCheckBytes) {
        checks << QStringLiteral("PRAGMA quick_check(1)"); // the first fault is enough to know
    } else {
        for (const char *table : {"schema_info", "meters", "kinds"})
            checks << QStringLiteral("PRAGMA quick_check(%1)").arg(QLatin1String(table));
        checks << QStringLiteral("SELECT count(*), sum(length(telegrams)) FROM (SELECT telegrams FROM readings "
                                 "ORDER BY id DESC LIMIT 200)")
               << QStringLiteral("SELECT count(*), sum(kind), sum(value) FROM records WHERE reading >= "
                                 "(SELECT min(id) FROM (SELECT id FROM readings ORDER BY id DESC LIMIT 200))");
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    for (const QString &statement : std::as_const(checks)) {
        if (!q.exec(statement))
            m_damage = q.lastError().text();
        else if (!q.next())
            m_damage = q.lastError().text();
        else if (statement.startsWith(QLatin1String("PRAGMA")) && q.value(0).toString() != QLatin1String("ok"))
            m_damage = q.value(0).toString();
        q.finish();
        if (!m_damage.isEmpty()) {
            m_damage = m_damage.simplified();
            m_writable = false;
            return false;
        }
    }
    return true;
}

qint64 ReadingArchive::readingCount()
{
    QSqlQuery q(m_db);
    if (isOpen() && q.exec(QStringLiteral("SELECT count(*) FROM readings")) && q.next())
        return q.value(0).toLongLong();
    fail(tr("The archive %1 cannot be read: %2").arg(m_shownLocation, q.lastError().text()));
    return -1;
}

bool ReadingArchive::backup(const QString &target)
{
    if (!isOpen())
        return fail(tr("The archive is not open"));
    if (m_postgres)
        return fail(tr("A PostgreSQL archive is copied with the server's own tools (pg_dump)"));
    if (QFileInfo::exists(target))
        return fail(tr("%1 is there already: a copy is made only into a new file").arg(target));
    // One read transaction: writers go on, the copy is the archive as it was at its start.
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(target);
    if (!q.exec()) {
        const QString why = q.lastError().text();
        QFile::remove(target);
        return fail(tr("The archive %1 could not be copied to %2: %3").arg(m_shownLocation, target, why));
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

bool ReadingArchive::replaced() const
{
    if (m_path.isEmpty() || !isOpen())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(m_path).constData(), &st) != 0 || st.st_dev != m_device || st.st_ino != m_inode;
}

} // namespace archive
