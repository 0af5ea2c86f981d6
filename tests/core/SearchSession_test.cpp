#include "search/SearchSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/support/RecordingSessionView.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

constexpr const char* kEnterItem =
    "Before starting the search you must enter an item to search for.";
constexpr const char* kEnterUrls =
    "Before starting the search you must enter and select URLs under the \"Links\" button.";
constexpr const char* kTooMany =
    "Warning: QuillEx is continuing with \"Max Connections:\" greater than 115.";

class SearchSessionTest : public testing::Test {
protected:
    void SetUp() override {
        SearchCounters& c = Counters();
        c.ActiveWorkers = 0;
        c.ScannedCount = 0;
        c.RemainingCount = 0;
        c.MatchCount = 0;
        c.StopRequested = 0;
        c.SearchActive = 1;
    }

    // Controls that start a search which never fetches (connection cap 0).
    static SearchControls IdleControls() {
        SearchControls c;
        c.search = "word";
        c.maxConnectionsOn = true;
        c.maxConnections = "0";
        c.engineTimingOn = true;
        c.engineRevs = "10";
        c.engineDamp = "1";
        return c;
    }

    void StopWithYes() {
        view.answers.push_back(DialogAnswer::kYes);
        session.Stop();
    }

    test::RecordingSessionView view;
    SearchSession session{view};
};

TEST_F(SearchSessionTest, SearchTextIsCheckedBeforeTheRemainingList) {
    struct Case {
        const char* name;
        std::string search;
        const char* message;
        std::string stored;
    };
    const Case cases[] = {
        {"empty", "", kEnterItem, ""},
        {"only spaces", "   ", kEnterItem, "   "},
        {"leading spaces kept", "  word", kEnterUrls, "  word"},
        {"plain", "word", kEnterUrls, "word"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.messages.clear();
        SearchControls controls;
        controls.search = c.search;
        EXPECT_FALSE(session.Start(controls));
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, c.message);
        EXPECT_EQ(Settings().SearchText, c.stored);
        EXPECT_FALSE(session.running());
    }
}

// Each step runs after the previous one, so "keeps" cases see the value of
// the step before.
TEST_F(SearchSessionTest, SettingsFollowTheControlsTable) {
    struct Case {
        const char* name;
        void (*set)(SearchControls&);
        int (*read)();
        int expected;
    };
    const Case cases[] = {
        {"connections unchecked give 25",
         [](SearchControls& c) {
             c.maxConnectionsOn = false;
             c.maxConnections = "200";
         },
         [] { return Settings().MaxConnections; }, 25},
        {"connections checked 200",
         [](SearchControls& c) {
             c.maxConnectionsOn = true;
             c.maxConnections = "200";
         },
         [] { return Settings().MaxConnections; }, 200},
        {"connections checked and empty keep 200",
         [](SearchControls& c) {
             c.maxConnectionsOn = true;
             c.maxConnections = "";
         },
         [] { return Settings().MaxConnections; }, 200},
        {"connections not a number give 0",
         [](SearchControls& c) {
             c.maxConnectionsOn = true;
             c.maxConnections = "lots";
         },
         [] { return Settings().MaxConnections; }, 0},
        {"revs 5 rise to 10",
         [](SearchControls& c) {
             c.engineTimingOn = true;
             c.engineRevs = "5";
         },
         [] { return Settings().EngineRevs; }, 10},
        {"damp 0 rises to 1",
         [](SearchControls& c) {
             c.engineTimingOn = true;
             c.engineDamp = "0";
         },
         [] { return Settings().EngineDamp; }, 1},
        {"revs 300",
         [](SearchControls& c) {
             c.engineTimingOn = true;
             c.engineRevs = "300";
         },
         [] { return Settings().EngineRevs; }, 300},
        {"timing unchecked keeps 300",
         [](SearchControls& c) {
             c.engineTimingOn = false;
             c.engineRevs = "20";
         },
         [] { return Settings().EngineRevs; }, 300},
        {"max depth checked empty is unlimited",
         [](SearchControls& c) {
             c.maxDepthOn = true;
             c.maxDepth = "";
         },
         [] { return Settings().MaxDepth; }, -1},
        {"max depth checked 3",
         [](SearchControls& c) {
             c.maxDepthOn = true;
             c.maxDepth = "3";
         },
         [] { return Settings().MaxDepth; }, 3},
        {"max depth unchecked is unlimited",
         [](SearchControls& c) {
             c.maxDepthOn = false;
             c.maxDepth = "3";
         },
         [] { return Settings().MaxDepth; }, -1},
        {"default width 4",
         [](SearchControls& c) {
             c.defaultWidthOn = true;
             c.defaultWidth = "4";
         },
         [] { return Settings().DefaultWidth; }, 4},
        {"describe forward 6",
         [](SearchControls& c) {
             c.describeOn = true;
             c.describeForward = "6";
         },
         [] { return Settings().DescribeForward; }, 6},
        {"describe forward empty keeps 6",
         [](SearchControls& c) {
             c.describeOn = true;
             c.describeForward = "";
         },
         [] { return Settings().DescribeForward; }, 6},
        {"repeat checked without seconds stays off",
         [](SearchControls& c) {
             c.repeatOn = true;
             c.repeatSeconds = "";
         },
         [] { return Settings().RepeatSeconds; }, -1},
        {"repeat 5",
         [](SearchControls& c) {
             c.repeatOn = true;
             c.repeatSeconds = "5";
         },
         [] { return Settings().RepeatSeconds; }, 5},
        {"max remaining checked without value is off",
         [](SearchControls& c) {
             c.maxRemainingOn = true;
             c.maxRemaining = "";
         },
         [] { return Settings().MaxRemainingOn; }, 0},
        {"max remaining 10 is on",
         [](SearchControls& c) {
             c.maxRemainingOn = true;
             c.maxRemaining = "10";
         },
         [] { return Settings().MaxRemainingOn * 1000 + Settings().MaxRemaining; }, 1010},
        {"target with leading spaces", [](SearchControls& c) { c.target = "  120"; },
         [] { return Settings().TargetValue; }, 120},
        {"include and exclude without item include give mode 3",
         [](SearchControls& c) {
             c.target = "";
             c.include = "a";
             c.exclude = "b";
         },
         [] { return Settings().MatchMode; }, 3},
        {"blank include does not count",
         [](SearchControls& c) {
             c.itemInclude = true;
             c.include = "   ";
             c.exclude = "";
         },
         [] { return Settings().MatchMode; }, 0},
    };
    SearchControls controls;
    controls.search = "word";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(controls);
        session.Start(controls);
        EXPECT_EQ(c.read(), c.expected);
    }
    EXPECT_EQ(Settings().IncludeText, "");
}

