// Crawls with "Obey robots.txt": each origin's file is read once per search,
// what it forbids is not fetched but listed, and a file that cannot be had
// decides as a missing one (allow) or a broken server (refuse) does.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/support/LoopbackSite.h"
#include "core/support/SessionCrawlTest.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

using test::LoopbackPage;
using test::LoopbackSite;

constexpr const char* kDisallowed = "ROBOTS.TXT DISALLOWED";

class RobotsCrawlTest : public test::SessionCrawlTest {
protected:
    void SetUp() override {
        SessionCrawlTest::SetUp();
        Prefs().ObeyRobots = 1;
    }
    void TearDown() override {
        SessionCrawlTest::TearDown();
        Prefs().ObeyRobots = 0;
    }

    // A site whose robots.txt is `robots`, with a public and a private folder
    // linked from the home page and from each other.
    static std::unique_ptr<LoopbackSite> Site(const LoopbackPage& robots) {
        auto site = std::make_unique<LoopbackSite>(LoopbackSite::PageList{
            {"/",
             {"<a href=\"/pub/a.html\">a</a> <a href=\"/private/s.html\">s</a> "
              "<a href=\"/private/t.html\">t</a>"}},
            {"/pub/a.html", {"<a href=\"/private/s.html\">s</a> <a href=\"/pub/b.html\">b</a>"}},
            {"/pub/b.html", {"<p>no links</p>"}},
            {"/private/s.html", {"<a href=\"/private/deeper.html\">deeper</a>"}},
            {"/private/t.html", {"<p>no links</p>"}},
        });
        site->SetPage("/robots.txt", robots);
        return site;
    }

    // Starts the crawl from several pages at once, so that several workers
    // need the origin's file together.
    void CrawlFrom(const LoopbackSite& site) {
        view.messages.clear();
        for (const char* path : {"/", "/pub/a.html", "/pub/b.html", "/private/t.html"}) {
            AddStart(site.Url(path));
        }
        ASSERT_TRUE(session->Start(Controls()));
        ASSERT_TRUE(RunToEnd());
    }

    std::string ReasonOfRow(const std::string& url) const {
        for (const ScanRow& row : session->ScanRows()) {
            if (row.url == url) {
                return row.result + " / " + row.reason;
            }
        }
        return "no row";
    }
};

TEST_F(RobotsCrawlTest, ADisallowedFolderIsListedButNeverFetched) {
    auto owned = Site({"User-agent: *\nDisallow: /private/\n", "text/plain"});
    const LoopbackSite& site = *owned;
    CrawlFrom(site);
    EXPECT_EQ(site.Requests("/robots.txt"), 1);
    EXPECT_EQ(site.Requests("/private/s.html"), 0);
    EXPECT_EQ(site.Requests("/private/t.html"), 0);
    EXPECT_EQ(site.Requests("/private/deeper.html"), 0);
    EXPECT_EQ(site.Requests("/pub/b.html"), 1);
    // One row per forbidden URL, however many pages link to it.
    EXPECT_EQ(ScanRowsSaying(kDisallowed), 2);
    EXPECT_EQ(ReasonOfRow(site.Url("/private/s.html")), std::string(kDisallowed) + " / robots.txt");
    EXPECT_EQ(Counters().RobotsDisallowedCount, 2);
    EXPECT_EQ(ScanRowsSaying("NO MATCH"), 3);
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_EQ(view.status[2], "Remaining: 0");
    // The next search reads the file again.
    StopWithYes();
    CrawlFrom(site);
    EXPECT_EQ(site.Requests("/robots.txt"), 2);
}

TEST_F(RobotsCrawlTest, WhatTheFileAnswersDecidesForTheWholeSite) {
    const struct {
        const char* name;
        LoopbackPage robots;
        int privateFetches;  // of /private/s.html
        const char* homeRow;
    } cases[] = {
        {"server error refuses all",
         {"busy", "text/plain", 503},
         0,
         "ROBOTS.TXT DISALLOWED / robots.txt: HTTP 503"},
        {"missing file allows all", {"gone", "text/html", 404}, 1, "NO MATCH / "},
        {"rules served as binary still count",
         {"User-agent: *\nDisallow: /private/\n", "application/octet-stream"},
         0,
         "NO MATCH / "},
        {"redirect loop ends, allows all", LoopbackPage::Redirect("/robots.txt"), 1, "NO MATCH / "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewSession();
        auto site = Site(c.robots);
        CrawlFrom(*site);
        EXPECT_GE(site->Requests("/robots.txt"), 1);
        EXPECT_LE(site->Requests("/robots.txt"), 6);  // the file and five redirects at most
        EXPECT_EQ(site->Requests("/private/s.html"), c.privateFetches);
        EXPECT_EQ(ReasonOfRow(site->Url("/")), c.homeRow);
        EXPECT_EQ(session->Remaining().Size(), 0u);
    }
}

TEST_F(RobotsCrawlTest, TurnedOffNoFileIsRequested) {
    Prefs().ObeyRobots = 0;
    auto site = Site({"User-agent: *\nDisallow: /\n", "text/plain"});
    CrawlFrom(*site);
    EXPECT_EQ(site->Requests("/robots.txt"), 0);
    EXPECT_EQ(site->Requests("/private/s.html"), 1);
    EXPECT_EQ(ScanRowsSaying(kDisallowed), 0);
}

}  // namespace
}  // namespace qx
