// Decoding speed over the corpus of real telegrams: validation, header and
// every record as values; with texts also the work table's texts (normal
// mode, no report lines) or the detailed report.
//
//   decode-bench                                 Google Benchmark, telegrams per second
//   decode-bench --passes 200 valid/*.hex        decode the files 200 times as values and exit
//   decode-bench --passes 200 --texts valid/*.hex  ... and make the work table's texts
//                                                (both for valgrind --tool=callgrind)

#include "decode/decode.h"
#include "mbus/hex_text.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The telegram of a hex file (spaces, case and line ends do not matter); empty when unreadable.
mbus::Bytes readTelegram(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return mbus::parseHexText(text).value_or(mbus::Bytes{});
}

std::vector<mbus::Bytes> corpus()
{
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(TELVARO_CORPUS_DIR, ec)) {
        if (entry.path().extension() == ".hex")
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<mbus::Bytes> telegrams;
    for (const std::string &path : paths)
        telegrams.push_back(readTelegram(path));
    return telegrams;
}

std::size_t decodeAll(const std::vector<mbus::Bytes> &telegrams, const decode::DecodeOptions &options)
{
    std::size_t rows = 0;
    for (const mbus::Bytes &t : telegrams) {
        decode::DecodeResult result = decode::decodeReply(t, options);
        rows += result.rows.size();
        benchmark::DoNotOptimize(result);
    }
    return rows;
}

std::size_t decodeAllAsValues(const std::vector<mbus::Bytes> &telegrams)
{
    std::size_t records = 0;
    for (const mbus::Bytes &t : telegrams) {
        decode::Telegram telegram = decode::decodeTelegram(t);
        records += telegram.records.size();
        benchmark::DoNotOptimize(telegram);
    }
    return records;
}

void decodeCorpus(benchmark::State &state, bool fullReport)
{
    static const std::vector<mbus::Bytes> telegrams = corpus();
    if (telegrams.empty()) {
        state.SkipWithError("no telegrams in " TELVARO_CORPUS_DIR);
        return;
    }
    decode::DecodeOptions options;
    options.fullReport = fullReport;
    options.timeText = "10:15:30";
    options.dateText = "07.06.2024";
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeAll(telegrams, options));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(telegrams.size()));
    state.counters["telegrams"] = static_cast<double>(telegrams.size());
}

void BM_DecodeTelegram(benchmark::State &state)
{
    static const std::vector<mbus::Bytes> telegrams = corpus();
    if (telegrams.empty()) {
        state.SkipWithError("no telegrams in " TELVARO_CORPUS_DIR);
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeAllAsValues(telegrams));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(telegrams.size()));
}

void BM_DecodeReply(benchmark::State &state)
{
    decodeCorpus(state, false);
}
void BM_DecodeReplyFullReport(benchmark::State &state)
{
    decodeCorpus(state, true);
}

BENCHMARK(BM_DecodeTelegram);
BENCHMARK(BM_DecodeReply);
BENCHMARK(BM_DecodeReplyFullReport);

int runPasses(int argc, char **argv)
{
    char *end = nullptr;
    const long passes = argc > 2 ? std::strtol(argv[2], &end, 10) : -1;
    if (passes < 0 || !end || *end != '\0') {
        std::fprintf(stderr, "Usage: decode-bench --passes N [--texts] FILE...\n");
        return 2;
    }
    const bool texts = argc > 3 && std::string_view(argv[3]) == "--texts";
    std::vector<mbus::Bytes> telegrams;
    for (int i = texts ? 4 : 3; i < argc; ++i)
        telegrams.push_back(readTelegram(argv[i]));
    const decode::DecodeOptions options;
    std::size_t count = 0;
    for (long p = 0; p < passes; ++p)
        count += texts ? decodeAll(telegrams, options) : decodeAllAsValues(telegrams);
    std::fprintf(stderr, "%ld passes over %zu telegrams, %zu %s\n", passes, telegrams.size(), count,
                 texts ? "work-table rows" : "records");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string_view(argv[1]) == "--passes")
        return runPasses(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
