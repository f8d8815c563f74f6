// telvaro-cli and the readings archive: what a run keeps with --store and
// history prints back, a copy made while another program writes, and a disk
// that is or becomes full.

#include "cli_run.h"
#include "stored_readings.h"

#include <QDir>

#include <unistd.h>

class TstCliArchive : public QObject {
    Q_OBJECT
private slots:
    void storeThenHistory();
    void backupWhileAnotherWrites();
    void fullDiskArchiveIsNoCrash_data();
    void fullDiskArchiveIsNoCrash();

private:
    QTemporaryDir m_dir;
};

void TstCliArchive::storeThenHistory()
{
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    const QString archive = m_dir.filePath(QStringLiteral("readings.sqlite"));
    const Run read = bus.run({"read", "1", "--store=" + archive, "--format", "json"});
    QCOMPARE(read.exit, 0);
    QCOMPARE(bus.run({"scan", "--to", "2", "--store=" + archive}).exit, 0);

    // The same object as the read gave, with the route it came by.
    Run r = cli({"history", "12345678", "--store=" + archive, "--format", "json"});
    QCOMPARE(r.exit, 0);
    const QJsonArray readings = meters(r);
    QCOMPARE(readings.size(), 2);
    QJsonObject oldest = readings.at(1).toObject();
    QCOMPARE(oldest.take("route").toString(), QStringLiteral("serial"));
    QCOMPARE(oldest, meters(read).at(0).toObject());
    QVERIFY(readings.at(0).toObject().value("read_at").toString() >= oldest.value("read_at").toString());

    r = cli({"history", "12345678", "--store=" + archive, "--format", "csv"});
    QCOMPARE(r.exit, 0);
    QCOMPARE(steady(r.out).split('\n').mid(1),
             QByteArrayList({"READ_AT;12345678;1;ZRI;1;Water;7;45.327;m3;0;N;true",
                             "READ_AT;12345678;1;ZRI;1;Water;7;45.327;m3;0;N;true", ""}));
    r = cli({"history", "12345678", "--store=" + archive, "--format", "csv", "--to", "2000-01-01"});
    QCOMPARE(r.exit, 1); // nothing that old
    QVERIFY(r.out.startsWith("read_at;id;address;"));
    QCOMPARE(cli({"history", "1234", "--store=" + archive}).exit, 2);

    // An archive that is not there is said, and not made, nor its folder.
    const QString absent = m_dir.filePath(QStringLiteral("typo/nothere.sqlite"));
    r = cli({"history", "12345678", "--store=" + absent});
    QCOMPARE(r.exit, 2);
    QCOMPARE(r.err, QStringList{"telvaro-cli: there is no readings archive at " + absent
                                + " (readings are kept with --store)"});
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("typo"))));
}

// A copy made while another program writes is a whole archive, of the
// readings stored up to then; the writer loses nothing.
void TstCliArchive::backupWhileAnotherWrites()
{
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    const QString archive = m_dir.filePath(QStringLiteral("busy.sqlite"));
    QProcess writer;
    writer.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
                 QStringList{"read-all", "--to", "12", "--store=" + archive, "--timeout", "300", "--retries", "0",
                             "--no-standard-timing"} // every wait its whole timeout: the copy is made meanwhile
                     + bus.link);
    QTRY_VERIFY_WITH_TIMEOUT(storedReadings(archive) > 0, 20000);
    const QString copy = m_dir.filePath(QStringLiteral("copy.sqlite"));
    Run r = cli({"archive", "backup", copy, "--store=" + archive});
    QCOMPARE(r.exit, 0);
    QCOMPARE(QFile::permissions(copy) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(queryRows(copy, QStringLiteral("PRAGMA quick_check")), QList<QStringList>{{"ok"}});
    QVERIFY(storedReadings(copy) > 0);
    QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(storedReadings(archive), 24);                                    // the scan's 12 and the reads' 12
    QCOMPARE(cli({"archive", "backup", copy, "--store=" + archive}).exit, 2); // never over a file
}

