// The display runs against mbus-sim's display at the shortest response
// timeout (300 ms): a write run over N entries (every activation confirmed),
// and a read run of the same N entries. Counters: commands sent, ticks of
// the run's timer, and the time per exchange beyond the timeout.
//
//   write run: 10N commands in 10N + 9 ticks      read run: 5N + 1 exchanges
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/display-bench [--benchmark_filter=/25]
//      (250 entries take about 19 minutes)

#include "display/read_run.h"
#include "display/write_run.h"
#include "sim_bus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

namespace {

// A display bus file with no entries yet (the write run creates them).
QString displayBus(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("display.bus"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("[display]\nmodel = TEV-K40\n");
    return path;
}

std::vector<QStringList> entries(int n)
{
    std::vector<QStringList> rows;
    for (int a = 1; a <= n; ++a)
        rows.push_back({QString(), QString::number(a), QStringLiteral("m3"), QStringLiteral("12.5"),
                        QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("10/1"),
                        QString::number(a), QStringLiteral("Flat %1").arg(a)});
    return rows;
}

void BM_DisplayRuns(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    SimBus bus({QStringLiteral("--bus"), displayBus(dir)});
    bus.options.retries = 0;
    display::Table devices(display::TevColumns), history(display::HistColumns);
    display::WriteRun write(bus.session(), devices);
    display::ReadRun read(bus.session(), devices, history);
    for (auto _ : state) {
        devices.setRows(entries(n));
        devices.selectAll(true);
        QSignalSpy ticks(&write.replyTimer(), &QTimer::timeout);
        QElapsedTimer clock;
        clock.start();
        write.start(display::WriteRun::Kind::Write);
        bus.runUntilStopped(write);
        const double writeSeconds = double(clock.nsecsElapsed()) / 1e9;
        const double writeTicks = double(ticks.count());

        clock.restart();
        read.readDisplay(false);
        bus.runUntilStopped(read);
        const double readSeconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(writeSeconds + readSeconds);
        state.counters["write_ticks"] = writeTicks;
        state.counters["write_s"] = writeSeconds;
        state.counters["write_ms_over_timeout"] = (writeSeconds / writeTicks - kShortestTimeoutMs / 1000.0) * 1000.0;
        const double readExchanges = 5.0 * devices.rowCount() + 1;
        state.counters["read_rows"] = devices.rowCount();
        state.counters["read_s"] = readSeconds;
        state.counters["read_ms_over_timeout"] = (readSeconds / readExchanges - kShortestTimeoutMs / 1000.0) * 1000.0;
    }
}
BENCHMARK(BM_DisplayRuns)->Arg(25)->Arg(250)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
