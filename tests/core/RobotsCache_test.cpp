// The robots.txt files of a search: one fetch per origin, however many
// workers ask at once, and a bounded wait for it.

#include "search/RobotsCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qx {
namespace {

using namespace std::chrono_literals;

TEST(RobotsCacheTest, WorkersOfOneOriginShareOneFetchAndWaitABoundedTime) {
    RobotsCache cache;
    std::atomic<int> fetches{0};
    const auto slowFetch = [&] {
        ++fetches;
        std::this_thread::sleep_for(300ms);
        return RobotsVerdict{RobotsRules::Parse("User-agent: *\nCrawl-delay: 2\n", "x"), ""};
    };
    EXPECT_EQ(cache.CrawlDelayOf("http://h:80"), std::nullopt);  // not read yet
    std::vector<std::thread> workers;
    std::atomic<int> gotDelay{0};
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back([&] {
            if (cache.VerdictFor("http://h:80", slowFetch, 10s)->rules.CrawlDelay() == 2000ms) {
                ++gotDelay;
            }
        });
    }
    std::this_thread::sleep_for(50ms);
    // One that cannot wait so long is refused, and that refusal is not kept.
    const auto impatient = cache.VerdictFor("http://h:80", slowFetch, 10ms);
    EXPECT_TRUE(impatient->rules.AllowsNothing());
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(gotDelay, 8);
    EXPECT_EQ(cache.CrawlDelayOf("http://h:80"), 2000ms);
    EXPECT_EQ(RobotsOriginKey("HTTP", "Example.COM", 8080), "http://example.com:8080");
    cache.Clear();
    EXPECT_EQ(cache.CrawlDelayOf("http://h:80"), std::nullopt);
}

}  // namespace
}  // namespace qx
