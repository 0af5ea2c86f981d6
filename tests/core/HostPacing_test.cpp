#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "search/HostPacing.h"
#include "search/RetryAfter.h"

using namespace qx;
using namespace std::chrono_literals;

namespace {

// 2026-12-09 12:00:00 UTC.
const auto kNow = std::chrono::system_clock::time_point(std::chrono::seconds(1796817600));

}  // namespace

TEST(RetryAfterTest, DelaysAreReadAndBounded) {
    const struct {
        const char* value;
        std::chrono::milliseconds expected;
    } cases[] = {
        {"", 1s},                                    // no header
        {"7", 7s},                                   // delta seconds
        {"  12 ", 12s},                              // blanks around
        {"0", 0s},                                   //
        {"-5", 0s},                                  // a negative number: at once
        {"1000000000000", 60s},                      // 10^12: at most a minute
        {"99999999999999999999999999999", 60s},      // beyond any integer
        {"soon", 1s},                                // garbage: the default
        {"5 seconds", 1s},                           //
        {"Wed, 09 Dec 2026 12:00:30 GMT", 30s},      // IMF date
        {"Wednesday, 09-Dec-26 12:00:45 GMT", 45s},  // RFC 850 date
        {"Wed Dec  9 12:00:20 2026", 20s},           // asctime date
        {"Wed, 09 Dec 2026 13:00:00 GMT", 60s},      // an hour ahead: a minute
        {"Tue, 08 Dec 2026 12:00:00 GMT", 0s},       // in the past: at once
        {"Fri, 31 Dec 9999 23:59:59 GMT", 60s},      // far ahead, no overflow
        {"Wed, 09 Foo 2026 12:00:30 GMT", 1s},       // no month
        {"Wed, 09 Dec 2026 25:00:30 GMT", 1s},       // no such hour
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RetryAfterDelay(c.value, kNow), c.expected) << '"' << c.value << '"';
    }
}

TEST(HostPacingTest, HostKeysFoldCaseUserAndDefaultPort) {
    const struct {
        const char* url;
        const char* key;
    } cases[] = {
        {"http://Example.COM/Path", "example.com"},
        {"https://example.com:443/x", "example.com"},
        {"http://example.com:8080/x", "example.com:8080"},
        {"http://user:pw@example.com/", "example.com"},
        {"no-scheme/path", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostKeyOf(c.url), c.key) << c.url;
    }
}

TEST(HostPacingTest, AWorkerOfAnEarlierSearchFreesNoSlot) {
    HostPacing pacing;
    pacing.Begin({1, false}, 25);
    const auto now = HostPacing::Clock::now();
    const HostPacing::Turn old = pacing.Take("a", now, 750ms);
    pacing.Begin({1, false}, 25);
    ASSERT_TRUE(pacing.Take("a", now, 750ms).held);
    pacing.Finished("a", old, 200);
    EXPECT_FALSE(pacing.Take("a", now, 750ms).held) << "an old search's turn freed a slot";
}

TEST(HostPacingTest, RefusalsHalveTheLimitAndDoubleTheGapUntilGoodAnswersRecover) {
    HostPacing pacing;
    pacing.Begin({4, true}, 25);
    const auto refuse = [&pacing](int status) {
        const HostPacing::Turn t = pacing.Take("h", HostPacing::Clock::now(), 3600s);
        ASSERT_TRUE(t.held);
        pacing.Finished("h", t, status);
    };
    const struct {
        int status;
        int limit;
        std::chrono::milliseconds gap;
    } steps[] = {
        {429, 2, 100ms},  {503, 1, 200ms},  {429, 1, 400ms}, {429, 1, 800ms}, {429, 1, 1600ms},
        {429, 1, 3200ms}, {429, 1, 6400ms}, {429, 1, 10s},   {503, 1, 10s},
    };
    for (const auto& s : steps) {
        refuse(s.status);
        EXPECT_EQ(pacing.Limit("h"), s.limit) << "after a " << s.status << " to gap " << s.gap;
        EXPECT_EQ(pacing.Gap("h"), HostPacing::Clock::duration(s.gap)) << s.status;
    }
    // 19 good answers and a failure: no run of 20, nothing recovers.
    for (int i = 0; i < 19; ++i) {
        refuse(200);
    }
    refuse(500);
    EXPECT_EQ(pacing.Limit("h"), 1);
    EXPECT_EQ(pacing.Gap("h"), HostPacing::Clock::duration(10s));
    // Each run of 20 good answers is one step back.
    const struct {
        int limit;
        std::chrono::nanoseconds gap;
    } recovery[] = {{2, 7500ms}, {3, 5625ms}, {4, 4218750us}, {4, 3164062500ns}};
    for (const auto& r : recovery) {
        for (int i = 0; i < HostPacing::kGoodAnswersToRecover; ++i) {
            refuse(i % 2 == 0 ? 200 : 404);
        }
        EXPECT_EQ(pacing.Limit("h"), r.limit) << "recovering to gap " << r.gap;
        EXPECT_EQ(pacing.Gap("h"), HostPacing::Clock::duration(r.gap));
    }
}

