// End-to-end crawls against loopback servers: the session, the engine, the
// workers, the fetcher and the page analysis together.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "core/support/LoopbackSite.h"
#include "core/support/RawServer.h"
#include "core/support/SessionCrawlTest.h"
#include "search/CSearchThread.h"
#include "search/CrawlEngine.h"
#include "search/CrawlState.h"
#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::LoopbackPage;
using test::LoopbackSite;

using test::kFinished;

class CrawlEngineTest : public test::SessionCrawlTest {};

TEST_F(CrawlEngineTest, TwoEqualStartUrlsGiveOneScan) {
    LoopbackSite site({{"/", {"<p>a word here</p>"}}});
    AddStart(site.Url("/"));
    AddStart(site.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/"), 1);
    EXPECT_EQ(Counters().ScannedCount, 1);
    ASSERT_EQ(session->MatchRows().size(), 1u);
    EXPECT_EQ(view.status[1], "Scanned: 1");
    // A search that ended by itself stays running until Stop.
    EXPECT_TRUE(session->running());
}

TEST_F(CrawlEngineTest, EntriesThatGiveNoRowLeaveTheRemainingList) {
    // Plain text without '>' gives no row, nor does a URL that cannot be
    // prepared; a duplicate is never fetched.
    LoopbackSite site({{"/", {"<p>nothing <a href=\"/notes.txt\">n</a> <a href=\"r.md\">r</a>"}},
                       {"/notes.txt", {"plain words, no tags", "text/plain"}},
                       {"/r.md", {"# Read me", "text/markdown"}}});
    AddStart(site.Url("/"));
    AddStart(site.Url("/"));
    AddStart("http://a b");  // cannot be prepared: started once, then a duplicate
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/"), 1);
    EXPECT_EQ(site.Requests("/notes.txt"), 1);
    EXPECT_EQ(site.Requests("/r.md"), 1);
    EXPECT_EQ(session->ScanRows().size(), 1u);
    EXPECT_EQ(Counters().ScannedCount, 4);
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_EQ(view.status[2], "Remaining: 0");
}

TEST_F(CrawlEngineTest, CapZeroNeverStartsAWorkerAndNeverFinishes) {
    LoopbackSite site({{"/", {"<p>word</p>"}}});
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.maxConnections = "0";
    ASSERT_TRUE(session->Start(controls));
    PumpFor(300ms);
    EXPECT_EQ(site.Requests("/"), 0);
    EXPECT_FALSE(view.Showed(kFinished));
    EXPECT_TRUE(session->EngineAlive());
    StopWithYes();
    EXPECT_TRUE(PumpUntil([&] { return !session->EngineAlive(); }, 2s));
}

TEST_F(CrawlEngineTest, SearchFinishedComesSevenIdleRoundsAfterTheLastEntry) {
    LoopbackSite site({{"/", {"<p>nothing</p>"}}});
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.engineRevs = "40";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ScannedCount == 1; }));
    const auto lastReport = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunToEnd());
    // One round removes the entry, then seven empty rounds of 40 ms each.
    EXPECT_GE(std::chrono::steady_clock::now() - lastReport, 7 * 40ms);
    EXPECT_EQ(ScanRowsSaying("NO MATCH"), 1);
    // The engine sets the stop once the message box has been closed.
    EXPECT_TRUE(PumpUntil([&] { return Counters().StopRequested == 1; }, 2s));
    EXPECT_TRUE(PumpUntil([&] { return !session->EngineAlive(); }, 2s));
}

TEST_F(CrawlEngineTest, StopOnMatchSkipsTheRootsEntriesAndLaterTheStartRow) {
    LoopbackSite site({
        {"/", {"<p>word</p><a href=\"a.html\">a</a><a href=\"b.html\">b</a>"}},
        {"/a.html", {"<p>word</p>"}},
        {"/b.html", {"<p>word</p>"}},
    });
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.stopOnMatch = true;
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/"), 1);
    EXPECT_EQ(site.Requests("/a.html"), 0);
    EXPECT_EQ(site.Requests("/b.html"), 0);
    EXPECT_EQ(session->Remaining().Size(), 0u);  // the skipped rows went too
    EXPECT_TRUE(roots->Contains(0));

    // A later search from the same start row: the row is not fetched at all.
    StopWithYes();
    view.messages.clear();
    const std::size_t rowsBefore = session->ScanRows().size();
    session->Clear();
    AddStart(site.Url("/"));
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/"), 1);
    EXPECT_EQ(session->ScanRows().size(), 0u);
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_GT(rowsBefore, 0u);
}

