// The readings archive without a window: what a reading keeps, files that
// are no archive, damaged or may not be written, several writers at once, a
// lock held too long, the writer's thread saying what it could not store,
// and the same on PostgreSQL when a server can be started here.

#include "archive/archive_worker.h"
#include "mbus/frames.h"
#include "pg_server.h"
#include "stored_readings.h"

#include <QDir>
#include <QMutex>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using archive::ReadingArchive;
using archive::StoredReading;

namespace {

// A water meter 12345678 at address 5: volume 12.345 m3, a date, a text.
QByteArray telegram(const char *id = "78563412", const char *volume = "45230100")
{
    QByteArray data = QByteArray::fromHex(id) + QByteArray::fromHex("4304 01 07 2A 00 0000");
    data += QByteArray::fromHex("0C13") + QByteArray::fromHex(volume)
            + QByteArray::fromHex("426C 1F3C 0D FD0C 03 414243");
    const mbus::Bytes body(data.begin(), data.end());
    const mbus::Bytes frame = mbus::longFrame(0x08, 0x05, 0x72, body);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

StoredReading reading(const QDateTime &when, const char *id = "78563412", bool complete = true)
{
    return *archive::readingFromTelegrams(
        {telegram(id)}, when, {QStringLiteral("serial"), QStringLiteral("van-3"), QStringLiteral("/dev/ttyUSB0")},
        complete);
}

QStringList qtWarnings; // what Qt says while a test listens, from any thread
QMutex qtWarningsLock;

const QDateTime kMonday(QDate(2026, 12, 7), QTime(10, 30), Qt::UTC);

// One statement on a file, through a connection of the test's own.
bool runSql(const QString &path, const QString &statement)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("direct"));
        db.setDatabaseName(path);
        ok = db.open() && QSqlQuery(db).exec(statement);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("direct"));
    return ok;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Stores two readings a day apart, the second one incomplete, and checks
// that every field comes back.
void roundTrip(ReadingArchive &store)
{
    QVERIFY2(store.store(reading(kMonday)), qPrintable(store.error()));
    QVERIFY2(store.store(reading(kMonday.addDays(1), "78563412", false)), qPrintable(store.error()));
    const std::vector<StoredReading> back = store.history(QStringLiteral("12345678"));
    QCOMPARE(back.size(), std::size_t(2));
    QCOMPARE(back[0].readAt, kMonday.addDays(1)); // newest first
    QCOMPARE(back[1].readAt, kMonday);
    QCOMPARE(QList<bool>({back[0].complete, back[1].complete}), QList<bool>({false, true}));
    const StoredReading &r = back[0];
    QCOMPARE(QStringList({r.meterId, r.manufacturer, r.route}), QStringList({"12345678", "ABC", "serial"}));
    QCOMPARE(QList<int>({*r.address, r.version, r.medium, r.access, r.status}), QList<int>({5, 1, 7, 0x2A, 0}));
    QCOMPARE(r.telegrams, QByteArrayList{telegram()}); // can be decoded again
    QCOMPARE(r.records.size(), std::size_t(3));
    const archive::StoredRecord &volume = r.records[0];
    QCOMPARE(QStringList({volume.quantity, volume.unit, volume.function}),
             QStringList({"Volume", "m3", "instantaneous"}));
    QCOMPARE(QList<int>({volume.exponent, volume.storage, volume.tariff, volume.subunit}), QList<int>({-3, 0, 0, 0}));
    QCOMPARE(*volume.value, 12.345);
    QCOMPARE(r.records[1].text, QStringLiteral("2024-12-31"));
    QCOMPARE(r.records[1].storage, 1);
    QVERIFY(!r.records[1].value);
    QCOMPARE(r.records[2].text, QStringLiteral("ABC"));
    // Both ends of a span belong to it.
    const QString id = QStringLiteral("12345678");
    QCOMPARE(store.history(id, kMonday, kMonday).size(), std::size_t(1));
    QCOMPARE(store.history(id, kMonday.addDays(1), kMonday.addDays(1)).size(), std::size_t(1));
    QCOMPARE(store.history(id, kMonday.addSecs(60)).size(), std::size_t(1));
    QCOMPARE(store.history(id, {}, kMonday.addSecs(-1)).size(), std::size_t(0));
    QCOMPARE(store.history(QStringLiteral("87654321")).size(), std::size_t(0));

    // A batch that fails half-way (a reading no database takes: a meter
    // without ID) leaves nothing behind, and nothing of it is used by the next store.
    StoredReading noId = reading(kMonday.addDays(2), "11223344");
    noId.meterId = QString();
    QVERIFY(!store.store(std::vector<StoredReading>{reading(kMonday.addDays(2), "55667788"), noId}));
    QCOMPARE(store.history(QStringLiteral("88776655")).size(), std::size_t(0));
    QVERIFY2(store.store(reading(kMonday.addDays(3), "99887766")), qPrintable(store.error()));
    QVERIFY2(store.store(reading(kMonday.addDays(3), "55667788")), qPrintable(store.error()));
    const std::vector<StoredReading> after = store.history(QStringLiteral("88776655"));
    QCOMPARE(after.size(), std::size_t(1));
    QCOMPARE(after[0].records.size(), std::size_t(3));
}

} // namespace

