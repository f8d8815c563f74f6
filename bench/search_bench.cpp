// The wildcard search against mbus-sim with generated meters (random IDs, no
// primary addresses), at the shortest response timeout, without wire-time
// emulation, with the default retries (1), on a clean bus and with one reply
// in ten lost (drop 10). Every step of the search is one response timeout:
// a selection (the whole pattern first), and a read at 253 when something
// answered. The counters tell how many of each were needed, what each step
// cost beyond its timeout, and the retries spent: none on a clean bus.
//
//   BM_WildcardSearch/meters/drop
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/search-bench
//      (250 meters take several minutes: --benchmark_filter=/50 for less)

#include "ops/secondary_search.h"
#include "sim_bus.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_WildcardSearch(benchmark::State &state)
{
    const int meters = int(state.range(0));
    const int drop = int(state.range(1));
    SimBus bus({QStringLiteral("--random-meters"), QString::number(meters), QStringLiteral("--seed"),
                QStringLiteral("20261207"), QStringLiteral("--drop"), QString::number(drop)});
    bus.options.retries = 1;
    SecondarySearch &search = bus.stack().search;
    for (auto _ : state) {
        bus.table.clear();
        bus.log.lines.clear();
        QElapsedTimer clock;
        clock.start();
        search.startWildcard(false);
        bus.runUntilStopped(search);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(wall);
        const auto selections = bus.log.lines.filter(QStringLiteral("Checking ")).size();
        // Every read at 253 ends in a meter found or in a collision.
        const qsizetype readSteps = bus.table.rowCount() + bus.log.lines.count(QStringLiteral("Collision"));
        const double steps = double(selections + readSteps);
        state.counters["found"] = bus.table.rowCount();
        state.counters["retries"] = search.summary().retries;
        state.counters["selections"] = double(selections);
        state.counters["reads"] = double(readSteps);
        state.counters["overhead_ms_per_step"] = (wall - steps * kShortestTimeoutMs / 1000.0) / steps * 1000.0;
    }
}
BENCHMARK(BM_WildcardSearch)
    ->ArgNames({"meters", "drop"})
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({50, 0})
    ->Args({250, 0})
    ->Args({50, 10})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
