#include "search/MatchEvaluation.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "search/MatchedRoots.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

struct Row {
    int kind;
    std::string description;
    int matched;
    std::string url;
    std::string title;
};

class RecordingSink : public ResultSink {
public:
    void SendResult(int kind, const ResultRecord& record) override {
        rows.push_back({kind, record.description, record.matched, record.url, record.title});
    }
    std::vector<Row> rows;
};

// One page evaluated with its own settings, item, roots and sink.
struct PageRun {
    SearchSettings settings;
    SearchItem item;
    ResultRecord record;
    MatchedRoots roots;
    RecordingSink sink;
    int result = -1;

    PageRun() {
        item.url = "http://shop.example/list";
        item.rootId = 4;
        record.url = item.url;
        record.title = "Shop";
    }

    void Evaluate(std::vector<std::string> fragments) {
        result = EvaluatePage(item, record, fragments, settings, roots, sink);
    }

    std::vector<std::string> Described() const {
        std::vector<std::string> described;
        for (const Row& row : sink.rows) {
            if (row.kind == kResultDescribed)
                described.push_back(row.description);
        }
        return described;
    }

    std::vector<int> Kinds() const {
        std::vector<int> kinds;
        for (const Row& row : sink.rows)
            kinds.push_back(row.kind);
        return kinds;
    }
};

TEST(WordLists, IncludeAndExcludeWords) {
    struct Case {
        const char* name;
        const char* text;
        const char* words;
        bool expected;
    };
    const Case cases[] = {
        {"plain word", "red apple", "apple", true},
        {"words are lower-cased", "red apple", "APPLE", true},
        {"text keeps its case", "RED APPLE", "apple", false},
        {"semicolon separates", "a pear", "apple;pear", true},
        {"comma separates", "a pear", "apple,pear", true},
        {"no word present", "a plum", "apple;pear", false},
        {"word after comma keeps its space", "a pear", "apple, pear", true},
        {"spaced word needs the space", "pear", "apple, pear", false},
        {"empty word between separators", "anything", "x;;y", true},
        {"trailing separator gives empty word", "anything", "x;", true},
        {"empty list is one empty word", "anything", "", true},
        {"word of spaces", "ab", " ", false},
        {"utf-8 passes through", "cr\xC3\xA8me", "CR\xC3\xA8ME", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HasIncludeWord(c.text, c.words), c.expected);
        EXPECT_EQ(HasExcludeWord(c.text, c.words), c.expected);
    }
}

TEST(PriceBelowTarget, TokensAndGroupedDigits) {
    struct Case {
        const char* name;
        const char* text;
        int target;
        bool expected;
    };
    const Case cases[] = {
        {"third of four words", "buy it $45 now", 100, true},
        {"last token counts", "only $45", 100, true},
        {"first token counts", "$45 each", 100, true},
        {"single token", "45", 100, true},
        {"equal to target fails", "only $100 now", 100, false},
        {"above target fails", "only $150 now", 100, false},
        {"zero fails", "only $0 now", 100, false},
        {"negative fails", "-5 degrees", 100, false},
        {"grouped thousands are one number", "now $1,299 only", 100, false},
        {"grouped thousands below a larger target", "now $1,299 only", 1300, true},
        {"two groups", "$1,299,000 home", 1300000, true},
        {"two groups not below", "$1,299,000 home", 1299000, false},
        {"cents are dropped", "$45.99 deal", 46, true},
        {"cents do not round up", "$45.99 deal", 45, false},
        {"trailing comma in prose", "costs $45, then", 50, true},
        {"list of sizes is not a grouping", "sizes 4,5,6", 5, true},
        {"short group stops the number", "code 12,34", 13, true},
        {"dollars inside token", "a $$7$ b", 8, true},
        {"lone dollar", "a $ b", 100, false},
        {"words only", "no price here", 100, false},
        {"empty text", "", 100, false},
        {"double spaces", "x  $5  y", 10, true},
        {"tab is not a separator", "a\t$5 b", 10, false},
        {"leading tab skipped like atoi", "\t$5 b", 10, true},
        {"huge number saturates", "99999999999999999999999 x", INT_MAX, false},
        {"target zero passes nothing", "$5", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HasPriceBelowTarget(c.text, c.target), c.expected);
    }
}

