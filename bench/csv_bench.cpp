// The device table to and from a CSV file at its largest: 10,000 rows of 24
// columns. Export: rows to text and the file written. Import: the file read,
// parsed, and the real device grid (offscreen) filled.
//
// Run: QT_QPA_PLATFORM=offscreen build/bin/csv-bench

#include "config/safe_write.h"
#include "decode/csv.h"
#include "decode/device_table.h"
#include "device_table_model.h"
#include "table_files.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = decode::kMaxDeviceTableColumns;

std::vector<decode::csv::Row> tableRows()
{
    std::vector<decode::csv::Row> rows;
    rows.reserve(kRows);
    for (int r = 0; r < kRows; ++r) {
        decode::csv::Row row;
        row.push_back(std::to_string(10000000 + r));
        row.push_back(std::to_string(r % 250 + 1));
        row.push_back("KAM");
        row.push_back(std::to_string(r) + ".327");
        for (int c = 4; c < kColumns; ++c)
            row.push_back(c % 5 == 0 ? "Heat (rt)" : std::to_string(r * c) + ".5 kWh");
        rows.push_back(std::move(row));
    }
    return rows;
}

void BM_Export(benchmark::State &state)
{
    const auto rows = tableRows();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("meters.csv"));
    for (auto _ : state) {
        const std::string text = decode::csv::formatTable(rows, ";");
        writeFileSafely(path, QByteArray::fromStdString(text));
        state.counters["bytes"] = double(text.size());
    }
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

void BM_Import(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("meters.csv"));
    writeFileSafely(path, QByteArray::fromStdString(decode::csv::formatTable(tableRows(), ";")));
    decode::DeviceTable table({true, 13});
    DeviceTableModel model(table);
    QTableView view;
    view.setModel(&model);
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        decode::csv::ParseOptions options;
        options.separatorSetting = ";";
        options.maxFields = kColumns;
        decode::csv::ParseResult parsed = decode::csv::parseTable(table_files::fileTextAsUtf8(file.readAll()), options);
        table.clear();
        table.setRows(parsed.rows);
        state.counters["rows"] = table.rowCount();
    }
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