TEST_F(SearchSessionTest, MoreThan115ConnectionsWarnWithTheExclamationIcon) {
    SearchControls controls;
    controls.search = "word";
    controls.maxConnectionsOn = true;
    controls.maxConnections = "116";
    session.Start(controls);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text, kTooMany);
    EXPECT_EQ(view.messages[0].kind, MessageKind::kExclamation);
    EXPECT_EQ(view.messages[1].text, kEnterUrls);
    view.messages.clear();
    controls.maxConnections = "115";
    session.Start(controls);
    EXPECT_FALSE(view.Showed(kTooMany));
}

TEST_F(SearchSessionTest, StartFixesUpTheRemainingRows) {
    session.AppendRemaining({"example.com", "", "infinity", "-1"});
    session.AppendRemaining({"ftp://http.example/", "5", "-1", "infinity"});
    session.AppendRemaining({"http://x/", "2", "7", "3"});
    SearchControls controls = IdleControls();
    controls.maxDepthOn = true;
    controls.maxDepth = "4";
    ASSERT_TRUE(session.Start(controls));
    EXPECT_TRUE(session.running());
    EXPECT_TRUE(view.runningIcon);
    EXPECT_EQ(view.activated, (std::vector<int>{2, 1}));
    const RemainingRows& rows = session.Remaining();
    ASSERT_EQ(rows.Size(), 3u);
    struct Expected {
        const char* url;
        const char* maxDepth;
        const char* width;
    };
    const Expected expected[] = {
        {"http://example.com", "4", "-1"},
        {"ftp://http.example/", "4", "infinity"},
        {"http://x/", "7", "3"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].url);
        EXPECT_EQ(rows.At(i).url, expected[i].url);
        EXPECT_EQ(rows.At(i).depth, "0");
        EXPECT_EQ(rows.At(i).maxDepth, expected[i].maxDepth);
        EXPECT_EQ(rows.At(i).width, expected[i].width);
    }
    EXPECT_EQ(Counters().RemainingCount, 3);
    EXPECT_EQ(view.status[2], "Remaining: 3");

    // A second Start while running is refused and changes nothing.
    view.messages.clear();
    EXPECT_FALSE(session.Start(controls));
    EXPECT_TRUE(view.Showed("Warning: search under progress.\n\nPress \"Stop\" to quit search."));
    EXPECT_EQ(Counters().RemainingCount, 3);
    StopWithYes();
    EXPECT_FALSE(session.running());
    EXPECT_FALSE(view.runningIcon);
}

