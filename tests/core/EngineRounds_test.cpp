// The engine alone, round by round: its rules on examinations, duplicates,
// pacing and the end of a search, without workers or servers.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "search/CSearchThread.h"
#include "search/CrawlEngine.h"
#include "search/CrawlState.h"
#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

// The engine alone, round by round: each pause runs the test's hook instead of
// waiting, and workers are held back instead of started.
class EngineRoundsTest : public testing::Test {
protected:
    struct Page : PageWindow {
        std::intptr_t SendMessage(unsigned msg, std::uintptr_t, std::intptr_t lParam) override {
            if (msg == WM_REMOVE_REMAINING) {
                std::vector<std::string>& urls = removals.emplace_back();
                for (const SharedUrl& url :
                     *reinterpret_cast<const std::vector<SharedUrl>*>(lParam)) {
                    urls.push_back(url.str());
                }
                std::this_thread::sleep_for(removalTakes);
            }
            return 0;
        }
        void ShowMessage(const std::string& text) override { shown.push_back(text); }
        std::chrono::milliseconds removalTakes{0};
        std::vector<std::vector<std::string>> removals;
        std::vector<std::string> shown;
    };

    static std::vector<std::function<void()>>& Held() {
        static std::vector<std::function<void()>> held;
        return held;
    }

    void SetUp() override {
        Counters().SearchActive = 1;
        Counters().StopRequested = 0;
        Counters().ActiveWorkers = 0;
        CSearchThread::SetThreadStarter(
            [](std::function<void()> body) { Held().push_back(std::move(body)); });
    }
    void TearDown() override {
        CSearchThread::SetThreadStarter(nullptr);
        for (auto& body : Held()) {
            std::thread(std::move(body)).join();  // reports and ends at once
        }
        Held().clear();
        Counters().StopRequested = 0;
        Counters().ActiveWorkers = 0;
    }

    SearchItem& Queue(const std::string& url, int done = 0) {
        SearchItem& item = crawl->PendingQueue.emplace_back();
        item.pageWindow = page.get();
        item.url = url;
        item.done = static_cast<std::uint8_t>(done);
        return item;
    }

    // Runs the engine; the hook sees the number of each pause, and the engine
    // is stopped at pause `stopAt` (before that round). `asked` receives the
    // duration of each pause.
    int Run(int stopAt, const std::function<void(int)>& hook = {},
            std::vector<std::chrono::microseconds>* asked = nullptr) {
        int pauses = 0;
        crawl->SetPauseHook([&](std::chrono::microseconds duration) {
            if (asked != nullptr) {
                asked->push_back(duration);
            }
            ++pauses;
            if (hook) {
                hook(pauses);
            }
            if (pauses == stopAt) {
                Counters().StopRequested = 1;
            }
        });
        CrawlEngine(crawl, settings).EngineProc();
        return pauses;
    }

    std::shared_ptr<Page> page = std::make_shared<Page>();
    MatchedRoots roots;
    std::shared_ptr<CrawlState> crawl = std::make_shared<CrawlState>(page, roots);
    std::shared_ptr<SearchSettings> settings = std::make_shared<SearchSettings>();
};

TEST_F(EngineRoundsTest, EveryEntryExaminedUnderTheCapCounts) {
    // Cap 3: the first round starts A with two workers running. In the
    // second, one is running; the duplicate of A and then B use up the cap.
    settings->MaxConnections = 3;
    Counters().ActiveWorkers = 2;
    SearchItem& a = Queue("http://a b/a");
    SearchItem& again = Queue("http://a b/a");
    SearchItem& b = Queue("http://a b/b");
    SearchItem& c = Queue("http://a b/c");
    Run(3, [](int pause) {
        if (pause == 2) {
            Counters().ActiveWorkers = 1;
        }
    });
    EXPECT_EQ(a.running, 1);
    EXPECT_EQ(again.done, 1);
    EXPECT_EQ(b.running, 1);
    EXPECT_EQ(c.running, 0);
    EXPECT_EQ(Held().size(), 2u);
    EXPECT_EQ(Counters().EngineRounds, 2);
    EXPECT_EQ(Counters().EngineExaminationsCounted, 3);
    // The duplicate's row goes, in one message for its round.
    ASSERT_EQ(page->removals.size(), 1u);
    EXPECT_EQ(page->removals[0], std::vector<std::string>{"http://a b/a"});
}

