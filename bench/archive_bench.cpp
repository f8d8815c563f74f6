// archive-bench: the readings archive on SQLite.
//   archive-bench                      readings of 12 records stored per second,
//                                      one per transaction and in the writer's
//                                      batches; opening archives of 1,000 and
//                                      100,000 readings, and checking them
//   archive-bench --million FOLDER     1,000,000 readings (10,000 meters x 100)
//                                      stored (kept for the next run), the file's
//                                      size, the time to open and to check it,
//                                      to list one meter's history, and to ask the
//                                      view latest_readings for every meter
#include "archive/reading_archive.h"
#include "mbus/frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A heat meter's reading of 12 records: energies, volume, power, flow,
// temperatures, dates.
archive::StoredReading twelveRecords()
{
    QByteArray data = QByteArray::fromHex("78563412 2D2C 01 04 2A 00 0000");
    data += QByteArray::fromHex("0406 87130200 0413 39300000 042B 36300000 043B A4010000 025A 8E02 025E A501"
                                "0262 E900 4406 27C40100 4413 01300000 426C 1F3C 046D 1E0A2E35 0C78 34120720");
    const mbus::Bytes body(data.begin(), data.end());
    const mbus::Bytes frame = mbus::longFrame(0x08, 0x05, 0x72, body);
    const QByteArray telegram(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    return *archive::readingFromTelegrams(
        {telegram}, QDateTime::currentDateTimeUtc(),
        {QStringLiteral("serial"), QStringLiteral("bench"), QStringLiteral("/dev/ttyUSB0")}, true);
}

QString meterId(int n)
{
    return QStringLiteral("%1").arg(10000000 + n, 8, 10, QLatin1Char('0'));
}

void BM_StoreReading(benchmark::State &state)
{
    QTemporaryDir dir;
    archive::ReadingArchive store;
    if (!store.open(dir.filePath(QStringLiteral("bench.sqlite")))) {
        state.SkipWithError(qPrintable(store.error()));
        return;
    }
    // One reading per transaction, or as many as the writer takes at once.
    std::vector<archive::StoredReading> batch(std::size_t(state.range(0)), twelveRecords());
    int n = 0;
    for (auto _ : state) {
        for (archive::StoredReading &reading : batch) {
            reading.readingId = QString::number(n); // each a reading of its own
            reading.meterId = meterId(n++ % 1000);
            reading.readAt = reading.readAt.addSecs(1);
        }
        if (!store.store(batch))
            state.SkipWithError(qPrintable(store.error()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StoreReading)->Arg(1)->Arg(200)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

// Fills an archive with `count` readings, visit by visit as a service company
// reads: every meter once, then again. False (said on standard error) when
// it could not be written.
bool fill(const QString &path, int meters, int visits, bool showProgress)
{
    archive::ReadingArchive store;
    if (!store.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        return false;
    }
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    std::vector<archive::StoredReading> batch;
    const archive::StoredReading reading = twelveRecords();
    for (int visit = 0; visit < visits; ++visit) {
        for (int meter = 0; meter < meters; ++meter) {
            batch.push_back(reading);
            batch.back().readingId = QStringLiteral("%1/%2").arg(visit).arg(meter);
            batch.back().meterId = meterId(meter);
            batch.back().readAt = start.addDays(visit * 30).addSecs(meter);
            if (batch.size() == 200 || (visit == visits - 1 && meter == meters - 1)) {
                if (!store.store(batch)) {
                    std::fprintf(stderr, "%s\n", qPrintable(store.error()));
                    return false;
                }
                batch.clear();
            }
        }
        if (showProgress)
            std::fprintf(stderr, "\r%d%%", (visit + 1) * 100 / visits);
    }
    return true;
}

// Opening an existing archive (the file looked at, the schema read), and
// the check before writing: every page of 1,000 readings (under 32 MB), the
// parts that writing changes of 100,000 (some 50 MB).
void BM_OpenArchive(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("open.sqlite"));
    if (!fill(path, 1000, int(state.range(0) / 1000), false)) {
        state.SkipWithError("the archive could not be made");
        return;
    }
    for (auto _ : state) {
        archive::ReadingArchive store;
        if (!store.open(path))
            state.SkipWithError(qPrintable(store.error()));
    }
}
BENCHMARK(BM_OpenArchive)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CheckArchive(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("check.sqlite"));
    archive::ReadingArchive store;
    if (!fill(path, 1000, int(state.range(0) / 1000), false) || !store.open(path)) {
        state.SkipWithError("the archive could not be made");
        return;
    }
    for (auto _ : state)
        if (!store.check())
            state.SkipWithError(qPrintable(store.damage()));
}
BENCHMARK(BM_CheckArchive)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

double milliseconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

int million(const QString &folder)
{
    const QString path = folder + QStringLiteral("/million.sqlite");
    if (!QFileInfo::exists(path)) {
        QElapsedTimer clock;
        clock.start();
        if (!fill(path, 10000, 100, true)) {
            QFile::remove(path);
            return 1;
        }
        const double seconds = milliseconds(clock) / 1000.0;
        std::printf("\n1000000 readings of 12 records stored in %.1f s: %.0f readings/s\n", seconds, 1e6 / seconds);
    }
    std::printf("database size: %.1f MB\n", double(QFileInfo(path).size()) / 1e6);

    std::vector<double> opens;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        archive::ReadingArchive store;
        if (!store.open(path)) {
            std::fprintf(stderr, "%s\n", qPrintable(store.error()));
            return 1;
        }
        opens.push_back(milliseconds(t));
    }
    std::sort(opens.begin(), opens.end());
    std::printf("open: median %.2f ms, worst %.2f ms\n", opens[opens.size() / 2], opens.back());

    archive::ReadingArchive reader;
    reader.open(path);
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer t;
        t.start();
        const bool sound = reader.check();
        std::printf("check before writing: %.0f ms (%s)\n", milliseconds(t),
                    sound ? "ok" : qPrintable(reader.damage()));
    }
    {
        // What the partial check saves: SQLite's quick check of every page.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("whole"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        QElapsedTimer t;
        t.start();
        if (db.open() && q.exec(QStringLiteral("PRAGMA quick_check")) && q.next())
            std::printf("whole quick check: %.0f ms (%s)\n", milliseconds(t), qPrintable(q.value(0).toString()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("whole"));
    {
        // The view a user asks first: the newest reading of each of the 10,000 meters.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("views"));
        db.setDatabaseName(path);
        std::vector<double> views;
        for (int i = 0; i < 5 && db.open(); ++i) {
            QSqlQuery q(db);
            QElapsedTimer t;
            t.start();
            if (!q.exec(QStringLiteral("SELECT count(*), sum(value) FROM latest_readings")) || !q.next())
                break;
            views.push_back(milliseconds(t));
            if (i == 0)
                std::printf("latest_readings: %lld meters\n", q.value(0).toLongLong());
        }
        std::sort(views.begin(), views.end());
        if (!views.empty())
            std::printf("latest_readings, every meter: median %.0f ms, worst %.0f ms\n", views[views.size() / 2],
                        views.back());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("views"));
    std::vector<double> times;
    for (int i = 0; i < 50; ++i) {
        const QString id = meterId(int(QRandomGenerator::global()->bounded(10000)));
        QElapsedTimer t;
        t.start();
        const auto history = reader.history(id);
        times.push_back(milliseconds(t));
        if (history.size() != 100)
            std::fprintf(stderr, "meter %s: %zu readings\n", qPrintable(id), history.size());
    }
    std::sort(times.begin(), times.end());
    std::printf("history of one meter (100 readings with their records): median %.2f ms, worst %.2f ms\n",
                times[times.size() / 2], times.back());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--million") == 0)
        return million(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
