#include "links/LinkFile.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Loading a link file of 100,000 lines must stay well under two seconds.
void BM_ReadAndParse100000Lines(benchmark::State& state) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("qx_bench_links_" + std::to_string(::getpid()) + ".qxt");
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 100000; ++i)
            out << "http://www.host" << i << ".com/path/page.html?q=" << i << " 3 5\r\n";
    }
    for (auto _ : state) {
        auto lines = qx::LinkFile::ReadLines(path.string());
        size_t fields = 0;
        for (std::string& line : *lines)
            fields += qx::LinkFile::ParseLine(line).url.size();
        benchmark::DoNotOptimize(fields);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadAndParse100000Lines)->Unit(benchmark::kMillisecond);

void BM_ReadOneMegabyteLine(benchmark::State& state) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("qx_bench_long_" + std::to_string(::getpid()) + ".qxt");
    std::ofstream(path, std::ios::binary) << std::string(1 << 20, 'x') << " 1 2\r\n";
    for (auto _ : state) {
        auto lines = qx::LinkFile::ReadLines(path.string());
        benchmark::DoNotOptimize(qx::LinkFile::ParseLine(lines->front()));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadOneMegabyteLine)->Unit(benchmark::kMillisecond);

}  // namespace