TEST_F(CrawlEngineTest, RepeatModeCountsDownAndFetchesTheHeadAgain) {
    LoopbackSite site({{"/", {"<p>word</p><a href=\"/other\">o</a>"}}, {"/other", {"x"}}});
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.repeatOn = true;
    controls.repeatSeconds = "2";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return site.Requests("/") >= 2; }, 10s));
    const auto& pane2 = view.statusHistory[2];
    auto at = std::find(pane2.begin(), pane2.end(), "Remaining: 2");
    ASSERT_NE(at, pane2.end());
    // The first pause of a page's engine is free, so the count may run
    // beside the first fetch.
    EXPECT_NE(std::find(at, pane2.end(), "Remaining: 1"), pane2.end());
    EXPECT_EQ(site.Requests("/other"), 0);  // only the head is ever fetched
    EXPECT_EQ(Counters().ActiveWorkers, 0);
    StopWithYes();
    EXPECT_TRUE(PumpUntil([&] { return !session->EngineAlive(); }, 3s));
}

std::string LinksPage(const std::string& prefix, int count) {
    std::string page = "<p>word</p>";
    for (int i = 0; i < count; ++i) {
        page += "<a href=\"/" + prefix + std::to_string(i) + ".html\">l</a>";
    }
    return page;
}

int RequestsOf(const LoopbackSite& site, const std::string& prefix, int count) {
    int total = 0;
    for (int i = 0; i < count; ++i) {
        total += site.Requests("/" + prefix + std::to_string(i) + ".html");
    }
    return total;
}

TEST_F(CrawlEngineTest, MaxRemainingStopsQueueingAtTheQueueLength) {
    LoopbackSite site({{"/", {LinksPage("p", 20)}}});
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.maxRemainingOn = true;
    controls.maxRemaining = "5";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    // The start entry is still queued while its links are followed.
    EXPECT_EQ(RequestsOf(site, "p", 20), 4);
    EXPECT_EQ(site.Requests("/p0.html"), 1);
    EXPECT_EQ(site.Requests("/p4.html"), 0);
}