class TstArchive : public QObject {
    Q_OBJECT
private slots:
    void keepsWholeReadings();
    void filesThatAreNoArchive_data();
    void filesThatAreNoArchive();
    void foreignOrDamagedRefused_data();
    void foreignOrDamagedRefused();
    void writerSaysOnceAndCounts();
    void severalWritersLoseNothing();
    void lockHeldTooLong();
    void postgresql();
    void serverLocationsRefused_data();
    void serverLocationsRefused();
    void viewsAnswerTheReadmeQueries_data();
    void viewsAnswerTheReadmeQueries();

private:
    QTemporaryDir m_dir;
};

void TstArchive::keepsWholeReadings()
{
    ReadingArchive store;
    // Under the usual umask a new archive, its journal and the folder made for
    // it are its owner's only.
    const mode_t umask = ::umask(022);
    QVERIFY2(store.open(m_dir.filePath(QStringLiteral("private/whole.sqlite"))), qPrintable(store.error()));
    const auto modeOf = [this](const char *name) {
        struct stat st {};
        return ::stat(QFile::encodeName(m_dir.filePath(QLatin1String(name))).constData(), &st) == 0
                   ? int(st.st_mode & 0777)
                   : -1;
    };
    QVERIFY(store.writable());
    roundTrip(store);
    ::umask(umask);
    QCOMPARE(QList<int>({modeOf("private"), modeOf("private/whole.sqlite"), modeOf("private/whole.sqlite-journal")}),
             QList<int>({0700, 0600, 0600}));
    // After a clean close the file alone holds every reading: a plain copy of it is whole.
    store.close();
    const QString copy = m_dir.filePath(QStringLiteral("private/copy.sqlite"));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("private/whole.sqlite")), copy));
    QCOMPARE(storedReadings(copy), storedReadings(m_dir.filePath(QStringLiteral("private/whole.sqlite"))));
    QVERIFY(storedReadings(copy) > 0);
    QVERIFY(!archive::readingFromTelegrams({QByteArray::fromHex("E5")}, kMonday, {}, true));
}

void TstArchive::filesThatAreNoArchive_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("writable");
    QTest::newRow("read-only archive") << "read-only" << true << false;
    QTest::newRow("newer schema") << "newer" << true << false;
    QTest::newRow("folder that cannot be made") << "no folder" << false << false;
    QTest::newRow("server that does not answer") << "server" << false << false;
}

// A clear message, no crash; what can be read is read.
void TstArchive::filesThatAreNoArchive()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QFETCH(bool, writable);
    QString path = m_dir.filePath(kind + QStringLiteral(".sqlite"));
    if (kind == QLatin1String("no folder")) {
        path = QStringLiteral("/proc/telvaro/readings.sqlite");
    } else if (kind == QLatin1String("server")) {
        path = QStringLiteral("postgresql://telvaro@127.0.0.1:1/readings");
    } else {
        ReadingArchive first;
        QVERIFY(first.open(path) && first.store(reading(kMonday)));
        first.close();
        if (kind == QLatin1String("newer"))
            QVERIFY(runSql(path, QStringLiteral("UPDATE schema_info SET version = 99")));
        if (kind == QLatin1String("read-only"))
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    }
    ReadingArchive store;
    QCOMPARE(store.open(path), opens);
    if (!opens) {
        QVERIFY(!store.error().isEmpty());
        return;
    }
    QCOMPARE(store.writable(), writable);
    QCOMPARE(store.history(QStringLiteral("12345678")).size(), std::size_t(1));
    QVERIFY(!store.store(reading(kMonday.addDays(2))));
    QVERIFY(!store.error().isEmpty());
}

void TstArchive::foreignOrDamagedRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refusal"); // of open(), %1 the file; empty when it opens
    QTest::newRow("database of another program")
        << "contacts"
        << "%1 is a database, but no readings archive: nothing is stored in it";
    QTest::newRow("no database at all") << "text"
                                        << "%1 is no database: nothing is stored in it";
    QTest::newRow("archive with damage in its middle") << "damaged"
                                                       << "";
    QTest::newRow("archive of an earlier version, in WAL mode") << "wal"
                                                                << "";
}

