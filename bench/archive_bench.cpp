// archive-bench: the readings archive on SQLite.
//   archive-bench                      readings of 12 records stored per second
//   archive-bench --million FOLDER     1,000,000 readings (10,000 meters x 100)
//                                      stored, the file's size, and the time to
//                                      list one meter's history
#include "archive/reading_archive.h"
#include "mbus/frames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
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
    return *archive::readingFromTelegrams({telegram}, QDateTime::currentDateTimeUtc(), QStringLiteral("serial"), true);
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
    archive::StoredReading reading = twelveRecords();
    int n = 0;
    for (auto _ : state) {
        reading.meterId = meterId(n % 1000);
        reading.readAt = reading.readAt.addSecs(1);
        if (!store.store(reading))
            state.SkipWithError(qPrintable(store.error()));
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreReading)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

int million(const QString &folder)
{
    const QString path = folder + QStringLiteral("/million.sqlite");
    QFile::remove(path);
    archive::ReadingArchive store;
    if (!store.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        return 1;
    }
    archive::StoredReading reading = twelveRecords();
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    QElapsedTimer clock;
    clock.start();
    // Visit by visit, as a service company would read: every meter once, then again.
    for (int visit = 0; visit < 100; ++visit) {
        for (int meter = 0; meter < 10000; ++meter) {
            reading.meterId = meterId(meter);
            reading.readAt = start.addDays(visit * 30).addSecs(meter);
            if (!store.store(reading)) {
                std::fprintf(stderr, "%s\n", qPrintable(store.error()));
                return 1;
            }
        }
        std::fprintf(stderr, "\r%d%%", visit + 1);
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    std::printf("\n1000000 readings of 12 records stored in %.1f s: %.0f readings/s\n", seconds, 1e6 / seconds);
    store.close();
    std::printf("database size: %.1f MB (with its WAL file %.1f MB)\n", double(QFileInfo(path).size()) / 1e6,
                double(QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size()) / 1e6);
    archive::ReadingArchive reader;
    reader.open(path);
    std::vector<double> times;
    for (int i = 0; i < 50; ++i) {
        const QString id = meterId(int(QRandomGenerator::global()->bounded(10000)));
        QElapsedTimer t;
        t.start();
        const auto history = reader.history(id);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
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
