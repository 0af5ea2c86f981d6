#include "search/ResultExport.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Exporting 200,000 rows (the rows kept, serialised and written to a file)
// must stay well under two seconds.
void BM_Export200000Rows(benchmark::State& state) {
    const auto format = static_cast<qx::ResultExport::Format>(state.range(0));
    struct Texts {
        std::string title, url, result;
    };
    std::vector<Texts> texts;
    texts.reserve(200000);
    for (int i = 0; i < 200000; ++i) {
        texts.push_back({"Cheap \"deals\" on page " + std::to_string(i) + " \xE2\x80\x93 shop",
                         "http://www.host" + std::to_string(i % 997) +
                             ".example/path/item?id=" + std::to_string(i),
                         "the price of the cat food, now only $" + std::to_string(i % 90 + 10) +
                             " per bag\nwith free delivery caf\xE9 and more words after it"});
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("qx_bench_export_" + std::to_string(::getpid()));
    for (auto _ : state) {
        std::vector<qx::ExportRow> rows;
        rows.reserve(texts.size());
        for (const Texts& t : texts) {
            rows.push_back({t.title, t.url, t.result});
        }
        const std::string content = qx::ResultExport::Serialize(format, rows);
        std::ofstream(path, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        state.counters["MB"] = static_cast<double>(content.size()) / 1e6;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_Export200000Rows)
    ->Arg(static_cast<int>(qx::ResultExport::Format::kCsv))
    ->Arg(static_cast<int>(qx::ResultExport::Format::kJsonLines))
    ->Unit(benchmark::kMillisecond);

}  // namespace
