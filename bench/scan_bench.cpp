// What the operations cost beyond the bus itself.
//
//   BM_Scan/retries:R   a primary scan of 0..250 at the shortest timeout (300 ms)
//                       against mbus-sim with the twelve demo meters on a
//                       pseudo-terminal. Each request takes one timeout, so the
//                       ideal is (empty addresses x (R + 1) + meters) x 300 ms;
//                       the counter overhead_pct is how far the wall time lies
//                       above it. (About 75 s for R = 0, 150 s for R = 1.)
//   BM_ReadAllTable     the device table and its grid taking one read-all: 250
//                       meters with 13 additional values, each reply decoded
//                       and written into its row by address.
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/scan-bench [--benchmark_filter=Table]

#include "decode/decode.h"
#include "device_table_model.h"
#include "mbus/frames.h"
#include "ops/primary_scan.h"
#include "sim_bus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <benchmark/benchmark.h>

namespace {

void BM_Scan(benchmark::State &state)
{
    const int retries = int(state.range(0));
    SimBus bus({QStringLiteral("--bus"), QStringLiteral(TELVARO_SOURCE_DIR "/tools/mbus-sim/examples/demo.bus")});
    bus.options.retries = retries;
    PrimaryScan &scan = bus.stack().scan;
    for (auto _ : state) {
        bus.table.clear();
        QElapsedTimer clock;
        clock.start();
        scan.start(0, 250);
        bus.runUntilStopped(scan);
        const double wall = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(wall);
        const int found = bus.table.rowCount();
        const double ideal = ((251 - found) * (retries + 1) + found) * kShortestTimeoutMs / 1000.0;
        state.counters["meters"] = found;
        state.counters["ideal_s"] = ideal;
        state.counters["overhead_pct"] = (wall / ideal - 1.0) * 100.0;
    }
}
BENCHMARK(BM_Scan)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// One reply per meter, as a read-all gets them: a heat meter with enough
// records for 13 additional values.
std::vector<mbus::Bytes> replies()
{
    std::vector<mbus::Bytes> out;
    const mbus::Bytes records = {0x0C, 0x06, 0x87, 0x13, 0x02, 0x00, 0x0C, 0x14, 0x93, 0x48, 0x03, 0x00, 0x0B,
                                 0x2B, 0x50, 0x23, 0x01, 0x0B, 0x3B, 0x20, 0x04, 0x00, 0x0A, 0x5A, 0x54, 0x06,
                                 0x0A, 0x5E, 0x21, 0x04, 0x4C, 0x14, 0x11, 0x95, 0x01, 0x00, 0x8C, 0x01, 0x14,
                                 0x22, 0x33, 0x01, 0x00, 0x0B, 0x2D, 0x11, 0x22, 0x00, 0x0A, 0x62, 0x33, 0x02,
                                 0x4B, 0x3B, 0x20, 0x04, 0x00, 0x4A, 0x5A, 0x54, 0x06, 0x4A, 0x5E, 0x21, 0x04,
                                 0x8B, 0x01, 0x2B, 0x50, 0x23, 0x01, 0x8A, 0x01, 0x5A, 0x54, 0x06};
    for (int address = 1; address <= 250; ++address) {
        mbus::Bytes data = {std::uint8_t(address), 0x00, 0x00, 0x30, 0x2D, 0x2C, 0x01, 0x04, 0x20, 0x00, 0x00, 0x00};
        for (std::uint8_t byte : records) // (insert() trips a false -Warray-bounds in GCC 12)
            data.push_back(byte);
        mbus::Bytes frame = mbus::longFrame(0x08, std::uint8_t(address), 0x72, data);
        out.push_back(std::move(frame));
    }
    return out;
}

void BM_ReadAllTable(benchmark::State &state)
{
    const std::vector<mbus::Bytes> all = replies();
    decode::DeviceTable table({false, 13});
    DeviceTableModel model(table);
    QTableView view;
    view.setModel(&model);
    decode::DecodeOptions options;
    options.timeText = "10:30:00";
    options.dateText = "07.12.2026";
    for (const mbus::Bytes &reply : all) {
        const decode::DecodeResult r = decode::decodeReply(reply, options);
        table.update(r.meter, r.records, decode::RowRule::Scan, options.timeText, options.dateText);
    }
    int pass = 0;
    for (auto _ : state) {
        // A new time each pass, so every row's time cell really changes.
        const std::string time = "10:31:" + std::to_string(pass++ % 60);
        for (const mbus::Bytes &reply : all) {
            const decode::DecodeResult r = decode::decodeReply(reply, options);
            table.update(r.meter, r.records, decode::RowRule::ByAddress, time, options.dateText);
        }
    }
    state.counters["rows"] = table.rowCount();
}
BENCHMARK(BM_ReadAllTable)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