TEST_F(EngineRoundsTest, RoundsBeginOnePeriodApartUnlessARoundTookOverHalfOfIt) {
    // The first round's removal message takes 30 ms; the pause after it
    // takes only what is left of the period, and half the period when less
    // is left.
    struct Case {
        int period;
        std::chrono::milliseconds shortestPause;
        std::chrono::milliseconds longestPause;
    };
    for (const Case c : {Case{100, 50ms, 70ms}, Case{20, 10ms, 10ms}}) {
        SCOPED_TRACE(c.period);
        page = std::make_shared<Page>();
        crawl = std::make_shared<CrawlState>(page, roots);
        Counters().StopRequested = 0;
        Counters().ActiveWorkers = 0;
        page->removalTakes = 30ms;
        settings->EngineRevs = c.period;
        settings->MaxConnections = 5;
        Queue("http://a b/a");
        Queue("http://a b/a");
        std::vector<std::chrono::microseconds> asked;
        Run(3, {}, &asked);
        ASSERT_EQ(page->removals.size(), 1u);
        ASSERT_EQ(asked.size(), 3u);
        EXPECT_GT(asked[0], c.longestPause + 5ms);  // the free first pause came before no round
        EXPECT_GE(asked[1], c.shortestPause);
        EXPECT_LE(asked[1], c.longestPause);
    }
}

TEST_F(EngineRoundsTest, APauseThatEndsLateShortensTheNextOne) {
    settings->EngineRevs = 100;
    std::vector<std::chrono::microseconds> asked;
    crawl->SetPauseHook([&](std::chrono::microseconds duration) {
        asked.push_back(duration);
        if (asked.size() == 2) {
            std::this_thread::sleep_for(duration + 30ms);  // woken 30 ms late
        }
        if (asked.size() == 3) {
            Counters().StopRequested = 1;
        }
    });
    Queue("http://a b/a", 1);
    CrawlEngine(crawl, settings).EngineProc();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_GE(asked[2], 50ms);
    EXPECT_LE(asked[2], 75ms);
}

TEST_F(EngineRoundsTest, CapZeroStartsNothingButStillRemovesFinishedEntries) {
    settings->MaxConnections = 0;
    Queue("http://a b/done", 1);
    SearchItem& waiting = Queue("http://a b/waiting");
    Run(12);
    ASSERT_EQ(crawl->PendingQueue.size(), 1u);
    EXPECT_EQ(&crawl->PendingQueue.front(), &waiting);
    EXPECT_TRUE(Held().empty());
    EXPECT_TRUE(page->shown.empty());
}

TEST_F(EngineRoundsTest, SearchFinishedAfterExactlySevenEmptyRounds) {
    Queue("http://a b/done", 1);
    // One round removes the entry, seven find the queue empty.
    EXPECT_EQ(Run(20), 8);
    EXPECT_EQ(page->shown, std::vector<std::string>{"Search finished"});
    EXPECT_EQ(Counters().StopRequested, 1);
}

TEST_F(EngineRoundsTest, ARoundExaminesAtMostAThousandEntries) {
    // Finished entries are removed as they are examined, so the queue's
    // length after one round tells how many the round examined.
    settings->MaxConnections = 10000;
    for (int i = 0; i < 1500; ++i) {
        Queue("http://a b/" + std::to_string(i), 1);
    }
    Run(2);  // stopped before the second round
    EXPECT_EQ(Counters().EngineRounds, 1);
    EXPECT_EQ(crawl->PendingQueue.size(), 500u);
    // The next round goes on from there.
    Counters().StopRequested = 0;
    Run(2);
    EXPECT_TRUE(crawl->PendingQueue.empty());
}

TEST_F(EngineRoundsTest, AnEntryCarriedOverIsNotRecordedAsSeen) {
    // Left from an earlier search, whose worker could not prepare it: the
    // new search fetches it again without counting it as its own, so its own
    // entry of the same URL is started too.
    settings->MaxConnections = 10;
    SearchItem& carried = Queue("http://a b/x");
    carried.carriedOver = 1;
    SearchItem& own = Queue("http://a b/x");
    Run(2);
    EXPECT_EQ(carried.running, 1);
    EXPECT_EQ(own.running, 1);
    EXPECT_EQ(own.done, 0);
    EXPECT_EQ(Held().size(), 2u);
    EXPECT_TRUE(page->removals.empty());
}

}  // namespace
}  // namespace qx