TEST(ModeTest, EachModeCombinesItsTests) {
    SearchSettings settings;
    settings.IncludeText = "red";
    settings.ExcludeText = "used";
    settings.TargetValue = 100;
    struct Case {
        const char* description;
        bool expected[8];
    };
    const Case cases[] = {
        // include, no exclude, price
        {"red car $50 today", {true, true, true, true, true, true, true, true}},
        // include, exclude, price
        {"used red car $50 today", {true, false, true, false, true, true, false, false}},
        // nothing
        {"blue car $500 today", {true, false, false, true, false, false, false, false}},
        // include, no price
        {"red car $500 today", {true, true, true, true, false, false, false, false}},
    };
    for (const Case& c : cases) {
        for (int mode = 0; mode < 8; ++mode) {
            SCOPED_TRACE(testing::Message() << '"' << c.description << "\" mode " << mode);
            EXPECT_EQ(PassesModeTest(mode, c.description, settings), c.expected[mode]);
        }
    }
    EXPECT_FALSE(PassesModeTest(8, "red car $50 today", settings));
    EXPECT_FALSE(PassesModeTest(-1, "red car $50 today", settings));
}

TEST(EvaluatePage, MixedCaseSearchTextFindsCapitals) {
    PageRun run;
    run.settings.SearchText = "WiDGet";
    run.Evaluate({"Buy the WIDGET now"});
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.Kinds(), (std::vector<int>{kResultMatch, kResultDescribed}));
    for (const Row& row : run.sink.rows) {
        EXPECT_EQ(row.description, "buy the widget now");
        EXPECT_EQ(row.matched, 1);
        EXPECT_EQ(row.url, "http://shop.example/list");
        EXPECT_EQ(row.title, "Shop");
    }
    EXPECT_EQ(run.item.matched, 1);
}