TEST_F(SearchSessionTest, RepeatFixesUpRowZeroOnlyAndOnlyForInfinity) {
    session.AppendRemaining({"a.example", "", "-1", "infinity"});
    session.AppendRemaining({"b.example", "", "infinity", "infinity"});
    SearchControls controls = IdleControls();
    controls.repeatOn = true;
    controls.repeatSeconds = "";
    controls.defaultWidthOn = true;
    controls.defaultWidth = "2";
    controls.maxDepthOn = true;
    controls.maxDepth = "1";
    ASSERT_TRUE(session.Start(controls));
    EXPECT_EQ(session.Remaining().At(0).url, "http://a.example");
    EXPECT_EQ(session.Remaining().At(0).maxDepth, "-1");
    EXPECT_EQ(session.Remaining().At(0).width, "2");
    EXPECT_EQ(session.Remaining().At(1).url, "b.example");
    EXPECT_EQ(Counters().RemainingCount, 1);
    StopWithYes();
}

TEST_F(SearchSessionTest, StopAsksOnlyWhileRunningAndRemembersTheAnswer) {
    // Idle and never confirmed: nothing happens.
    session.Stop();
    EXPECT_TRUE(view.questions.empty());
    EXPECT_EQ(Counters().StopRequested, 0);

    session.AppendRemaining({"http://127.0.0.1:9/", "", "infinity", "infinity"});
    ASSERT_TRUE(session.Start(IdleControls()));
    view.answers = {DialogAnswer::kNo};
    session.Stop();
    EXPECT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], "Are you sure you want to quit the search?");
    EXPECT_TRUE(session.running());
    view.answers = {DialogAnswer::kCancel};
    session.Stop();
    EXPECT_TRUE(session.running());
    StopWithYes();
    EXPECT_FALSE(session.running());
    EXPECT_TRUE(session.stopPending());
    EXPECT_EQ(Counters().StopRequested, 1);
    EXPECT_EQ(Counters().SearchActive, 0);
    // A pending stop needs no second question.
    session.Stop();
    EXPECT_EQ(view.questions.size(), 3u);
}

TEST_F(SearchSessionTest, CommandsAreRefusedWhileRunning) {
    session.AppendRemaining({"http://127.0.0.1:9/", "", "infinity", "infinity"});
    ASSERT_TRUE(session.Start(IdleControls()));
    view.messages.clear();
    session.Clear();
    EXPECT_FALSE(session.Delete(0));
    EXPECT_FALSE(session.ToLinks(0).has_value());
    ASSERT_EQ(view.messages.size(), 3u);
    EXPECT_EQ(view.messages[0].text,
              "Cannot clear items while searching.\nPress the \"Stop\" button to stop search and "
              "then \"Clear\" to clear items.");
    EXPECT_EQ(view.messages[1].text,
              "Cannot delete items while searching.\nPress the \"Stop\" button to stop search "
              "and then \"Delete\" to remove items.");
    EXPECT_EQ(view.messages[2].text,
              "Cannot move items to \"Links\" while searching.\nPress the \"Stop\" button to stop "
              "search and then try again.");
    EXPECT_EQ(session.Remaining().Size(), 1u);
    StopWithYes();
}

TEST_F(SearchSessionTest, DeleteToLinksAndClearWhenIdle) {
    session.AppendRemaining({"http://a/", "0", "infinity", "infinity"});
    session.AppendRemaining({"b.example/http://x", "0", "infinity", "infinity"});
    session.AppendRemaining({"c.example", "0", "infinity", "infinity"});
    EXPECT_FALSE(session.Delete(-1));
    EXPECT_FALSE(session.ToLinks(3).has_value());
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text, "No item selected");
    EXPECT_EQ(session.ToLinks(0), "a/");
    EXPECT_EQ(session.ToLinks(1), "le/http://x");  // the first 7 characters go
    EXPECT_EQ(session.ToLinks(2), "c.example");
    EXPECT_TRUE(session.Delete(1));
    EXPECT_EQ(session.Remaining().At(1).url, "c.example");
    Counters().ScannedCount = 9;
    session.Clear();
    EXPECT_TRUE(session.Remaining().Empty());
    EXPECT_EQ(view.status[1], "Scanned: 0");
    EXPECT_EQ(view.status[2], "Remaining: 0");
}