namespace {

// A small filesystem mounted here and filled (root, and a kernel that lets
// us mount a loop device); unmounted at the end.
struct FullDisk {
    FullDisk()
    {
        const QString image = dir.filePath(QStringLiteral("disk.img"));
        const auto run = [](const char *program, const QStringList &arguments) {
            return QProcess::execute(QLatin1String(program), arguments) == 0;
        };
        mounted = ::geteuid() == 0 && QDir(dir.path()).mkdir(QStringLiteral("mnt"))
                  && run("truncate", {"-s", "8M", image}) && run("mkfs.ext4", {"-q", "-F", image})
                  && run("mount", {"-o", "loop", image, mountPoint()});
        QFile fill(QDir(mountPoint()).filePath(QStringLiteral("fill")));
        if (mounted && fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            for (qsizetype chunk : {1 << 16, 1 << 10, 1})
                while (fill.write(QByteArray(chunk, 'x')) == chunk) {}
    }
    ~FullDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {mountPoint()});
    }
    QString mountPoint() const { return dir.filePath(QStringLiteral("mnt")); }

    QTemporaryDir dir;
    bool mounted = false;
};

} // namespace

void TstCliArchive::fullDiskArchiveIsNoCrash_data()
{
    QTest::addColumn<bool>("fillsWhileRunning");
    QTest::newRow("disk full from the start") << false;
    QTest::newRow("disk that fills while it runs") << true;
}

// Writes that fail for want of room: the readings are printed all the same,
// how many were not stored is said once, the exit status is 3, and no
// signal (SIGBUS of a memory-mapped index, SIGXFSZ) ends the program.
void TstCliArchive::fullDiskArchiveIsNoCrash()
{
    QFETCH(bool, fillsWhileRunning);
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    QVERIFY(bus.sim->isReady());
    std::unique_ptr<FullDisk> disk;
    QString path = m_dir.filePath(QStringLiteral("limited-%1.sqlite").arg(fillsWhileRunning));
    QStringList prefix;
    int before = 0;
    if (!fillsWhileRunning)
        disk = std::make_unique<FullDisk>();
    if (disk && disk->mounted) {
        qInfo("a full filesystem, loop-mounted");
        path = QDir(disk->mountPoint()).filePath(QStringLiteral("readings.sqlite"));
    } else {
        // The file layer's limit (RLIMIT_FSIZE): a write past it fails as on a
        // full disk. While it runs: the archive's pages as they are, whose room
        // takes some of the readings but not all.
        if (fillsWhileRunning) {
            QCOMPARE(bus.run({"read-all", "--to", "12", "--store=" + path}).exit, 0);
            before = 24;
        }
        qInfo("a file size limit of the program (prlimit)");
        prefix = QStringList{QStringLiteral("prlimit"),
                             QStringLiteral("--fsize=%1").arg(fillsWhileRunning ? QFileInfo(path).size() : 0)};
    }
    const Run r = bus.run({"read-all", "--to", "12", "--format", "json", "--store=" + path}, prefix);
    QCOMPARE(r.exit, 3); // -1 when a signal ended it
    QCOMPARE(field(meters(r), "id"), kDemoIds);
    const QStringList counts = r.err.filter(QStringLiteral("could not be stored"));
    QCOMPARE(counts.size(), 1);
    static const QRegularExpression said(
        QStringLiteral("^telvaro-cli: (\\d+) reading\\(s\\) could not be stored in the archive$"));
    const QRegularExpressionMatch match = said.match(counts.first());
    QVERIFY2(match.hasMatch(), qPrintable(counts.first()));
    const int notStored = match.captured(1).toInt();
    if (!fillsWhileRunning) {
        QCOMPARE(notStored, 24); // the scan's 12 readings and those of the reads
    } else {
        QVERIFY2(notStored > 0 && notStored < 24, qPrintable(counts.first()));
        QCOMPARE(storedReadings(path), before + 24 - notStored);
    }
}

QTEST_GUILESS_MAIN(TstCliArchive)
#include "tst_cli_archive.moc"
