// The Remaining list under a large crawl: workers append rows for queued URLs
// and results remove them by URL, both on the user-interface thread.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "search/RemainingRows.h"
#include "search/SyncMessageQueue.h"

namespace {

std::vector<std::string> Urls(int count) {
    std::vector<std::string> urls;
    urls.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        urls.push_back("http://host" + std::to_string(i % 97) + ".example/page" +
                       std::to_string(i));
    }
    return urls;
}

// 200,000 appends, then 200,000 removals by URL in arrival order (results
// arrive roughly in queue order).
void BM_AppendThenRemoveByUrl(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> urls = Urls(count);
    for (auto _ : state) {
        qx::RemainingRows rows;
        for (const std::string& url : urls) {
            rows.Append({url, "1", "infinity", "infinity"});
        }
        for (const std::string& url : urls) {
            benchmark::DoNotOptimize(rows.RemoveByUrl(url));
        }
    }
    state.SetItemsProcessed(state.iterations() * count * 2);
}
BENCHMARK(BM_AppendThenRemoveByUrl)->Arg(200000)->Unit(benchmark::kMillisecond);

// Appends and removals interleaved, removals from the middle of the list.
void BM_InterleavedRemoveFromMiddle(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> urls = Urls(count);
    for (auto _ : state) {
        qx::RemainingRows rows;
        for (int i = 0; i < count; ++i) {
            rows.Append({urls[static_cast<std::size_t>(i)], "1", "infinity", "infinity"});
            if (i % 2 == 1) {
                benchmark::DoNotOptimize(rows.RemoveByUrl(urls[static_cast<std::size_t>(i / 2)]));
            }
        }
        benchmark::DoNotOptimize(rows.At(rows.Size() / 2));
    }
    state.SetItemsProcessed(state.iterations() * count * 3 / 2);
}
BENCHMARK(BM_InterleavedRemoveFromMiddle)->Arg(200000)->Unit(benchmark::kMillisecond);

// The crawl's own URLs: a 20,000-page loopback crawl queues up to 400,000.
std::vector<std::string> CrawlUrls(int count) {
    std::vector<std::string> urls;
    urls.reserve(static_cast<std::size_t>(count));
    char url[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(url, sizeof url, "http://127.0.0.1:18080/p%06d.html", i);
        urls.emplace_back(url);
    }
    return urls;
}

// Appends a row for each URL with a queued link's limits; returns the heap
// bytes the list took per row, everything counted: row records, texts, the
// URL index and the tree.
double AppendRowsMeasuringBytes(qx::RemainingRows& rows, const std::vector<std::string>& urls) {
    const std::size_t before = mallinfo2().uordblks;
    for (const std::string& url : urls) {
        rows.Append({url, "3", "infinity", "-1"});
    }
    return static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(urls.size());
}

// Heap bytes the list holds per row at a crawl's peak.
void BM_BytesPerRow(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> urls = CrawlUrls(count);
    double bytesPerRow = 0;
    for (auto _ : state) {
        qx::RemainingRows rows;
        bytesPerRow = AppendRowsMeasuringBytes(rows, urls);
        benchmark::DoNotOptimize(rows.Size());
    }
    state.counters["bytes_per_row"] = bytesPerRow;
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_BytesPerRow)->Arg(400000)->Unit(benchmark::kMillisecond);

// A crawl's queue: 20 links a page, one of them the site's home page and the
// rest repeats of the site's other pages, removed by URL in arrival order,
// with their positions (a list shows the rows: second argument 1) or without
// (the headless crawler: 0).
void BM_CrawlWithRepeatedUrls(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool positions = state.range(1) != 0;
    const int pages = count / 20;
    const std::vector<std::string> site = CrawlUrls(pages);
    std::vector<std::string> urls;
    urls.reserve(static_cast<std::size_t>(count));
    for (int page = 0; page < pages; ++page) {
        for (int link = 0; link < 20; ++link) {
            const long target = link == 0 ? 0 : (page * 7919L + link * 104729L) % pages;
            urls.push_back(site[static_cast<std::size_t>(target)]);
        }
    }
    double bytesPerRow = 0;
    for (auto _ : state) {
        qx::RemainingRows rows;
        bytesPerRow = AppendRowsMeasuringBytes(rows, urls);
        for (const std::string& url : urls) {
            if (positions) {
                benchmark::DoNotOptimize(rows.RemoveByUrl(url));
            } else {
                benchmark::DoNotOptimize(rows.DropByUrl(url));
            }
        }
    }
    state.counters["bytes_per_row"] = bytesPerRow;
    state.SetItemsProcessed(state.iterations() * count * 2);
}
BENCHMARK(BM_CrawlWithRepeatedUrls)
    ->Args({400000, 1})
    ->Args({400000, 0})
    ->Unit(benchmark::kMillisecond);

// Reading rows at random positions, as the list view does when it scrolls.
void BM_AtRandomRows(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> urls = CrawlUrls(count);
    qx::RemainingRows rows;
    for (const std::string& url : urls) {
        rows.Append({url, "3", "infinity", "-1"});
    }
    // Every third row removed, so the positions go through the tree.
    for (int i = 0; i < count; i += 3) {
        rows.RemoveByUrl(urls[static_cast<std::size_t>(i)]);
    }
    std::size_t at = 0;
    for (auto _ : state) {
        at = (at * 1103515245u + 12345u) % rows.Size();
        benchmark::DoNotOptimize(rows.At(at));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AtRandomRows)->Arg(400000);

// One worker thread's synchronous sends handled by the owner thread.
void BM_SendMessageRoundTrip(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::atomic<bool> done{false};
        qx::SyncMessageQueue queue(
            [](unsigned, std::uintptr_t w, std::intptr_t) { return static_cast<std::intptr_t>(w); },
            nullptr);
        std::thread worker([&] {
            for (int i = 0; i < count; ++i) {
                queue.SendMessage(qx::WM_ADD_REMAINING, static_cast<std::uintptr_t>(i), 0);
            }
            done = true;
        });
        while (!done) {
            queue.WaitAndPump(std::chrono::milliseconds(1));
        }
        worker.join();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SendMessageRoundTrip)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