TEST(CleanDescription, DropsEntityNamesAndLineBreaksWhenAnAmpersandIsPresent) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"a&amp;b", "a;b"},
        {"R&D", "RD"},
        {"x&nbsp;y&quot;z", "x;y;z"},
        {"&lt;p&gt;", ";p;"},
        {"&reg&copy", ""},
        {"line\r\none&", "lineone"},
        {"line\r\ntwo", "line\r\ntwo"},  // no '&': line breaks stay
        {"&ampamp", "amp"},
        {"&", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(SearchSession::CleanDescription(c.in), c.out);
    }
}

std::intptr_t Send(SearchSession& session, unsigned msg, std::uintptr_t w, const void* l) {
    return session.HandleMessage(msg, w, reinterpret_cast<std::intptr_t>(l));
}

// Results take their rows off the Remaining list alike whether the view
// follows removals (the desktop's lists) or not (the headless crawler).
void ExpectResultRowsRemoveTheirRemainingRowByUrl(SearchSession& session,
                                                  test::RecordingSessionView& view) {
    session.AppendRemaining({"http://h/a", "1", "infinity", "infinity"});
    session.AppendRemaining({"http://h/b", "1", "infinity", "infinity"});
    session.AppendRemaining({"http://h/c", "1", "infinity", "infinity"});
    session.AppendRemaining({"http://h/", "0", "infinity", "infinity"});
    Counters().RemainingCount = 4;
    struct Case {
        int kind;
        const char* url;
        const char* expectedResult;  // null: no scan row
        std::size_t remainingAfter;
        int countAfter;
    };
    const Case cases[] = {
        {kResultNoMatch, "http://h/a/", "NO MATCH", 3, 3},
        // The count follows only rows that really left the list.
        {kResultConnectionFailed, "http://h/zzz", "CONNECTION FAILED", 3, 3},
        {kResultDescribed, "http://h/b", "a;b", 2, 2},
        {kResultMatch, "http://h/b", nullptr, 2, 2},
        {kResultDescribed, "", "a;b", 2, 2},  // an empty URL removes nothing
        // A start row typed with its trailing '/' still leaves the list.
        {kResultNoMatch, "http://h/", "NO MATCH", 1, 1},
    };
    std::size_t scanRows = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " " << c.url);
        ResultRecord record;
        record.url = c.url;
        record.title = "T";
        record.description = "a&amp;b";
        Send(session, WM_SEARCH_RESULT, static_cast<std::uintptr_t>(c.kind), &record);
        if (c.expectedResult != nullptr) {
            ++scanRows;
            ASSERT_EQ(session.ScanRows().size(), scanRows);
            EXPECT_EQ(session.ScanRows().back().result, c.expectedResult);
            EXPECT_EQ(session.ScanRows().back().title, "T");
        }
        EXPECT_EQ(session.ScanRows().size(), scanRows);
        EXPECT_EQ(session.Remaining().Size(), c.remainingAfter);
        EXPECT_EQ(Counters().RemainingCount, c.countAfter);
    }
    ASSERT_EQ(session.MatchRows().size(), 1u);
    EXPECT_EQ(session.MatchRows()[0].description, "a;b");
    EXPECT_EQ(view.resultCount, "1");
    EXPECT_EQ(session.Remaining().At(0).url, "http://h/c");
    EXPECT_EQ(view.removed[SessionList::kRemaining], view.followsRemovals ? 3 : 0);
}

TEST_F(SearchSessionTest, ResultRowsRemoveTheirRemainingRowByUrl) {
    ExpectResultRowsRemoveTheirRemainingRowByUrl(session, view);
}

TEST_F(SearchSessionTest, ResultRowsLeaveAlikeWhenTheViewFollowsNoRemovals) {
    view.followsRemovals = false;
    ExpectResultRowsRemoveTheirRemainingRowByUrl(session, view);
}

TEST_F(SearchSessionTest, NoRemoveKeepsTheRemainingRows) {
    session.AppendRemaining({"http://127.0.0.1:9/x", "", "infinity", "infinity"});
    SearchControls controls = IdleControls();
    controls.noRemove = true;
    ASSERT_TRUE(session.Start(controls));
    ResultRecord record;
    record.url = "http://127.0.0.1:9/x";
    Send(session, WM_SEARCH_RESULT, kResultNoMatch, &record);
    SearchItem quiet;
    quiet.url = record.url;
    Send(session, WM_WORKER_DONE, 0, &quiet);
    EXPECT_EQ(session.Remaining().Size(), 1u);
    EXPECT_EQ(Counters().RemainingCount, 1);
    StopWithYes();
}