TEST_F(CrawlEngineTest, UrlFiltersUseTheIncludeAndExcludeWords) {
    struct Case {
        const char* name;
        bool includeOn, excludeOn;
        const char* include;
        const char* exclude;
        int keep, drop, other;
    };
    const Case cases[] = {
        {"no filter", false, false, "", "", 1, 1, 1},
        {"exclude", false, true, "", "DROP", 1, 0, 1},
        {"include", true, false, "Keep", "", 1, 0, 0},
        {"both", true, true, "keep,drop", "drop", 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackSite site({{"/",
                            {"<p>word</p><a href=\"/Keep1.html\">1</a>"
                             "<a href=\"/drop1.html\">2</a><a href=\"/other.html\">3</a>"}}});
        NewSession();
        Counters().ActiveWorkers = 0;
        AddStart(site.Url("/"));
        SearchControls controls = Controls();
        controls.includeUrl = c.includeOn;
        controls.excludeUrl = c.excludeOn;
        controls.include = c.include;
        controls.exclude = c.exclude;
        ASSERT_TRUE(session->Start(controls));
        ASSERT_TRUE(RunToEnd());
        // The path keeps its case: /Keep1.html is what the server serves.
        EXPECT_EQ(site.Requests("/Keep1.html"), c.keep);
        EXPECT_EQ(site.Requests("/keep1.html"), 0);
        EXPECT_EQ(site.Requests("/drop1.html"), c.drop);
        EXPECT_EQ(site.Requests("/other.html"), c.other);
        view.messages.clear();
    }
}

TEST_F(CrawlEngineTest, LinksToJpgAndGifImagesAreNotQueued) {
    LoopbackSite site({{"/",
                        {"<p>word</p><a href=\"/a.JPG\">1</a><a href=\"/b.gif\">2</a>"
                         "<a href=\"/c.jpg?size=2\">3</a><a href=\"/d.html\">4</a>"}}});
    AddStart(site.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/a.JPG"), 0);
    EXPECT_EQ(site.Requests("/b.gif"), 0);
    EXPECT_EQ(site.Requests("/c.jpg"), 1);
    EXPECT_EQ(site.Requests("/d.html"), 1);
}

TEST_F(CrawlEngineTest, NoIndexStopsLinkFollowingOnlyWithRobotExclusion) {
    for (int robots : {1, 0}) {
        SCOPED_TRACE(testing::Message() << "robot exclusion " << robots);
        LoopbackSite site({
            {"/", {"<meta name=robots content=noindex><p>word</p><a href=\"/a.html\">a</a>"}},
            {"/a.html", {"<p>x</p>"}},
        });
        NewSession();
        Counters().ActiveWorkers = 0;
        Prefs().UseRobotExclusion = robots;
        AddStart(site.Url("/"));
        ASSERT_TRUE(session->Start(Controls()));
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(site.Requests("/a.html"), robots ? 0 : 1);
        // The page's own match is reported either way.
        EXPECT_EQ(session->MatchRows().size(), 1u);
        view.messages.clear();
    }
}

TEST_F(CrawlEngineTest, MaxDepthLimitsTheChain) {
    LoopbackSite site({
        {"/", {"<a href=\"/d1.html\">1</a>"}},
        {"/d1.html", {"<a href=\"/d2.html\">2</a>"}},
        {"/d2.html", {"<a href=\"/d3.html\">3</a>"}},
        {"/d3.html", {"end"}},
    });
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.maxDepthOn = true;
    controls.maxDepth = "1";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/d1.html"), 1);
    EXPECT_EQ(site.Requests("/d2.html"), 1);  // queued by a page of depth 1
    EXPECT_EQ(site.Requests("/d3.html"), 0);  // a page past the maximum queues nothing
}

TEST_F(CrawlEngineTest, WidthWindowGivesNearLinksTheLongerBudget) {
    // Width 0: only the link just before the occurrence is a near link; it
    // gets the width-depth budget on top, so its own links are followed.
    LoopbackSite site({
        {"/",
         {"<a href=\"/l1.html\">x</a><a href=\"/l2.html\">y</a> word "
          "<a href=\"/l3.html\">z</a>"}},
        {"/l1.html", {"<a href=\"/deep1.html\">d</a>"}},
        {"/l2.html", {"<a href=\"/deep2.html\">d</a>"}},
        {"/l3.html", {"<a href=\"/deep3.html\">d</a>"}},
        {"/deep1.html", {"e"}},
        {"/deep2.html", {"e"}},
        {"/deep3.html", {"e"}},
    });
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.defaultWidthOn = true;
    controls.defaultWidth = "0";
    controls.widthDepthOn = true;
    controls.widthDepth = "1";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/l1.html"), 1);
    EXPECT_EQ(site.Requests("/l2.html"), 1);
    EXPECT_EQ(site.Requests("/l3.html"), 1);
    EXPECT_EQ(site.Requests("/deep1.html"), 0);
    EXPECT_EQ(site.Requests("/deep2.html"), 1);
    EXPECT_EQ(site.Requests("/deep3.html"), 0);
}

TEST_F(CrawlEngineTest, ImageLinksAreDroppedInAnyCase) {
    LoopbackSite site({
        {"/",
         {"<a href=\"/a.JPG\">1</a><a href=\"/b.gif\">2</a><a href=\"/c.Gif\">3</a>"
          "<a href=\"/x.jpg?size=2\">4</a>"}},
        {"/x.jpg", {"<p>x</p>"}},
    });
    AddStart(site.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(site.Requests("/x.jpg"), 1);  // with its query
    EXPECT_EQ(Counters().ScannedCount, 2);
}

TEST_F(CrawlEngineTest, WidthDepthAtTheIntLimitsSaturates) {
    // The matched page's link after the word is a near link; its own link is
    // followed only while the level budget stays positive.
    const std::pair<const char*, int> cases[] = {{"9999999999", 1}, {"-2147483648", 0}};
    for (const auto& [widthDepth, followed] : cases) {
        SCOPED_TRACE(widthDepth);
        LoopbackSite site({
            {"/", {"<p>word</p> <a href=\"/c.html\">c</a>"}},
            {"/c.html", {"<a href=\"/g.html\">g</a>"}},
            {"/g.html", {"end"}},
        });
        NewSession();
        Counters().ActiveWorkers = 0;
        AddStart(site.Url("/"));
        SearchControls controls = Controls();
        controls.defaultWidthOn = true;
        controls.defaultWidth = "1";
        controls.widthDepthOn = true;
        controls.widthDepth = widthDepth;
        ASSERT_TRUE(session->Start(controls));
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(site.Requests("/c.html"), followed);
        EXPECT_EQ(site.Requests("/g.html"), followed);
        view.messages.clear();
    }
}

TEST_F(CrawlEngineTest, UnreachablePagesGiveConnectionFailedRows) {
    LoopbackSite site({{"/img", {"GIF89a", "image/gif"}}});
    AddStart("http://127.0.0.1:1");
    AddStart(site.Url("/missing"));
    AddStart(site.Url("/img"));
    AddStart("ftp://127.0.0.1/http");  // a scheme the fetcher does not speak
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(ScanRowsSaying("CONNECTION FAILED"), 4);
    EXPECT_EQ(session->Remaining().Size(), 0u);
    for (const ScanRow& row : session->ScanRows()) {
        EXPECT_EQ(row.title, " ");
    }
}

// A page served as it is, without compression (compressing megabytes on the
// test server would dominate the test).
std::string RawResponse(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TEST_F(CrawlEngineTest, AThreadThatCannotStartIsReportedAndItsEntryDropped) {
    LoopbackSite site({{"/a.html", {"<p>a word</p>"}}, {"/b.html", {"<p>b word</p>"}}});
    static std::atomic<int> starts{0};
    starts = 0;
    // The first start fails as on a system out of threads; later ones work.
    CSearchThread::SetThreadStarter([](std::function<void()> body) {
        if (starts++ == 0) {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        std::thread(std::move(body)).detach();
    });
    AddStart(site.Url("/a.html"));
    AddStart(site.Url("/b.html"));
    const bool started = session->Start(Controls());
    const bool finished = started && RunToEnd();
    CSearchThread::SetThreadStarter(nullptr);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(view.Showed("Cannot Start New Thread"));
    // The refused entry is dropped without a fetch or a row; the search goes on.
    EXPECT_EQ(site.Requests("/a.html"), 0);
    EXPECT_EQ(site.Requests("/b.html"), 1);
    ASSERT_EQ(session->ScanRows().size(), 1u);
    EXPECT_EQ(session->ScanRows()[0].url, site.Url("/b.html"));
    EXPECT_EQ(session->ScanRows()[0].result, "b word");
    EXPECT_EQ(Counters().ActiveWorkers, 0);
}

TEST_F(CrawlEngineTest, APageWithAHundredThousandLinksQueuesThemAll) {
    constexpr int kLinks = 100000;
    const std::string page = LinksPage("p", kLinks);
    test::RawServer server([&page](test::RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(RawResponse(page));
    });
    const std::string root = "http://127.0.0.1:" + std::to_string(server.Port());
    AddStart(root);
    SearchControls controls = Controls();
    controls.maxConnections = "1";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ScannedCount >= 1; }, 60s));
    StopWithYes();
    ASSERT_EQ(session->Remaining().Size(), static_cast<std::size_t>(kLinks));
    EXPECT_EQ(session->Remaining().At(0).url, root + "/p0.html");
    EXPECT_EQ(session->Remaining().At(0).depth, "1");
    EXPECT_EQ(session->Remaining().At(kLinks - 1).url, root + "/p99999.html");
}

// A worker of the stopped search still holds the queue while its page's links
// wait for this thread: Start must handle them instead of blocking. The page
// comes slowly, so the worker takes the queue only after Stop has ended the
// engine (an engine waiting for the queue would drain the links itself).
TEST_F(CrawlEngineTest, StartRightAfterStopWhileAWorkerHoldsTheQueue) {
    constexpr int kLinks = 20000;
    const std::string page = LinksPage("p", kLinks);
    test::RawServer server([&page](test::RawServer::Connection& c) {
        c.ReadRequest();
        c.Wait(300ms);
        c.Send(RawResponse(page));
    });
    const std::string root = "http://127.0.0.1:" + std::to_string(server.Port());
    AddStart(root);
    SearchControls controls = Controls();
    controls.maxConnections = "1";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ActiveWorkers == 1; }, 30s));
    StopWithYes();
    ASSERT_TRUE(PumpUntil([&] { return !session->EngineAlive(); }, 30s));
    ASSERT_TRUE(PumpUntil([&] { return session->Remaining().Size() > 100; }, 30s));
    controls.maxConnections = "0";
    ASSERT_TRUE(session->Start(controls));
    // Every link of the old page was listed before the new search began.
    EXPECT_EQ(session->Remaining().Size(), static_cast<std::size_t>(kLinks));
    EXPECT_FALSE(session->running() && session->stopPending());
    StopWithYes();
}