TEST(EvaluatePage, DescriptionCutByForwardAndBackwardWords) {
    struct Case {
        const char* name;
        int forward, backward;
        const char* expected;
    };
    const Case cases[] = {
        {"defaults take the whole fragment", -1, -1, "b1 b2 widget c1 c2 c3 c4"},
        {"no words either side", 0, 0, "b2 widget "},
        {"one word forward", 1, 0, "b2 widget c1 "},
        {"no forward, default backward", 0, -1, "b1 b2 widget "},
        {"backward context from the previous fragment", 2, 2, "b1 b2 widget c1 c2 "},
        {"three words back", -1, 3, "a3  b1 b2 widget c1 c2 c3 c4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = "widget";
        run.settings.DescribeForward = c.forward;
        run.settings.DescribeBackward = c.backward;
        run.Evaluate({"a1 a2 a3", "b1 b2 widget c1 c2 c3 c4"});
        ASSERT_EQ(run.sink.rows.size(), 2u);
        EXPECT_EQ(run.sink.rows[1].description, c.expected);
    }
}

TEST(EvaluatePage, ContextFromNeighbouringFragments) {
    struct Case {
        const char* name;
        std::vector<std::string> fragments;
        const char* expected;
    };
    const Case cases[] = {
        {"previous fragment before the key", {"price list", "widget $45"}, "price list widget $45"},
        {"following fragments after the key",
         {"widget", "is", "on sale today"},
         "widget  is on sale today"},
        {"single long word before the key is dropped", {"cheap widget"}, "widget"},
        {"single letter before the key is kept", {"x widget"}, "x widget"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = "widget";
        run.Evaluate(c.fragments);
        ASSERT_EQ(run.sink.rows.size(), 2u);
        EXPECT_EQ(run.sink.rows[1].description, c.expected);
    }
}

TEST(EvaluatePage, SecondOccurrenceGivesTwoRows) {
    PageRun run;
    run.settings.SearchText = "widget";
    run.Evaluate({"cheap widget here and another widget there"});
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.Kinds(), (std::vector<int>{1, 3, 1, 3}));
    EXPECT_EQ(run.sink.rows[1].description, "widget  here and another widget there");
    EXPECT_EQ(run.sink.rows[3].description, "and another widget there");
}

TEST(EvaluatePage, SecondOccurrenceEachTestedByMode) {
    PageRun run;
    run.settings.SearchText = "widget";
    run.settings.TargetValue = 100;
    run.settings.DescribeForward = 2;
    run.item.matchMode = 4;
    run.Evaluate({"widget $500 more text here then widget at $50"});
    ASSERT_EQ(run.Kinds(), (std::vector<int>{3, 3, 1}));
    EXPECT_EQ(run.sink.rows[0].description, "widget  $500 ");
    // The price is the last token: it counts.
    EXPECT_EQ(run.sink.rows[1].description, "here then widget at $50");
    EXPECT_EQ(run.sink.rows[2].description, "here then widget at $50");
    EXPECT_EQ(run.sink.rows[2].matched, 0);
}

TEST(EvaluatePage, LongWordsAfterSplitStillCutAtTheirSpaces) {
    const std::string w(50, 'w');
    std::string fragment = "widget";
    std::string firstExpected = "widget ";
    for (int i = 1; i <= 12; ++i) {
        const std::string word = w + std::to_string(i);
        fragment += " " + word;
        if (i <= 9)
            firstExpected += " " + word;
    }
    firstExpected += " ";
    fragment += " widget end";
    PageRun run;
    run.settings.SearchText = "widget";
    run.Evaluate({fragment});
    ASSERT_EQ(run.sink.rows.size(), 4u);
    EXPECT_EQ(run.sink.rows[1].description, firstExpected);
    EXPECT_EQ(run.sink.rows[3].description, w + "11 " + w + "12 widget end");
}

TEST(EvaluatePage, ReportOrderByMode) {
    struct Case {
        const char* name;
        int mode;
        const char* exclude;
        std::vector<int> kinds;
        int recordMatched;
    };
    const Case cases[] = {
        {"mode 0 sends the match first", 0, "", {1, 3}, 1},
        {"passing mode sends the row first", 3, "used", {3, 1}, 0},
        {"failing mode sends only the row", 3, "sale", {3}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = "widget";
        run.settings.ExcludeText = c.exclude;
        run.item.matchMode = c.mode;
        run.Evaluate({"cheap widget for sale"});
        EXPECT_EQ(run.Kinds(), c.kinds);
        EXPECT_EQ(run.result, 1);
        for (const Row& row : run.sink.rows)
            EXPECT_EQ(row.matched, c.recordMatched);
    }
}

TEST(EvaluatePage, PageWithoutKeyGivesOneNoMatchRow) {
    PageRun run;
    run.settings.SearchText = "widget";
    run.item.matched = 1;
    run.Evaluate({"nothing", "to see", ""});
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.sink.rows.size(), 1u);
    EXPECT_EQ(run.sink.rows[0].kind, kResultNoMatch);
    EXPECT_EQ(run.sink.rows[0].description, " ");
    EXPECT_EQ(run.sink.rows[0].matched, 0);
    EXPECT_EQ(run.sink.rows[0].title, "Shop");
    EXPECT_EQ(run.sink.rows[0].url, "http://shop.example/list");
    EXPECT_EQ(run.item.matched, 0);
}

TEST(EvaluatePage, EmptyFragmentListSendsNothing) {
    PageRun run;
    run.settings.SearchText = "widget";
    run.Evaluate({});
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.sink.rows.empty());
}

