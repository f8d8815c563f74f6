// The readings archive without a window: what a reading keeps, files that
// are no archive or may not be written, several writers at once, a lock held
// too long, and the same on PostgreSQL when a server can be started here.

#include "archive/reading_archive.h"
#include "mbus/frames.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

using archive::ReadingArchive;
using archive::StoredReading;

namespace {

// A water meter 12345678 at address 5: volume 12.345 m3, a date, a text.
QByteArray telegram(const char *id = "78563412")
{
    QByteArray data = QByteArray::fromHex(id) + QByteArray::fromHex("4304 01 07 2A 00 0000");
    data += QByteArray::fromHex("0C13 45230100 426C 1F3C 0D FD0C 03 414243");
    const mbus::Bytes body(data.begin(), data.end());
    const mbus::Bytes frame = mbus::longFrame(0x08, 0x05, 0x72, body);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

StoredReading reading(const QDateTime &when, const char *id = "78563412")
{
    return *archive::readingFromTelegrams({telegram(id)}, when, QStringLiteral("serial"), true);
}

const QDateTime kMonday(QDate(2026, 12, 7), QTime(10, 30), Qt::UTC);

// Stores two readings a day apart and checks what comes back.
void roundTrip(ReadingArchive &store)
{
    QVERIFY2(store.store(reading(kMonday)), qPrintable(store.error()));
    QVERIFY2(store.store(reading(kMonday.addDays(1))), qPrintable(store.error()));
    const std::vector<StoredReading> back = store.history(QStringLiteral("12345678"));
    QCOMPARE(back.size(), std::size_t(2));
    QCOMPARE(back[0].readAt, kMonday.addDays(1)); // newest first
    QCOMPARE(back[0].address, 5);
    QCOMPARE(back[0].manufacturer, QStringLiteral("ABC"));
    QCOMPARE(back[0].telegrams, QByteArrayList{telegram()}); // can be decoded again
    QCOMPARE(back[0].records.size(), std::size_t(3));
    const archive::StoredRecord &volume = back[0].records[0];
    QCOMPARE(volume.quantity, QStringLiteral("Volume"));
    QCOMPARE(volume.unit, QStringLiteral("m3"));
    QCOMPARE(volume.exponent, -3);
    QCOMPARE(*volume.value, 12.345);
    QCOMPARE(back[0].records[1].text, QStringLiteral("2024-12-31"));
    QCOMPARE(back[0].records[1].storage, 1);
    QCOMPARE(back[0].records[2].text, QStringLiteral("ABC"));
    QCOMPARE(store.history(QStringLiteral("12345678"), kMonday.addSecs(60)).size(), std::size_t(1));
    QCOMPARE(store.history(QStringLiteral("87654321")).size(), std::size_t(0));
}

} // namespace

class TstArchive : public QObject {
    Q_OBJECT
private slots:
    void keepsWholeReadings();
    void filesThatAreNoArchive_data();
    void filesThatAreNoArchive();
    void severalWritersLoseNothing();
    void lockHeldTooLong();
    void postgresql();

private:
    QTemporaryDir m_dir;
};

void TstArchive::keepsWholeReadings()
{
    ReadingArchive store;
    QVERIFY2(store.open(m_dir.filePath(QStringLiteral("whole.sqlite"))), qPrintable(store.error()));
    QVERIFY(store.writable());
    roundTrip(store);
    QVERIFY(!archive::readingFromTelegrams({QByteArray::fromHex("E5")}, kMonday, QString(), true));
}

void TstArchive::filesThatAreNoArchive_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("writable");
    QTest::newRow("text file") << "text" << false << false;
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
    if (kind == QLatin1String("text")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    } else if (kind == QLatin1String("no folder")) {
        path = QStringLiteral("/proc/telvaro/readings.sqlite");
    } else if (kind == QLatin1String("server")) {
        path = QStringLiteral("postgresql://telvaro@127.0.0.1:1/readings");
    } else {
        ReadingArchive first;
        QVERIFY(first.open(path) && first.store(reading(kMonday)));
        if (kind == QLatin1String("newer")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bump"));
            db.setDatabaseName(path);
            QVERIFY(db.open() && QSqlQuery(db).exec(QStringLiteral("UPDATE schema_info SET version = 99")));
            db.close();
        }
        first.close();
        QSqlDatabase::removeDatabase(QStringLiteral("bump"));
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

// The same schema and queries on PostgreSQL, with a server of Debian's
// packages started here on a temporary folder and a free local port.
void TstArchive::postgresql()
{
    const QStringList bins = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (bins.isEmpty() || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("PostgreSQL server or Qt's QPSQL driver not installed: the PostgreSQL archive is not tested");
    const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(bins.last());
    // The server refuses to run as root: as the "postgres" user when we are root.
    const bool root = ::geteuid() == 0;
    const auto run = [&](const QStringList &command) {
        QProcess p;
        if (root)
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command);
        else
            p.start(command.first(), command.mid(1));
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QTemporaryDir base(QStringLiteral("/tmp/telvaro-pg-XXXXXX"));
    const QString data = base.filePath(QStringLiteral("data"));
    if (root)
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), base.path()});
    if (!run({bin + QStringLiteral("initdb"), QStringLiteral("--auth=trust"), QStringLiteral("-U"),
              QStringLiteral("telvaro"), QStringLiteral("-D"), data}))
        QSKIP("initdb could not make a database cluster here: the PostgreSQL archive is not tested");
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    if (!run({bin + QStringLiteral("pg_ctl"), QStringLiteral("-D"), data, QStringLiteral("-w"), QStringLiteral("-l"),
              base.filePath(QStringLiteral("log")), QStringLiteral("-o"),
              QStringLiteral("-p %1 -k %2 -h 127.0.0.1").arg(port, base.path()), QStringLiteral("start")}))
        QSKIP("the PostgreSQL server did not start here: the PostgreSQL archive is not tested");
    {
        ReadingArchive store;
        QVERIFY2(store.open(QStringLiteral("postgresql://telvaro@127.0.0.1:%1/postgres").arg(port)),
                 qPrintable(store.error()));
        roundTrip(store);
    }
    run({bin + QStringLiteral("pg_ctl"), QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("fast"),
         QStringLiteral("stop")});
}

QTEST_GUILESS_MAIN(TstArchive)
#include "tst_archive.moc"