// Files that are not ours are left exactly as they were; a damaged archive
// is read with a warning and never written; an archive an earlier version
// kept in WAL mode is taken over with a rollback journal.
void TstArchive::foreignOrDamagedRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, refusal);
    const QString path = m_dir.filePath(kind + QStringLiteral("-refused.sqlite"));
    if (kind == QLatin1String("text")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
    } else if (kind == QLatin1String("contacts")) {
        QVERIFY(runSql(path, QStringLiteral("CREATE TABLE contacts (name TEXT)")));
    } else {
        ReadingArchive first;
        std::vector<StoredReading> readings;
        for (int i = 0; i < 300; ++i) // some 30 pages: the middle one is in use
            readings.push_back(reading(kMonday.addSecs(i)));
        QVERIFY(first.open(path) && first.store(readings));
        first.close();
        if (kind == QLatin1String("wal")) {
            QVERIFY(runSql(path, QStringLiteral("PRAGMA journal_mode=WAL")));
        } else {
            QFile f(path);
            QByteArray noise(4096, 0);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(f.size() / 2) && f.write(noise) == noise.size());
        }
    }
    const QByteArray before = contents(path);
    ReadingArchive store;
    if (!refusal.isEmpty()) {
        QVERIFY(!store.open(path));
        QCOMPARE(store.error(), refusal.arg(path));
        QVERIFY(contents(path) == before); // no other journal mode, no tables
        return;
    }
    QVERIFY2(store.open(path), qPrintable(store.error()));
    if (kind == QLatin1String("wal")) {
        QVERIFY(store.check() && !QFileInfo::exists(path + QStringLiteral("-shm")));
        QCOMPARE(store.history(QStringLiteral("12345678")).size(), std::size_t(300));
        QVERIFY2(store.store(reading(kMonday.addDays(1))), qPrintable(store.error()));
        QCOMPARE(contents(path).mid(18, 2), QByteArray("\x01\x01")); // a rollback journal from now on
        return;
    }
    QVERIFY(!store.check());
    QVERIFY(!store.store(reading(kMonday.addDays(1))));
    QVERIFY2(store.error().startsWith(QStringLiteral("The archive %1 is damaged (").arg(path))
                 && store.error().endsWith(QStringLiteral("): nothing more is stored in it")),
             qPrintable(store.error()));
    store.close();
    archive::ArchiveWorker reader(path); // the history comes with a warning
    QSignalSpy answered(&reader, &archive::ArchiveWorker::historyReady);
    reader.requestHistory(QStringLiteral("12345678"));
    QVERIFY(answered.wait(10000));
    const auto answer = answered.first().first().value<archive::HistoryAnswer>();
    QVERIFY2(answer.warning.endsWith(QStringLiteral("): what it shows may be incomplete or wrong")),
             qPrintable(answer.warning));
}

// An archive that cannot be written (read-only) and then can: the reason is
// said once, the count of readings lost once when storing starts again, and
// nothing is said twice.
void TstArchive::writerSaysOnceAndCounts()
{
    const QString path = m_dir.filePath(QStringLiteral("counted.sqlite"));
    {
        ReadingArchive made;
        QVERIFY(made.open(path));
    }
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    archive::ArchiveWorker writer(path);
    QSignalSpy problems(&writer, &archive::ArchiveWorker::problem);
    QSignalSpy resumed(&writer, &archive::ArchiveWorker::resumed);
    for (int i = 0; i < 5; ++i)
        QVERIFY(writer.submit(reading(kMonday.addSecs(i))));
    QTRY_COMPARE(problems.size(), 1);
    QCOMPARE(problems.first().first().toString(), QStringLiteral("The archive %1 is read-only").arg(path));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    writer.submit(reading(kMonday.addDays(1)));
    QTRY_COMPARE(resumed.size(), 1);
    QCOMPARE(resumed.first().first().toInt(), 5); // all five were tried, and said once
    QCOMPARE(problems.size(), 1);
    const archive::ArchiveWorker::Outcome outcome = writer.finish(std::chrono::seconds(10));
    QVERIFY(outcome.ended && outcome.unsaid == 0);
    QCOMPARE(outcome.notStored, 5);
    QCOMPARE(storedReadings(path), 1);
}