TEST(EvaluatePage, WordListWithoutItemInclude) {
    struct Case {
        const char* name;
        const char* search;
        const char* include;
        std::vector<std::string> fragments;
        std::vector<std::string> described;
    };
    const Case cases[] = {
        {"second word needs its leading space", "apple, pear", "", {"pear tart"}, {}},
        {"second word after a space", "apple, pear", "", {"fresh pear tart"}, {"pear tart"}},
        {"include words are search words", "apple", "Pear", {"ripe pear"}, {"pear"}},
        {"first listed word wins", "apple", "pear", {"pear and apple"}, {"pear and apple"}},
        {"each fragment walks the list",
         "apple;pear",
         "",
         {"pear", "apple"},
         {"pear  apple", "apple"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = c.search;
        run.settings.IncludeText = c.include;
        run.item.matchMode = 3;  // the described rows alone
        run.settings.ExcludeText = "zzz";
        run.Evaluate(c.fragments);
        EXPECT_EQ(run.Described(), c.described);
        EXPECT_EQ(run.result, c.described.empty() ? 0 : 1);
    }
}

TEST(EvaluatePage, EmptyWordMatchesEveryFragmentAndEnds) {
    PageRun run;
    run.settings.SearchText = "zzz;";
    run.Evaluate({"hello world", "", "more text here"});
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.Kinds(), (std::vector<int>{1, 3, 1, 3, 1, 3}));
    EXPECT_EQ(run.sink.rows[1].description, "h ello world   more text here");
}

TEST(EvaluatePage, ItemIncludeListsFragmentsWithIncludeWord) {
    PageRun run;
    run.settings.ItemInclude = 1;
    run.settings.SearchText = "widget";
    run.settings.IncludeText = "Sale";
    run.item.matchMode = 2;
    run.Evaluate({"  Big SALE today  ", "plain text"});
    ASSERT_EQ(run.Kinds(), (std::vector<int>{kResultDescribed, kResultNoMatch}));
    EXPECT_EQ(run.sink.rows[0].description, "big sale today");
    EXPECT_EQ(run.sink.rows[0].matched, 0);
    EXPECT_EQ(run.result, 0);
}

TEST(EvaluatePage, ItemIncludeMatchesTheWholeSearchText) {
    PageRun run;
    run.settings.ItemInclude = 1;
    run.settings.SearchText = "red, apple";
    run.settings.IncludeText = "zzz";
    run.Evaluate({"a red, apple pie", "red apple"});
    ASSERT_EQ(run.Kinds(), (std::vector<int>{1, 3}));
    EXPECT_EQ(run.sink.rows[1].description, "a red, apple pie  red apple");
}

TEST(EvaluatePage, KeysWithBlanksDoNotOverrun) {
    struct Case {
        const char* name;
        const char* search;
        std::vector<std::string> fragments;
        std::vector<std::string> described;
    };
    const Case cases[] = {
        {"trailing blank lost to trimming", "widget ", {"a widget "}, {"a widget"}},
        {"leading blank lost from a split head",
         " widget",
         {" widget x widget"},
         {"x widget", "x widget"}},
        {"key of blanks", "  ", {"a  b", "   "}, {"a b", "a b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.ItemInclude = 1;
        run.settings.SearchText = c.search;
        run.item.matchMode = 3;
        run.settings.ExcludeText = "zzz";
        run.Evaluate(c.fragments);
        EXPECT_EQ(run.Described(), c.described);
    }
}

TEST(EvaluatePage, StopOnMatchMarksRootEvenWhenTargetFails) {
    struct Case {
        const char* name;
        int stopOnMatch;
        std::vector<std::string> fragments;
        bool marked;
    };
    const Case cases[] = {
        {"occurrence with failing price", 1, {"widget $500"}, true},
        {"stop on match off", 0, {"widget $500"}, false},
        {"no occurrence", 1, {"nothing"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = "widget";
        run.settings.TargetValue = 10;
        run.settings.StopOnMatch = c.stopOnMatch;
        run.item.matchMode = 4;
        run.Evaluate(c.fragments);
        EXPECT_EQ(run.roots.Contains(4), c.marked);
        for (const Row& row : run.sink.rows)
            EXPECT_NE(row.kind, kResultMatch);
    }
}

TEST(EvaluatePage, TargetFirstAndLastTokensCount) {
    struct Case {
        const char* name;
        const char* fragment;
        bool match;
    };
    const Case cases[] = {
        {"price third of four words", "new widget $45 today", true},
        {"price as the last word", "widget $45", true},
        {"price as the first word", "$45 for widget", true},
        {"grouped price above target", "widget $1,299", false},
        {"price with cents", "widget $99.99", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageRun run;
        run.settings.SearchText = "widget";
        run.settings.TargetValue = 100;
        run.item.matchMode = 4;
        run.Evaluate({c.fragment});
        const std::vector<int> expected = c.match ? std::vector<int>{3, 1} : std::vector<int>{3};
        EXPECT_EQ(run.Kinds(), expected);
    }
}

}  // namespace
}  // namespace qx
