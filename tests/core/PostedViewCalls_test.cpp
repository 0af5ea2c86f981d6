#include "search/PostedViewCalls.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

// Only the first call after a Take asks for the next one, and only each
// pane's latest text is kept.
TEST(PostedViewCalls, AsksOnceAndKeepsTheLatestOfEachKind) {
    PostedViewCalls calls;
    EXPECT_TRUE(calls.PutStatus(1, "Scanned: 1"));
    EXPECT_FALSE(calls.PutStatus(1, "Scanned: 2"));
    EXPECT_FALSE(calls.PutStatus(2, "Remaining: 9"));
    EXPECT_FALSE(calls.PutCountText("3"));
    EXPECT_FALSE(calls.PutCountText("4"));
    EXPECT_FALSE(calls.PutAlert({"t", "u", "first"}));
    EXPECT_FALSE(calls.PutAlert({"t", "u", "second"}));
    EXPECT_FALSE(calls.PutStatus(PostedViewCalls::kPanes, "no such pane"));
    EXPECT_FALSE(calls.PutStatus(-1, "no such pane"));

    PostedViewCalls::Calls taken = calls.Take();
    EXPECT_EQ(taken.panes[1].value_or("none"), "Scanned: 2");
    EXPECT_EQ(taken.panes[2].value_or("none"), "Remaining: 9");
    EXPECT_FALSE(taken.panes[0].has_value());
    EXPECT_FALSE(taken.panes[3].has_value());
    EXPECT_EQ(taken.countText.value_or("none"), "4");
    ASSERT_EQ(taken.alerts.size(), 2u);  // alerts are not merged
    EXPECT_EQ(taken.alerts[0].description, "first");

    // Taken calls are gone; the next call asks again.
    taken = calls.Take();
    EXPECT_FALSE(taken.panes[1].has_value());
    EXPECT_FALSE(taken.countText.has_value());
    EXPECT_TRUE(calls.PutStatus(3, "Searches: 1"));

    // A text the page set itself is not overwritten by an older kept one.
    calls.DropStatus(3);
    EXPECT_FALSE(calls.Take().panes[3].has_value());
}

TEST(PostedViewCalls, AlertsAreBounded) {
    PostedViewCalls calls;
    for (std::size_t i = 0; i < PostedViewCalls::kMaxAlerts + 10; ++i) {
        calls.PutAlert({"t", "u", std::to_string(i)});
    }
    EXPECT_EQ(calls.Take().alerts.size(), PostedViewCalls::kMaxAlerts);
}

}  // namespace
}  // namespace qx
