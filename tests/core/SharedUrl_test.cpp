#include "search/SharedUrl.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qx {
namespace {

std::string UrlNumber(int i) {
    return "http://shared-url-test.example/page/" + std::to_string(i) + ".html";
}

TEST(SharedUrl, HoldersOfOneTextShareItAndTheTextLeavesWithTheLastOfThem) {
    const std::size_t before = SharedUrl::DistinctTexts();
    {
        SharedUrl first(UrlNumber(1));
        SharedUrl again(UrlNumber(1));
        SharedUrl other(UrlNumber(2));
        EXPECT_TRUE(first.SharesTextWith(again));
        EXPECT_FALSE(first.SharesTextWith(other));
        EXPECT_EQ(SharedUrl::DistinctTexts(), before + 2);

        // Texts built into the table's growth must still be found afterwards.
        std::vector<SharedUrl> many;
        for (int i = 0; i < 5000; ++i) {
            many.emplace_back(UrlNumber(i));
        }
        EXPECT_TRUE(SharedUrl(UrlNumber(4999)).SharesTextWith(many.back()));
        EXPECT_TRUE(many[1].SharesTextWith(first));
        many.clear();

        SharedUrl moved = std::move(first);
        EXPECT_TRUE(first.empty());
        EXPECT_EQ(moved, UrlNumber(1));
        again = other;  // `again` was not the last holder of page 1
        EXPECT_EQ(again, UrlNumber(2));
        EXPECT_STREQ(moved.c_str(), UrlNumber(1).c_str());
        EXPECT_EQ(SharedUrl::DistinctTexts(), before + 2);
        moved = SharedUrl();
        EXPECT_EQ(SharedUrl::DistinctTexts(), before + 1);
    }
    EXPECT_EQ(SharedUrl::DistinctTexts(), before);
    EXPECT_TRUE(SharedUrl("").empty());
    EXPECT_STREQ(SharedUrl().c_str(), "");
}

// Queue entries are made by the workers and freed by the engine: a text's
// last holder may leave on one thread while another thread looks it up.
TEST(SharedUrl, TextsFoundAndDroppedOnManyThreadsAtOnceStayWholeAndAreFreed) {
    const std::size_t before = SharedUrl::DistinctTexts();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 20000; ++i) {
                const std::string text = UrlNumber(i % 7);
                SharedUrl url(text);
                SharedUrl copy = url;
                url = SharedUrl(UrlNumber((i + t) % 7));
                ASSERT_EQ(copy, text);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(SharedUrl::DistinctTexts(), before);
}

}  // namespace
}  // namespace qx