// Two programs make the same new archive and store at the same time (a cron
// job and the window): every reading of both arrives.
void TstArchive::severalWritersLoseNothing()
{
    const QString path = m_dir.filePath(QStringLiteral("shared.sqlite"));
    QList<pid_t> writers;
    for (const char *id : {"11111111", "22222222"}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ReadingArchive store;
            bool ok = store.open(path);
            for (int i = 0; ok && i < 150; ++i)
                ok = store.store(reading(kMonday.addSecs(i), id));
            ::_exit(ok ? 0 : 1);
        }
        writers << pid;
    }
    for (pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ReadingArchive store;
    QVERIFY(store.open(path));
    QCOMPARE(store.history(QStringLiteral("11111111")).size(), std::size_t(150));
    QCOMPARE(store.history(QStringLiteral("22222222")).size(), std::size_t(150));
}

// Another program holds the archive longer than the busy timeout: the store
// fails with the reason, and the next one succeeds once the lock is gone.
void TstArchive::lockHeldTooLong()
{
    const QString path = m_dir.filePath(QStringLiteral("locked.sqlite"));
    ReadingArchive store;
    QVERIFY(store.open(path));
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(path);
    QVERIFY(holder.open());
    QSqlQuery lock(holder);
    QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    QVERIFY(!store.store(reading(kMonday)));
    QVERIFY2(store.error().contains(QStringLiteral("locked")), qPrintable(store.error()));
    QVERIFY(lock.exec(QStringLiteral("COMMIT")));
    QVERIFY(store.store(reading(kMonday)));
    lock = QSqlQuery();
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

// The same schema and queries on PostgreSQL; after a restart of the server
// the writer's thread writes the next reading on a new connection.
void TstArchive::postgresql()
{
    PgServer server;
    if (const QString why = server.start(); !why.isEmpty())
        QSKIP(qPrintable(why + QStringLiteral(": the PostgreSQL archive is not tested")));
    {
        ReadingArchive store;
        QVERIFY2(store.open(server.url()), qPrintable(store.error()));
        roundTrip(store);
    }
    qtWarnings.clear();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        const QMutexLocker lock(&qtWarningsLock);
        if (type == QtWarningMsg)
            qtWarnings << message;
    });
    archive::ArchiveWorker writer(server.url());
    QSignalSpy problems(&writer, &archive::ArchiveWorker::problem);
    QSignalSpy resumed(&writer, &archive::ArchiveWorker::resumed);
    writer.submit(reading(kMonday.addDays(3)));
    QTRY_COMPARE(storedReadings(server.url()), 5); // four of the round trip
    QVERIFY(server.restart());
    // It meets the old connection, closed by the server, and is written on a new one.
    writer.submit(reading(kMonday.addDays(4)));
    QTRY_COMPARE(storedReadings(server.url()), 6);
    QCOMPARE(writer.finish(std::chrono::seconds(10)).notStored, 0);
    QCOMPARE(problems.size() + resumed.size(), 0);
    qInstallMessageHandler(nullptr);
    QCOMPARE(qtWarnings, QStringList()); // nothing said of statements on the lost connection

    // The password as libpq users keep it, in a password file: the location names none.
    QVERIFY(server.requirePassword(QStringLiteral("se/cret@1")));
    QTemporaryFile pgpass; // mode 0600, as libpq wants it
    QVERIFY(pgpass.open());
    pgpass.write(QStringLiteral("127.0.0.1:%1:postgres:telvaro:se/cret@1\n").arg(server.port()).toUtf8());
    pgpass.flush();
    ReadingArchive store;
    QVERIFY(!store.open(server.url()));
    QVERIFY(!store.error().contains(QLatin1String("cret")));
    qputenv("PGPASSFILE", QFile::encodeName(pgpass.fileName()));
    QVERIFY2(store.open(server.url()), qPrintable(store.error()));
    qunsetenv("PGPASSFILE");
    QCOMPARE(store.readingCount(), 6);
}

// A location that is no sound URL is refused before any connection, with
// the reason, and never shows a password, whole or in part.
void TstArchive::serverLocationsRefused_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("reason");
    QTest::newRow("slash in the password") << "postgresql://meter:se/cret@db.example:5432/readings"
                                           << "postgresql://...@db.example:5432/readings cannot be used: it is no "
                                              "valid URL";
    QTest::newRow("at in the password") << "postgresql://meter:se@cret@db.example:5432/readings"
                                        << "postgresql://...@db.example:5432/readings cannot be used: it is no "
                                           "valid URL";
    QTest::newRow("no database") << "postgresql://meter@db.example:5432"
                                 << "it names no database";
    QTest::newRow("no server") << "postgresql:///readings"
                               << "it names no server";
}