TEST_F(CrawlEngineTest, StopWithTwoHundredWorkersInFlightEndsCleanly) {
    test::RawServer server([](test::RawServer::Connection& c) {
        const std::string request = c.ReadRequest();
        std::string body = "<p>slow word</p>";
        if (request.rfind("GET / ", 0) == 0) {
            body = LinksPage("s", 200);
        } else {
            std::this_thread::sleep_for(300ms);
        }
        c.Send(RawResponse(body));
    });
    AddStart("http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    SearchControls controls = Controls();
    controls.maxConnections = "250";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ActiveWorkers >= 150; }, 20s));
    StopWithYes();
    // Running workers finish their page and report; the engine ends.
    ASSERT_TRUE(
        PumpUntil([&] { return Counters().ActiveWorkers == 0 && !session->EngineAlive(); }, 20s));
    EXPECT_GE(Counters().ScannedCount, 151);
    // The next search discards the entries of the stopped one.
    session->Clear();
    AddStart("http://127.0.0.1:" + std::to_string(server.Port()) + "/s0.html");
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(session->ScanRows().size(), 1u);  // the described row of the one page
}

TEST_F(CrawlEngineTest, ShutdownWithWorkersInFlightReturnsPromptly) {
    test::RawServer server([](test::RawServer::Connection& c) {
        const std::string request = c.ReadRequest();
        std::string body = "<p>slow word</p>";
        if (request.rfind("GET / ", 0) == 0) {
            body = LinksPage("s", 200);
        } else {
            std::this_thread::sleep_for(300ms);
        }
        c.Send(RawResponse(body));
    });
    AddStart("http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    SearchControls controls = Controls();
    controls.maxConnections = "250";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ActiveWorkers >= 150; }, 20s));
    const auto before = std::chrono::steady_clock::now();
    session.reset();  // the window closes mid-search
    EXPECT_LT(std::chrono::steady_clock::now() - before, 6s);
}

// Servers that accept and never answer: closing the window must not wait for
// their time-outs.
TEST_F(CrawlEngineTest, ShutdownAbortsTransfersToSilentServers) {
    test::RawServer silent([](test::RawServer::Connection& c) {
        c.ReadRequest();
        c.Wait(60s);
    });
    const std::string base = "http://127.0.0.1:" + std::to_string(silent.Port());
    for (int i = 0; i < 20; ++i) {
        AddStart(base + "/silent" + std::to_string(i) + ".html");
    }
    FetcherLimits slow;
    slow.stallTimeoutMs = 60000;
    slow.totalTimeoutMs = 600000;
    session->SetFetcherLimits(slow);
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(PumpUntil([&] { return Counters().ActiveWorkers >= 20; }, 10s));
    std::this_thread::sleep_for(100ms);
    const auto before = std::chrono::steady_clock::now();
    session.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 4s);
}

}  // namespace
}  // namespace qx