TEST_F(SearchSessionTest, AddRemainingAndCountdownAndWorkerDone) {
    SearchItem child;
    child.url = "http://h/dir/";
    child.depth = 2;
    child.maxDepth = -1;
    child.width = 3;
    Send(session, WM_ADD_REMAINING, 0, &child);
    ASSERT_EQ(session.Remaining().Size(), 1u);
    const RemainingRow& row = session.Remaining().At(0);
    EXPECT_EQ(row.url, "http://h/dir");
    EXPECT_EQ(row.depth, "2");
    EXPECT_EQ(row.maxDepth, "infinity");
    EXPECT_EQ(row.width, "3");
    EXPECT_EQ(view.status[2], "Remaining: 1");

    EXPECT_EQ(Send(session, WM_REPEAT_COUNTDOWN, 4, nullptr), 1);
    EXPECT_EQ(view.status[2], "Remaining: 4");

    // Repeat mode never counts its workers: the count stays at 0.
    Counters().ActiveWorkers = 0;
    Send(session, WM_WORKER_DONE, 0, &child);
    EXPECT_EQ(Counters().ActiveWorkers, 0);
    EXPECT_EQ(view.status[3], "Searches: 0");
    EXPECT_EQ(view.status[1], "Scanned: 1");
    Counters().ActiveWorkers = 3;
    Send(session, WM_WORKER_DONE, 0, &child);
    EXPECT_EQ(view.status[3], "Searches: 2");
    EXPECT_EQ(view.status[1], "Scanned: 2");
}

TEST_F(SearchSessionTest, WorkerDoneTakesOffTheRowOfAPageThatSentNoResult) {
    for (const char* url : {"http://h/x", "http://h/x", "http://h/y", "http://h/y"}) {
        session.AppendRemaining({url, "1", "infinity", "infinity"});
    }
    Counters().RemainingCount = 4;
    SearchItem quiet;  // fetched, no row
    quiet.url = "http://h/x/";
    Send(session, WM_WORKER_DONE, 0, &quiet);
    EXPECT_EQ(session.Remaining().Size(), 3u);
    EXPECT_EQ(view.status[2], "Remaining: 3");
    // A page whose result took its row: the other row of its URL stays for
    // the entry that the engine will skip as a duplicate.
    SearchItem reported;
    reported.url = "http://h/y";
    reported.resultSent = 1;
    ResultRecord record;
    record.url = "http://h/y";
    Send(session, WM_SEARCH_RESULT, kResultNoMatch, &record);
    Send(session, WM_WORKER_DONE, 0, &reported);
    EXPECT_EQ(session.Remaining().Size(), 2u);
    EXPECT_EQ(Counters().RemainingCount, 2);
    EXPECT_EQ(session.Remaining().At(0).url, "http://h/x");
    EXPECT_EQ(session.Remaining().At(1).url, "http://h/y");
}

TEST_F(SearchSessionTest, RepeatedFetchesAlertOnlyForNewDescriptions) {
    session.AppendRemaining({"http://127.0.0.1:9/watched", "", "infinity", "infinity"});
    SearchControls controls = IdleControls();
    controls.repeatOn = true;
    controls.repeatSeconds = "600";
    ASSERT_TRUE(session.Start(controls));
    auto fetch = [this](std::vector<std::string> descriptions, bool failed = false) {
        ResultRecord record;
        record.url = "http://127.0.0.1:9/watched";
        record.title = "T";
        if (failed) {
            Send(session, WM_SEARCH_RESULT, kResultConnectionFailed, &record);
        }
        for (const std::string& description : descriptions) {
            record.description = description;
            Send(session, WM_SEARCH_RESULT, kResultMatch, &record);
        }
        Send(session, WM_WORKER_DONE, 0, nullptr);
    };
    fetch({}, true);  // no page: nothing is known yet
    fetch({"old price $45", "old news"});
    EXPECT_TRUE(view.alerts.empty()) << "the first fetch only learns the page";
    fetch({"old price $45", "new price $39", "old news", "new price $39"});
    EXPECT_EQ(view.alerts, std::vector<std::string>{"new price $39"});
    fetch({"new price $39", "old news"});
    EXPECT_EQ(view.alerts.size(), 1u) << "a description seen before never alerts again";
    StopWithYes();
}

}  // namespace
}  // namespace qx
