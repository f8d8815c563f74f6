#pragma once
// The readings archive: every valid reading kept in a database, so that a
// meter's history can be looked at later. SQLite through Qt SQL (a file with
// a rollback journal, several writers at once), or PostgreSQL for a company
// that collects from many machines ("postgresql://user@host:port/db", the password in a libpq password file).
//
// One connection, used by one thread at a time (the archive's own thread in
// the programs, see ArchiveWorker). The schema carries its version; older
// ones are migrated forward, a newer one is opened for reading only. A file
// is looked at before anything is written into it: one that is no database,
// or a database without the archive's tables, is refused untouched.

#include "stored_reading.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>

#include <memory>
#include <span>
#include <sys/types.h>

namespace archive {

inline constexpr int kSchemaVersion = 3;

// The file name of the default archive, in the user's data folder.
QString defaultLocation();

class ReadingArchive {
public:
    ReadingArchive();
    ~ReadingArchive();
    ReadingArchive(const ReadingArchive &) = delete;
    ReadingArchive &operator=(const ReadingArchive &) = delete;

    // A file path or a postgresql:// URL. False (with error()) when it cannot
    // be used; a newer schema opens for reading only (writable() false).
    bool open(const QString &location);
    void close();
    bool isOpen() const;
    bool writable() const { return m_writable; }
    QString error() const { return m_error; }
    // The location as it may be shown: a server's password left out.
    QString shownLocation() const { return m_shownLocation; }

    // SQLite's quick check: of the whole file up to kFullCheckBytes, of the
    // parts that writing changes beyond. False when the archive is damaged:
    // damage() says what is wrong, and nothing more is written.
    static constexpr qint64 kFullCheckBytes = qint64(32) << 20;
    bool check();
    QString damage() const { return m_damage; }

    // True when the file at the location is no longer the one opened: it was
    // removed or replaced while in use (SQLite would go on writing into the
    // removed one).
    bool replaced() const;

    // One transaction; false (with error()) when nothing of it was kept. A
    // reading whose reading ID is stored already is left as it is: a replay
    // or a retry never makes a second row.
    bool store(const StoredReading &reading) { return store(std::span<const StoredReading>(&reading, 1)); }
    bool store(std::span<const StoredReading> readings);

    // A meter's readings, newest first, between from and to (UTC; open ends
    // when invalid), with their records. Empty with error() when the
    // archive could not be read.
    std::vector<StoredReading> history(const QString &meterId, const QDateTime &from = {}, const QDateTime &to = {});

    // How many readings it holds; -1 (with error()) when it cannot be read.
    qint64 readingCount();

    // A consistent copy of an SQLite archive into a new file (mode 0600),
    // while other programs may be writing; false (with error()) otherwise.
    bool backup(const QString &target);

private:
    bool openServer(const QString &location);
    bool openFile(const QString &path);
    bool createOrMigrate(bool fresh);
    bool migrate(QSqlQuery &q, int version);
    // Runs the steps in one transaction; failure takes the location and the reason.
    bool inTransaction(const QString &failure, const std::function<bool()> &steps);
    bool runAll(QSqlQuery &q, const QStringList &statements);
    bool stepFailed(const QSqlQuery &q);
    bool fillMedia(QSqlQuery &q);
    bool fillMainValues(QSqlQuery &q);
    bool fail(const QString &what);

    struct Statements;
    std::unique_ptr<Statements> m_statements;
    QSqlDatabase m_db;
    QString m_path; // the file's path; empty for a server
    QString m_shownLocation;
    bool m_postgres = false;
    bool m_writable = false;
    QString m_error;
    QString m_stepError; // why a step of a transaction failed
    QString m_damage;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace archive
