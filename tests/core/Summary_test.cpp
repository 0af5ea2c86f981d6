// The search's figures: every link a crawl meets is queued or dropped for
// exactly one reason, and the figures add up.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "core/support/JsonChecker.h"
#include "core/support/LoopbackSite.h"
#include "core/support/SessionCrawlTest.h"
#include "search/CrawlTally.h"
#include "search/SearchSummary.h"

namespace qx {
namespace {

using test::LoopbackSite;

class SummaryTest : public test::SessionCrawlTest {};

std::string Links(std::initializer_list<const char*> hrefs) {
    std::string page = "<p>word</p>";
    for (const char* href : hrefs) {
        page += std::string("<a href=\"") + href + "\">x</a> ";
    }
    return page;
}

std::string Describe(const SearchSummary& s) {
    return SummaryText(s);
}

// The rules that hold for any crawl.
void ExpectFiguresAddUp(const SearchSummary& s) {
    EXPECT_EQ(s.linksSeen, s.linksQueued + s.LinksDropped()) << Describe(s);
    EXPECT_EQ(s.pagesFetched, s.pagesMatched + s.pagesDescribed + s.pagesNoMatch + s.pagesFailed +
                                  s.pagesNoRow + s.pagesRobotsDisallowed);
    long long failures = 0;
    for (const auto& [label, count] : s.failures) {
        failures += count;
    }
    EXPECT_EQ(failures, s.pagesFailed) << Describe(s);
}

TEST_F(SummaryTest, EveryDropReasonIsCountedOnceOnADeclaredSite) {
    struct Case {
        const char* name;
        LoopbackSite::Pages site;
        std::function<void(SearchControls&)> set;
        bool robots;  // Use Robot Exclusion (NOINDEX), and Obey robots.txt
        std::map<DropReason, long long> dropped;  // every other reason 0
        long long queued;                         // start URL included
        long long fetched;
    };
    const Case cases[] = {
        {"what a page's links are made of",
         {{"/",
           {Links({"a.html", "a.html", "pic.jpg", "x.html#f", "ftp://h/x", "s.css", "./up", "z",
                   "/gone", "/bin", "/lone"})}},
          {"/a.html", {Links({"/a.html"})}},
          // Queues nothing, so the engine meets it again after its fetch:
          // that is no duplicate.
          {"/lone", {Links({"/"})}},
          {"/bin", {"\x01\x02", "application/octet-stream"}}},
         nullptr,
         false,
         {{DropReason::kRepeat, 1},
          {DropReason::kImage, 1},
          {DropReason::kEscaped, 1},
          {DropReason::kNotHttp, 1},
          {DropReason::kStyleSheet, 1},
          {DropReason::kDotPath, 1},
          {DropReason::kShort, 2},
          {DropReason::kDuplicate, 1}},
         5,
         5},
        {"noindex with the robot exclusion rule",
         {{"/", {Links({"/n.html"})}},
          {"/n.html", {"<meta name=robots content=noindex>" + Links({"/p1", "/p2"})}}},
         nullptr,
         true,
         {{DropReason::kNoindex, 2}},
         2,
         2},
        {"robots.txt",
         {{"/", {Links({"/private/a", "/ok"})}},
          {"/robots.txt", {"User-agent: *\nDisallow: /private\n", "text/plain"}}},
         nullptr,
         true,
         {{DropReason::kRobots, 1}},
         2,
         3},
        {"max depth",
         {{"/", {Links({"/d1"})}}, {"/d1", {Links({"/d2"})}}, {"/d2", {Links({"/x", "/y"})}}},
         [](SearchControls& c) {
             c.maxDepthOn = true;
             c.maxDepth = "1";
         },
         false,
         {{DropReason::kDepth, 2}},
         3,
         3},
        {"no width levels left",
         {{"/", {Links({"/w1", "/w2", "/w3"})}}},
         [](SearchControls& c) {
             c.widthDepthOn = true;
             c.widthDepth = "0";
         },
         false,
         {{DropReason::kWidth, 3}},
         1,
         1},
        {"include and exclude URL",
         {{"/", {Links({"/keep1", "/keep2bad", "/other"})}}},
         [](SearchControls& c) {
             c.include = "keep";
             c.includeUrl = true;
             c.exclude = "bad";
             c.excludeUrl = true;
         },
         false,
         {{DropReason::kExcludeUrl, 1}, {DropReason::kIncludeUrl, 1}},
         2,
         2},
        {"max remaining",
         {{"/", {Links({"/m1", "/m2", "/m3", "/m4"})}}},
         [](SearchControls& c) {
             c.maxRemainingOn = true;
             c.maxRemaining = "2";
         },
         false,
         {{DropReason::kMaxRemaining, 3}},
         2,
         2},
        {"stop on match",
         {{"/", {Links({"/s1"})}}},
         [](SearchControls& c) { c.stopOnMatch = true; },
         false,
         {{DropReason::kStopOnMatch, 1}},
         1,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackSite site(LoopbackSite::PageList{});
        for (const auto& [path, page] : c.site) {
            site.SetPage(path, page);
        }
        NewSession();
        Counters().ActiveWorkers = 0;
        Prefs().UseRobotExclusion = c.robots ? 1 : 0;
        Prefs().ObeyRobots = c.robots ? 1 : 0;
        AddStart(site.Url("/"));
        SearchControls controls = Controls();
        if (c.set) {
            c.set(controls);
        }
        ASSERT_TRUE(session->Start(controls));
        ASSERT_TRUE(RunToEnd());
        const SearchSummary s = Tally().Snapshot(Counters().RemainingCount);
        for (std::size_t r = 0; r < kDropReasonCount; ++r) {
            const auto reason = static_cast<DropReason>(r);
            const auto expected = c.dropped.find(reason);
            EXPECT_EQ(s.dropped[r], expected == c.dropped.end() ? 0 : expected->second)
                << "reason " << DropReasonName(reason) << "\n"
                << Describe(s);
        }
        EXPECT_EQ(s.startUrls, 1);
        EXPECT_EQ(s.linksQueued, c.queued) << Describe(s);
        EXPECT_EQ(s.pagesFetched, c.fetched) << Describe(s);
        ExpectFiguresAddUp(s);
        view.messages.clear();
    }
    Prefs().ObeyRobots = 0;
}

TEST_F(SummaryTest, PagesAreCountedByOutcomeAndFailuresByReason) {
    LoopbackSite site({
        {"/", {Links({"/plain.html", "/gone", "/bin", "/err"})}},
        {"/plain.html", {"<p>nothing here</p>"}},
        {"/bin", {"\x01", "application/gzip"}},
        {"/err", {"oops", "text/html", 500}},
    });
    AddStart(site.Url("/"));
    ASSERT_TRUE(session->Start(Controls()));
    ASSERT_TRUE(RunToEnd());
    const SearchSummary s = Tally().Snapshot(0);
    EXPECT_EQ(s.pagesMatched, 1);
    EXPECT_EQ(s.pagesNoMatch, 1);
    EXPECT_EQ(s.pagesFailed, 3);
    const std::vector<std::pair<std::string, long long>> failures = {
        {"HTTP 404", 1}, {"HTTP 500", 1}, {"not text", 1}};
    EXPECT_EQ(s.failures, failures) << Describe(s);
    EXPECT_GT(s.bytesRead, 0);
    EXPECT_GT(s.elapsedSeconds, 0);
    ExpectFiguresAddUp(s);
}

TEST(SummaryFormTest, FailureReasonsAreCountedUnderTheirKind) {
    const struct {
        const char* reason;
        const char* label;
    } cases[] = {
        {"HTTP 404", "HTTP 404"},
        {"not text: application/gzip", "not text"},
        {"no content type", "no content type"},
        {"connect timed out", "connect timed out"},
        {"timed out after 60 s", "timed out"},
        {"TLS: certificate expired", "TLS"},
        {"stalled for 30 s", "stalled"},
        {"read error: connection reset", "read error"},
        {"HTTP 4044", "other"},
        {"nothing known", "other"},
        {"not textual", "other"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CrawlTally::FailureLabel(c.reason), c.label) << c.reason;
    }
}

TEST(SummaryFormTest, TextAndJsonHoldEveryFigure) {
    SearchSummary s;
    s.pagesFetched = 7;
    s.pagesMatched = 2;
    s.pagesNoMatch = 3;
    s.pagesFailed = 2;
    s.failures = {{"HTTP 404", 1}, {"not \"text\"", 1}};
    s.startUrls = 1;
    s.linksSeen = 20;
    s.linksQueued = 8;
    s.dropped[static_cast<std::size_t>(DropReason::kWidth)] = 9;
    s.dropped[static_cast<std::size_t>(DropReason::kDuplicate)] = 3;
    s.bytesRead = 12345;
    s.elapsedSeconds = 2;
    s.remaining = 4;

    const std::string text = SummaryText(s);
    for (const char* line :
         {"Pages fetched: 7\n", "  matched: 2\n", "  failed: 2\n", "    HTTP 404: 1\n",
          "Links seen: 20\n", "Links queued: 8\n", "Links dropped: 12\n", "  width: 9\n",
          "  duplicate: 3\n", "Bytes read: 12345\n", "Pages per second: 3.5\n", "Remaining: 4\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
    }
    EXPECT_EQ(text.find("image"), std::string::npos) << "a reason without drops is left out";

    const std::string json = SummaryJson(s);
    ASSERT_EQ(json.back(), '\n');
    EXPECT_TRUE(test::JsonChecker(json.substr(0, json.size() - 1)).Valid()) << json;
    for (const char* member : {"\"links_dropped\":12", "\"width\":9", "\"image\":0",
                               "\"HTTP 404\":1", "\"pages_per_s\":3.500"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
    }
}

}  // namespace
}  // namespace qx
