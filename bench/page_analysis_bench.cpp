// Page analysis throughput on a generated page of 4 MiB with 40,000 tags, of
// which 20,000 carry links.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "html/LinkExtraction.h"
#include "html/PageAnalysis.h"
#include "html/UrlResolution.h"

namespace {

constexpr std::size_t kPageSize = 4u << 20;
constexpr int kLinks = 20000;

// Each unit is one link tag, its closing tag and text; the text is padded so
// that the whole page is 4 MiB.
const std::string& GeneratedPage() {
    static const std::string page = [] {
        const std::string words = "lorem ipsum dolor sit amet shoes consectetur adipiscing elit ";
        std::string text;
        const std::size_t perUnit = kPageSize / kLinks;
        std::string result;
        result.reserve(kPageSize + perUnit);
        for (int i = 0; i < kLinks; ++i) {
            std::string unit = "<a href=\"/dir" + std::to_string(i % 50) + "/page" +
                               std::to_string(i) + ".html\" class=\"nav\">";
            while (unit.size() + 4 < perUnit) {
                unit += words.substr(0, std::min(words.size(), perUnit - 4 - unit.size()));
            }
            unit += "</a>";
            result += unit;
        }
        result.resize(kPageSize, ' ');
        return result;
    }();
    return page;
}

void BM_SplitTextFragments(benchmark::State& state) {
    const std::string& page = GeneratedPage();
    for (auto _ : state) {
        std::vector<std::string> fragments;
        benchmark::DoNotOptimize(qx::SplitTextFragments(page, fragments));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_SplitTextFragments)->Unit(benchmark::kMillisecond);

void BM_CollectLinks(benchmark::State& state) {
    const std::string& page = GeneratedPage();
    for (auto _ : state) {
        std::vector<std::string> links;
        benchmark::DoNotOptimize(qx::CollectLinks(page, "href", links, true));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CollectLinks)->Unit(benchmark::kMillisecond);

// "shoes" occurs in every unit, "zebra" nowhere: the frequent-and-rare case.
void BM_CollectLinksNearMatches(benchmark::State& state) {
    const std::string& page = GeneratedPage();
    for (auto _ : state) {
        std::vector<std::string> links;
        benchmark::DoNotOptimize(
            qx::CollectLinksNearMatches(page, "href", links, "shoes;zebra", "dolor", 4, false));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_CollectLinksNearMatches)->Unit(benchmark::kMillisecond);

void BM_ExtractTitleWithoutTitle(benchmark::State& state) {
    const std::string& page = GeneratedPage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qx::ExtractTitle(page));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_ExtractTitleWithoutTitle)->Unit(benchmark::kMillisecond);

void BM_ResolveLinks(benchmark::State& state) {
    std::vector<std::string> raw;
    qx::CollectLinks(GeneratedPage(), "href", raw, false);
    for (int i = 0; i < 2000; ++i) {  // some absolute and some relative forms too
        raw[static_cast<std::size_t>(i)] = "http://other" + std::to_string(i) + "/x.html";
        raw[static_cast<std::size_t>(kLinks - 1 - i)] = "sub/" + std::to_string(i) + ".html";
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> links = raw;
        state.ResumeTiming();
        std::string dirPath;
        benchmark::DoNotOptimize(qx::ResolveLinks("http://host/dir/page.html", links, dirPath));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLinks);
}
BENCHMARK(BM_ResolveLinks)->Unit(benchmark::kMillisecond);

}  // namespace