void TstArchive::serverLocationsRefused()
{
    QFETCH(QString, location);
    QFETCH(QString, reason);
    ReadingArchive store;
    QVERIFY(!store.open(location));
    QVERIFY2(store.error().contains(reason), qPrintable(store.error()));
    QVERIFY(!store.error().contains(QLatin1String("se/")) && !store.error().contains(QLatin1String("cret")));
}

void TstArchive::viewsAnswerTheReadmeQueries_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("fromSchema1"); // made as version 1 was, then brought forward
    for (const bool postgres : {false, true})
        for (const bool old : {false, true})
            QTest::newRow(qPrintable(
                QStringLiteral("%1%2").arg(postgres ? "PostgreSQL" : "SQLite", old ? ", from schema 1" : "")))
                << postgres << old;
}

// README's three queries, run as a user would, on the views.
void TstArchive::viewsAnswerTheReadmeQueries()
{
    QFETCH(bool, postgres);
    QFETCH(bool, fromSchema1);
    PgServer server;
    if (postgres)
        if (const QString why = server.start(); !why.isEmpty())
            QSKIP(qPrintable(why));
    const QString location = postgres ? server.url()
                                      : m_dir.filePath(QStringLiteral("views-%1.sqlite").arg(fromSchema1));
    const QDateTime day(QDate(2026, 11, 2), QTime(8, 0), Qt::UTC);
    {
        ReadingArchive store;
        QVERIFY2(store.open(location), qPrintable(store.error()));
        // 12345678: 10.000 and 10.500 m3 on one day, 10.750 on the next; 88776655 read just now.
        const auto volume = [](const QDateTime &when, const char *id, const char *bcd) {
            return *archive::readingFromTelegrams({telegram(id, bcd)}, when, {QStringLiteral("serial"), {}, {}}, true);
        };
        const std::vector<StoredReading> readings{volume(day, "78563412", "00000100"),
                                                  volume(day.addSecs(36000), "78563412", "00050100"),
                                                  volume(day.addDays(1), "78563412", "50070100"),
                                                  volume(QDateTime::currentDateTimeUtc(), "55667788", "45230100")};
        // Stored twice, as a replay of the spool would: one row each (the sums below count them).
        QVERIFY2(store.store(readings) && store.store(readings), qPrintable(store.error()));
    }
    if (fromSchema1) {
        const QString rest = postgres ? QStringLiteral(
                                 "ALTER TABLE readings ALTER COLUMN read_at TYPE TEXT USING "
                                 "to_char(read_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
                                      : QStringLiteral("SELECT 1");
        for (const QString &statement :
             {QStringLiteral("DROP VIEW latest_readings"), QStringLiteral("DROP VIEW reading_values"),
              QStringLiteral("DROP TABLE media"), QStringLiteral("ALTER TABLE readings DROP COLUMN station"),
              QStringLiteral("ALTER TABLE readings DROP COLUMN link"),
              QStringLiteral("ALTER TABLE readings DROP COLUMN main_value"),
              QStringLiteral("ALTER TABLE readings DROP COLUMN main_unit"),
              QStringLiteral("DROP INDEX readings_by_reading_id"),
              QStringLiteral("ALTER TABLE readings DROP COLUMN reading_id"), rest,
              QStringLiteral("UPDATE schema_info SET version = 1")})
            queryRows(location, statement);
        ReadingArchive store;
        QVERIFY2(store.open(location) && store.writable(), qPrintable(store.error()));
    }
    QCOMPARE(queryRows(location, QStringLiteral("SELECT version FROM schema_info")), QList<QStringList>{{"3"}});
    QFile readme(QStringLiteral(TELVARO_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    QStringList queries;
    for (const QByteArray &line : readme.readAll().split('\n'))
        if (line.startsWith("    SELECT ") && (line.contains("latest_readings") || line.contains("reading_values")))
            queries << QString::fromUtf8(line.trimmed());
    QCOMPARE(queries.size(), 3);
    const QString station = fromSchema1 ? QString() : QSysInfo::machineHostName(); // older readings name none
    QCOMPARE(queryRows(location, queries[0]), QList<QStringList>({{"12345678", "Water", "10.75", "m3", station},
                                                                  {"88776655", "Water", "12.345", "m3", station}}));
    QCOMPARE(queryRows(location, queries[1]), QList<QStringList>({{"2026-11-02", "0.5"}, {"2026-11-03", "0"}}));
    QCOMPARE(queryRows(location, queries[2]), QList<QStringList>{{"12345678"}});
}

QTEST_GUILESS_MAIN(TstArchive)
#include "tst_archive.moc"