TEST(HostPacingTest, RequestsToAHostStartAGapApart) {
    HostPacing pacing;
    pacing.Begin({4, false}, 25);
    pacing.SetCrawlDelay("h", 300ms);
    const auto now = HostPacing::Clock::now();
    const HostPacing::Turn first = pacing.Take("h", now, 750ms);
    const HostPacing::Turn second = pacing.Take("h", now, 750ms);
    const HostPacing::Turn third = pacing.Take("h", now, 750ms);
    ASSERT_TRUE(first.held && second.held && third.held);
    EXPECT_EQ(second.startAt - first.startAt, HostPacing::Clock::duration(300ms));
    EXPECT_EQ(third.startAt - second.startAt, HostPacing::Clock::duration(300ms));
    // The next start lies beyond the round: left to a later one.
    EXPECT_FALSE(pacing.Take("h", now, 750ms).held);
    // A Crawl-delay is bounded, and without the per-host limit it is not used.
    pacing.SetCrawlDelay("h", 3600s);
    EXPECT_EQ(pacing.Gap("h"), HostPacing::Clock::duration(HostPacing::kMaxCrawlDelay));
    pacing.Begin({0, true}, 25);
    pacing.SetCrawlDelay("h", 300ms);
    EXPECT_EQ(pacing.Gap("h"), HostPacing::Clock::duration::zero());
}

TEST(HostPacingTest, ACrawlDelayReadAfterTheFirstTurnSpacesTheNextFromIt) {
    HostPacing pacing;
    pacing.Begin({4, false}, 25);
    const auto now = HostPacing::Clock::now();
    const HostPacing::Turn first = pacing.Take("h", now, 750ms);
    pacing.SetCrawlDelay("h", 500ms);  // robots.txt read by the first worker
    pacing.SetCrawlDelay("h", 500ms);  // and seen again by the next ones
    const HostPacing::Turn second = pacing.Take("h", now + 10ms, 750ms);
    ASSERT_TRUE(first.held && second.held);
    EXPECT_EQ(second.startAt - first.startAt, HostPacing::Clock::duration(500ms));
}

TEST(HostPacingTest, TheHintComesOnceWhenRefusalsPassOneInTwenty) {
    const struct {
        const char* name;
        bool slowDown;
        int good;
        int refused;
        bool hint;
    } cases[] = {
        {"19 of 19 refused: too few", false, 0, 19, false},
        {"20 of 400 refused: exactly 5%", false, 380, 20, false},
        {"21 of 401 refused", false, 380, 21, true},
        {"slowing down already", true, 0, 40, false},
    };
    for (const auto& c : cases) {
        HostPacing pacing;
        pacing.Begin({0, c.slowDown}, 25);
        int hints = 0;
        for (int i = 0; i < c.good; ++i) {
            hints += pacing.CountAnswer(200) ? 1 : 0;
        }
        for (int i = 0; i < c.refused; ++i) {
            hints += pacing.CountAnswer(i % 2 == 0 ? 429 : 503) ? 1 : 0;
        }
        EXPECT_EQ(hints, c.hint ? 1 : 0) << c.name;
        for (int i = 0; i < 30 && c.hint; ++i) {
            EXPECT_FALSE(pacing.CountAnswer(429)) << c.name << ": the hint came again";
        }
    }
}
