// Read-all of the twelve demo meters against mbus-sim emulating the line:
// every reply crosses the wire at 11 bits per character at the chosen baud
// rate, after a meter's answer delay. The response timeout is the default
// 500 ms, with "Complete reply early" off and on.
//
// The wire-time limit is what the bus itself needs: every byte of every
// request and reply x 11 bits / baud, plus each meter's answer delay. With
// the option off every meter costs one full timeout whatever the line does;
// with it on the walk should stay close to the limit (ratio_to_limit). The
// simulator delays only its replies, not the master's requests, so a walk can
// come out a little below the limit; emulated_s is the replies' part alone.
//
// The retries the walk spent: none on a clean bus; with drop 10 the
// simulator loses one reply in ten and each lost one is asked again.
//
//   BM_ReadAll/baud/fast/drop   fast 0: off, 1: on; drop: replies lost, %
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/read-bench

#include "ops/read_all.h"
#include "sim_bus.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

constexpr int kTimeoutMs = 500;
constexpr int kAnswerDelayMs = 10;
constexpr int kMeters = 12;
constexpr int kRequestBytes = 5; // 10 7B A CS 16

void BM_ReadAll(benchmark::State &state)
{
    const int baud = int(state.range(0));
    const bool fast = state.range(1) != 0;
    const int drop = int(state.range(2));
    SimBus bus({QStringLiteral("--bus"), QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus"),
                QStringLiteral("--wire-time"), QStringLiteral("--baud"), QString::number(baud),
                QStringLiteral("--reply-delay"), QString::number(kAnswerDelayMs), QStringLiteral("--drop"),
                QString::number(drop), QStringLiteral("--seed"), QStringLiteral("10")});
    bus.options.responseTimeoutMs = kTimeoutMs;
    bus.options.fastReads = fast;
    qint64 replyBytes = 0;
    int readings = 0;
    QObject::connect(&bus.session(), &BusSession::readingDecoded, [&](const QByteArrayList &telegrams) {
        ++readings;
        for (const QByteArray &t : telegrams)
            replyBytes += t.size();
    });
    ReadAll &readAll = bus.stack().readAll;
    std::vector<decode::MeterRow> rows;
    for (int address = 1; address <= kMeters; ++address)
        rows.push_back(decode::MeterRow{.address = {address, true, {}}});
    for (auto _ : state) {
        bus.table.setRows(rows);
        replyBytes = 0;
        readings = 0;
        QElapsedTimer clock;
        clock.start();
        readAll.start();
        bus.runUntilStopped(readAll);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(wall);
        const double wireBytes = double(replyBytes + qint64(kMeters) * kRequestBytes);
        const double limit = wireBytes * 11.0 / baud + kMeters * kAnswerDelayMs / 1000.0;
        state.counters["meters_read"] = readings;
        state.counters["retries"] = readAll.summary().retries;
        state.counters["wire_bytes"] = wireBytes;
        state.counters["limit_s"] = limit;
        state.counters["emulated_s"] = double(replyBytes) * 11.0 / baud + kMeters * kAnswerDelayMs / 1000.0;
        state.counters["wall_s"] = wall;
        state.counters["ratio_to_limit"] = wall / limit;
    }
}
BENCHMARK(BM_ReadAll)
    ->ArgNames({"baud", "fast", "drop"})
    ->Args({2400, 0, 0})
    ->Args({2400, 1, 0})
    ->Args({9600, 0, 0})
    ->Args({9600, 1, 0})
    ->Args({2400, 1, 10})
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
