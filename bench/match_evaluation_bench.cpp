#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "search/MatchEvaluation.h"
#include "search/MatchedRoots.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace {

class CountingSink : public qx::ResultSink {
public:
    void SendResult(int /*kind*/, const qx::ResultRecord& record) override {
        ++rows;
        benchmark::DoNotOptimize(record.description.data());
    }
    long rows = 0;
};

qx::SearchSettings ShopSettings(int mode) {
    qx::SearchSettings settings;
    settings.SearchText = "Widget";
    settings.IncludeText = "blue, red";
    settings.ExcludeText = "used;broken";
    settings.TargetValue = 100;
    settings.MatchMode = mode;
    return settings;
}

// A page of `count` fragments holding the key, each between two without it.
std::vector<std::string> ManyFragmentsPage(int count) {
    std::vector<std::string> fragments;
    for (int i = 0; i < count; ++i) {
        fragments.push_back("Special offers for this week only");
        fragments.push_back("New Blue WIDGET model " + std::to_string(i) +
                            " now $45.99 with free delivery");
        fragments.push_back("");
    }
    return fragments;
}

// One fragment holding the key `count` times.
std::vector<std::string> HugeFragmentPage(int count) {
    std::string fragment;
    for (int i = 0; i < count; ++i)
        fragment += "the red widget number " + std::to_string(i) + " costs $1,299 or less today ";
    return {fragment};
}

void RunPages(benchmark::State& state, const std::vector<std::string>& page, int mode) {
    const qx::SearchSettings settings = ShopSettings(mode);
    qx::MatchedRoots roots;
    CountingSink sink;
    qx::SearchItem item;
    item.matchMode = mode;
    std::size_t bytes = 0;
    for (const std::string& fragment : page)
        bytes += fragment.size();
    for (auto _ : state) {
        std::vector<std::string> fragments = page;  // the evaluation lower-cases them
        qx::ResultRecord record;
        benchmark::DoNotOptimize(qx::EvaluatePage(item, record, fragments, settings, roots, sink));
    }
    state.counters["rows/page"] =
        static_cast<double>(sink.rows) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_ManyFragments(benchmark::State& state) {
    RunPages(state, ManyFragmentsPage(static_cast<int>(state.range(0))),
             static_cast<int>(state.range(1)));
}
BENCHMARK(BM_ManyFragments)
    ->Args({1000, 0})
    ->Args({1000, 7})
    ->Args({4000, 7})
    ->Unit(benchmark::kMillisecond);

void BM_HugeFragment(benchmark::State& state) {
    RunPages(state, HugeFragmentPage(static_cast<int>(state.range(0))),
             static_cast<int>(state.range(1)));
}
BENCHMARK(BM_HugeFragment)
    ->Args({1000, 0})
    ->Args({1000, 7})
    ->Args({4000, 7})
    ->Args({16000, 7})
    ->Unit(benchmark::kMillisecond);

void BM_PriceBelowTarget(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i)
        text += "item $1,299.00 and ";
    for (auto _ : state)
        benchmark::DoNotOptimize(qx::HasPriceBelowTarget(text, 100));
    state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_PriceBelowTarget)->Arg(1000)->Arg(16000);

}  // namespace
