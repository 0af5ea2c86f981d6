// Polite crawling end to end: the per-host limit, pages refused with 429 or
// 503 fetched again after their Retry-After, and the hint that suggests the
// options.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/support/RawServer.h"
#include "core/support/SessionCrawlTest.h"
#include "search/HostPacing.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Response(int status, const std::string& body, const std::string& extra = "") {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n" + extra + "Connection: close\r\n\r\n" + body;
}

std::string PathOf(const std::string& request) {
    const std::size_t from = request.find(' ') + 1;
    return request.substr(from, request.find(' ', from) - from);
}

std::string LinksTo(int count) {
    std::string page = "<p>root</p>";
    for (int i = 0; i < count; ++i) {
        page += "<a href=\"/p" + std::to_string(i) + "\">l</a>";
    }
    return page;
}

// A server whose answer to each path is chosen by the test, recording when
// each request came and how many were in progress at once.
class ScriptedServer {
public:
    using Answer = std::function<std::string(const std::string& path, int nth)>;

    explicit ScriptedServer(Answer answer, std::chrono::milliseconds work = 0ms)
        : answer_(std::move(answer)),
          work_(work),
          server_([this](test::RawServer::Connection& c) { Serve(c); }) {}

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server_.Port()) + path;
    }
    int MostAtOnce() const { return mostAtOnce_; }
    std::vector<Clock::time_point> Times(const std::string& path) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Clock::time_point> times;
        for (const auto& [p, t] : requests_) {
            if (p == path) {
                times.push_back(t);
            }
        }
        return times;
    }
    int Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(requests_.size());
    }

private:
    void Serve(test::RawServer::Connection& c) {
        const std::string path = PathOf(c.ReadRequest());
        int nth = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& request : requests_) {
                nth += request.first == path ? 1 : 0;
            }
            requests_.emplace_back(path, Clock::now());
        }
        const int now = ++atOnce_;
        int most = mostAtOnce_;
        while (now > most && !mostAtOnce_.compare_exchange_weak(most, now)) {
        }
        c.Wait(work_);
        const std::string response = answer_(path, nth);
        --atOnce_;  // before the answer leaves, so that no overlap is counted twice
        c.Send(response);
    }

    Answer answer_;
    std::chrono::milliseconds work_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, Clock::time_point>> requests_;
    std::atomic<int> atOnce_{0};
    std::atomic<int> mostAtOnce_{0};
    test::RawServer server_;
};

class PoliteCrawlTest : public test::SessionCrawlTest {
protected:
    void SetUp() override {
        ResetPrefs();
        SessionCrawlTest::SetUp();
    }
    void TearDown() override {
        SessionCrawlTest::TearDown();
        ResetPrefs();
    }
    static void ResetPrefs() {
        Prefs().PerHostOn = 0;
        Prefs().PerHost = Preferences::kDefaultPerHost;
        Prefs().SlowDown = 0;
    }
    const ScanRow* RowOf(const std::string& url) const {
        const auto& rows = session->ScanRows();
        auto found = std::find_if(rows.begin(), rows.end(),
                                  [&url](const ScanRow& row) { return row.url == url; });
        return found == rows.end() ? nullptr : &*found;
    }
};

TEST_F(PoliteCrawlTest, AHostAtItsLimitNeverServesMoreAtOnceAndEveryPageComes) {
    constexpr int kPages = 12;
    ScriptedServer server(
        [](const std::string& path, int) {
            return Response(200, path == "/" ? LinksTo(kPages) : "<p>a word</p>");
        },
        100ms);
    Prefs().PerHostOn = 1;
    Prefs().PerHost = 2;
    AddStart(server.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_LE(server.MostAtOnce(), 2);
    // Held back, not lost: each page once, each with its row.
    EXPECT_EQ(server.Requests(), kPages + 1);
    EXPECT_EQ(session->ScanRows().size(), static_cast<std::size_t>(kPages + 1));
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_EQ(Counters().ActiveWorkers, 0);
}

TEST_F(PoliteCrawlTest, ARefusedPageIsFetchedAgainAfterItsRetryAfterAndGivesOneRow) {
    ScriptedServer server([](const std::string&, int nth) {
        return nth == 0 ? Response(429, "busy", "Retry-After: 1\r\n")
                        : Response(200, "<p>a word</p>");
    });
    Prefs().SlowDown = 1;
    const std::string url = server.Url("/a");
    AddStart(url);
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(PumpUntil([&] { return server.Requests() == 1; }));
    PumpFor(300ms);
    // Waiting for its second try, the page has no row and keeps its
    // Remaining row.
    EXPECT_EQ(RowOf(url), nullptr);
    EXPECT_TRUE(session->Remaining().Find(url).has_value());
    ASSERT_TRUE(RunToEnd());
    const auto times = server.Times("/a");
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 1s);
    ASSERT_EQ(session->ScanRows().size(), 1u);
    EXPECT_EQ(session->ScanRows()[0].result, "a word");
    EXPECT_EQ(session->Remaining().Size(), 0u);
}

TEST_F(PoliteCrawlTest, APageRefusedFourTimesGivesOneFailedRowWithItsStatus) {
    for (int status : {429, 503}) {
        NewSession();
        view.messages.clear();
        ScriptedServer server([status](const std::string&, int) {
            return Response(status, "busy", "Retry-After: 0\r\n");
        });
        Prefs().SlowDown = 1;
        AddStart(server.Url("/a"));
        ASSERT_TRUE(session->Start(Controls()));
        ASSERT_TRUE(RunToEnd()) << status;
        EXPECT_EQ(server.Requests(), 4) << status;  // the first try and 3 more
        ASSERT_EQ(session->ScanRows().size(), 1u) << status;
        EXPECT_EQ(session->ScanRows()[0].result, "CONNECTION FAILED");
        EXPECT_EQ(session->ScanRows()[0].reason, "HTTP " + std::to_string(status));
        EXPECT_EQ(session->Remaining().Size(), 0u) << status;
    }
}

TEST_F(PoliteCrawlTest, WithoutSlowingDownManyRefusalsShowTheHintOnce) {
    constexpr int kPages = 24;
    ScriptedServer server([](const std::string& path, int) {
        return path == "/" ? Response(200, LinksTo(kPages)) : Response(429, "busy");
    });
    AddStart(server.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    // Each refused page is tried once and fails at once, as without the options.
    EXPECT_EQ(server.Requests(), kPages + 1);
    EXPECT_EQ(ScanRowsSaying("CONNECTION FAILED"), kPages);
    const auto& pane0 = view.statusHistory[0];
    EXPECT_EQ(std::count(pane0.begin(), pane0.end(), std::string(HostPacing::kSlowDownHint)), 1);
}

}  // namespace
}  // namespace qx
