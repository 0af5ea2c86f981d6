#include "html/LinkExtraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qx {
namespace {

using Strings = std::vector<std::string>;

struct AttributeCase {
    const char* name;
    std::string tag;
    std::string attribute;
    bool found;
    std::string value;
};

TEST(GetAttributeValueTest, ReadsValuesAsBrowsersDo) {
    const AttributeCase cases[] = {
        {"double quotes", R"(<a href="a.html">)", "href", true, "a.html"},
        {"single quotes", "<a href='a.html'>", "href", true, "a.html"},
        {"unquoted upper case", "<A HREF=/x/y.html>", "href", true, "/x/y.html"},
        {"unquoted stops at space", "<a href=http://h/p target=x>", "href", true, "http://h/p"},
        {"unquoted not starting with h or /", "<a href=page.html target=x>", "href", true,
         "page.html"},
        {"spaces around =", R"(<a href = "s.html" >)", "href", true, "s.html"},
        {"empty quoted", R"(<a href="">)", "href", true, ""},
        {"no value", "<a href>", "href", true, ""},
        {"= then end", "<a href=>", "href", true, ""},
        {"absent", R"(<a name="x">)", "href", false, ""},
        {"inside another name", R"(<a data-href="x.html">)", "href", false, ""},
        {"inside a value", R"(<a title="see href=x.html">)", "href", false, ""},
        {"after a value holding the name", R"(<a title="href=x" href="y">)", "href", true, "y"},
        {"tag name is no attribute", "<href x=1>", "href", false, ""},
        {"unterminated quote", R"(<a href="x.html>)", "href", true, "x.html"},
        {"quote inside other quotes", R"(<a href="it's.html">)", "href", true, "it's.html"},
        {"self-closing", "<link href=s.css/>", "href", true, "s.css/"},
        {"stray text before <", "text < more <a href=x.html>", "href", true, "x.html"},
        {"no < at all", R"(b" href="c.html">)", "href", true, "c.html"},
        {"empty tag", "", "href", false, ""},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string value = "stale";
        EXPECT_EQ(GetAttributeValue(c.tag, c.attribute, value), c.found);
        EXPECT_EQ(value, c.value);
    }
}

struct CollectCase {
    const char* name;
    std::string page;
    bool result;
    Strings links;
};

TEST(CollectLinksTest, Cases) {
    const CollectCase cases[] = {
        {"empty page", "", false, {}},
        {"page without tags", "just text", false, {}},
        {"quoted href", R"(<p><a href="a.html">A</a>)", true, {"a.html"}},
        {"single-quoted href", "<a href='a.html'>", true, {"a.html"}},
        {"unquoted with more attributes", "<a href=page.html target=x>", true, {"page.html"}},
        {"mailto dropped", R"(<a href="mailto:info">)", false, {}},
        {"option with http", R"(<option value="http://h/">)", true, {"http://h/"}},
        {"option without http", R"(<option value="/local">)", false, {}},
        {"option selected first", "<OPTION selected value=http://o/>", true, {"http://o/"}},
        {"style sheet", R"(<link rel="stylesheet" href="s.css">)", true, {"s.css"}},
        {"empty value kept", R"(<a href="">)", true, {""}},
        {"anchor without href", R"(<a name="top">)", false, {}},
        {"stray < joins text to tag", "a < b <a href=x.html>", true, {"x.html"}},
        {"page order",
         R"(<a href="1"><img src="i.gif"><a href="2"></a><area href="3">)",
         true,
         {"1", "2", "3"}},
        {"unterminated last tag ignored", R"(<a href="1"><a href="2")", true, {"1"}},
    };
    for (const CollectCase& c : cases) {
        SCOPED_TRACE(c.name);
        Strings links;
        EXPECT_EQ(CollectLinks(c.page, "href", links, false), c.result);
        EXPECT_EQ(links, c.links);
    }
}

TEST(CollectLinksTest, AppendsToExistingList) {
    Strings links = {"old"};
    EXPECT_TRUE(CollectLinks("<p>none</p>", "href", links, false));
    EXPECT_EQ(links, (Strings{"old"}));
}

struct RobotCase {
    const char* name;
    std::string page;
    bool stops;
};

TEST(RobotExclusionTest, NoIndexInAnyTagStopsCollection) {
    const RobotCase cases[] = {
        {"robots meta", R"(<meta name=robots content=noindex><a href="a.html">)", true},
        {"robots meta later", R"(<a href="a.html"><meta name="robots" content="NOINDEX">)", true},
        {"mixed case not recognised", R"(<meta name=robots content=NoIndex><a href="a">)", false},
        {"link to noindex.html", R"(<a href="b.html"><a href="noindex.html">)", true},
        {"nofollow alone", R"(<meta name=robots content=NOFOLLOW><a href="a.html">)", false},
        {"in text only", R"(noindex <a href="a.html">)", false},
    };
    for (const RobotCase& c : cases) {
        SCOPED_TRACE(c.name);
        Strings links = {"before"};
        const bool result = CollectLinks(c.page, "href", links, true);
        EXPECT_EQ(result, !c.stops);
        if (c.stops) {
            EXPECT_EQ(links, Strings{"before"}) << "a stop leaves the list as it was";
        }
        Strings unrestricted;
        EXPECT_TRUE(CollectLinks(c.page, "href", unrestricted, false));
        EXPECT_FALSE(unrestricted.empty());
    }
    EXPECT_TRUE(HasNoIndex("<x NOINDEX>"));
    EXPECT_TRUE(HasNoIndex("noindex"));
    EXPECT_FALSE(HasNoIndex("<x NoIndex>"));
}

// --- Links near matches ---------------------------------------------------

std::string Link(const std::string& value) {
    return "<a href=\"" + value + "\">";
}

struct NearCase {
    const char* name;
    std::string page;
    std::string search;
    std::string include;
    int width;
    bool result;
    Strings links;
};

TEST(CollectLinksNearMatchesTest, Cases) {
    const std::string fiveAround =
        Link("L1") + Link("L2") + " w " + Link("L3") + Link("L4") + Link("L5");
    const NearCase cases[] = {
        {"width 2 takes one before head-first", fiveAround, "w", "", 2, true, {"L1", "L2", "L3"}},
        {"width 0 takes the link before", fiveAround, "w", "", 0, true, {"L2"}},
        {"width 1", fiveAround, "w", "", 1, true, {"L2", "L3"}},
        {"width 3", fiveAround, "w", "", 3, true, {"L1", "L2", "L3", "L4"}},
        {"occurrence before any link", "w " + Link("L1"), "w", "", 0, false, {}},
        {"upper-case occurrence does not count", "W " + Link("L1"), "w", "", 2, false, {}},
        {"search words are lower-cased", Link("L1") + " shoe", "SHOE", "", 0, true, {"L1"}},
        {"include words count", Link("L1") + " red " + Link("L2"), "blue", "RED", 0, true, {"L1"}},
        {"semicolon separates words", Link("L1") + " b " + Link("L2"), "zq;b", "", 0, true, {"L1"}},
        {"markers never reach the links",
         Link("A") + " w w w " + Link("B"),
         "w",
         "",
         4,
         true,
         {"A", "B"}},
        {"occurrence inside a tag cuts that tag",
         "<a href=\"wx\"> " + Link("L1") + " w",
         "w",
         "",
         0,
         true,
         {"L1"}},
        {"occurrence inside a marker ends marking",
         Link("P1") + " abab " + Link("P2") + " ab " + Link("P3"),
         "ab",
         "",
         0,
         true,
         {"P1"}},
        {"no words", fiveAround, "", "", 2, false, {}},
        {"negative width", fiveAround, "w", "", -1, false, {}},
        {"link taken once at its last place",
         Link("A") + " w " + Link("B") + " w " + Link("C"),
         "w",
         "",
         2,
         true,
         {"A", "B", "C"}},
    };
    for (const NearCase& c : cases) {
        SCOPED_TRACE(c.name);
        Strings links;
        EXPECT_EQ(
            CollectLinksNearMatches(c.page, "href", links, c.search, c.include, c.width, false),
            c.result);
        EXPECT_EQ(links, c.links);
    }
}

TEST(CollectLinksNearMatchesTest, NoIndexStopsAndLeavesListAlone) {
    const std::string page = Link("L1") + " w <meta content=noindex>" + Link("L2");
    Strings links = {"old"};
    EXPECT_FALSE(CollectLinksNearMatches(page, "href", links, "w", "", 2, true));
    EXPECT_EQ(links, Strings{"old"});
    EXPECT_TRUE(CollectLinksNearMatches(page, "href", links, "w", "", 2, false));
    EXPECT_EQ(links, (Strings{"old", "L1", "L2"}));
}

// The selection as written out step by step: every window entry is taken
// each time, head entries pushed to the front, markers removed at the end.
struct Reference {
    bool result = false;
    Strings links;
};

Strings ReferenceWords(const std::string& search, const std::string& include) {
    std::string list = search + ";" + (include.empty() ? "" : include + ";");
    for (char& c : list) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    Strings words;
    std::string word;
    for (char c : list) {
        if (c == ';') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

Reference ReferenceNearMatches(const std::string& page, const Strings& words, int width,
                               Strings out) {
    if (page.empty()) {
        return {false, out};
    }
    std::vector<std::pair<std::string, bool>> entries;  // text, marker
    std::string current;
    bool collecting = true;
    std::size_t p = 0;
    std::size_t n = 0;
    bool searching = true;
    while (true) {
        std::size_t f = std::string::npos;
        if (searching) {
            for (const std::string& w : words) {
                f = std::min(f, page.find(w, n));
            }
            if (f == std::string::npos || f + 1 >= page.size()) {
                searching = false;
            }
            if (f != std::string::npos) {
                n = f + 1;
            }
        }
        bool reached = false;
        for (; p < page.size(); ++p) {
            if (f != std::string::npos && p == f) {
                reached = true;
                break;
            }
            char c = page[p];
            if (c == '<') {
                collecting = true;
            }
            if (collecting) {
                current += c;
            }
            if (c == '>') {
                entries.push_back({current, false});
                current.clear();
                collecting = false;
            }
        }
        if (!reached) {
            break;
        }
        current.clear();
        std::size_t end = std::min(page.find(' ', f), page.size());
        if (end > f) {
            entries.push_back({page.substr(f, end - f), true});
        }
        collecting = false;
        p = end;
    }
    std::vector<std::pair<std::string, bool>> selection;
    std::string link;
    for (const auto& [text, marker] : entries) {
        if (marker) {
            selection.push_back({text, true});
        } else if (GetLinkValue(text, "href", link)) {
            selection.push_back({link, false});
        }
    }
    std::deque<std::pair<std::string, bool>> list;
    for (const std::string& o : out) {
        list.push_back({o, false});
    }
    const int before = width / 2;
    const int after = width - before;
    const int count = static_cast<int>(selection.size());
    for (int k = 0; k < count; ++k) {
        if (!selection[k].second) {
            continue;
        }
        if (k >= 1) {
            list.push_back(selection[k - 1]);
        }
        for (int m = 1; m <= before; ++m) {
            if (k - 1 - m >= 0) {
                list.push_front(selection[k - 1 - m]);
            }
        }
        for (int m = 1; m <= after; ++m) {
            if (k + m < count) {
                list.push_back(selection[k + m]);
            }
        }
    }
    Reference reference;
    reference.result = !list.empty();
    for (const auto& [text, marker] : list) {
        if (!marker) {
            reference.links.push_back(text);
        }
    }
    return reference;
}

Strings KeepLast(const Strings& links) {
    Strings kept;
    std::unordered_set<std::string> seen;
    for (auto it = links.rbegin(); it != links.rend(); ++it) {
        if (seen.insert(*it).second) {
            kept.push_back(*it);
        }
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

TEST(CollectLinksNearMatchesTest, SameLinksInSameOrderAsStepByStepSelection) {
    const Strings pieces = {"<a href=\"A\">",
                            "<a href=\"B\">",
                            "<a href='C'>",
                            "<a href=D>",
                            "<p>",
                            "</p>",
                            " ",
                            "w",
                            "wx",
                            "ab",
                            "aab",
                            ">",
                            "<",
                            "text",
                            "<a href=\"w\">"};
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        const int length = static_cast<int>(random() % 30);
        for (int i = 0; i < length; ++i) {
            page += pieces[random() % pieces.size()];
        }
        const std::string search = (round % 3 == 0) ? "w;ab" : (round % 3 == 1 ? "W" : "a");
        const std::string include = (round % 2 == 0) ? "" : "x";
        const int width = static_cast<int>(random() % 7);
        const Strings start = (round % 5 == 0) ? Strings{"S"} : Strings{};
        SCOPED_TRACE("page: " + page + " search: " + search + " width: " + std::to_string(width));
        Reference expected =
            ReferenceNearMatches(page, ReferenceWords(search, include), width, start);
        Strings links = start;
        ASSERT_EQ(CollectLinksNearMatches(page, "href", links, search, include, width, false),
                  expected.result);
        ASSERT_EQ(KeepLast(links), KeepLast(expected.links));
    }
}

// --- Bad input -------------------------------------------------------------

TEST(LinkExtractionBadInputTest, LargeAndBrokenPagesFinish) {
    Strings links;
    const std::string noClose = "<a href=\"" + std::string(10 << 20, 'x');
    EXPECT_FALSE(CollectLinks(noClose, "href", links, true));
    EXPECT_FALSE(CollectLinksNearMatches(noClose, "href", links, "x", "", 3, true));

    const std::string bigValue = "<a href=\"" + std::string(1 << 20, 'v') + "\">";
    ASSERT_TRUE(CollectLinks(bigValue, "href", links, false));
    EXPECT_EQ(links.back().size(), std::size_t{1} << 20);

    std::string binary;
    for (int i = 0; i < 1 << 20; ++i) {
        binary += static_cast<char>((i * 131) ^ (i >> 3));
    }
    links.clear();
    CollectLinks(binary, "href", links, true);
    CollectLinksNearMatches(binary, "href", links, std::string("\0a;\xff", 4), "<", 5, false);
    std::string value;
    GetAttributeValue(binary, "href", value);
}

TEST(LinkExtractionBadInputTest, FrequentAndRareWordsStayLinear) {
    std::string page;
    for (int i = 0; i < 200000; ++i) {
        page += "q <b>";
    }
    page += Link("last") + " zz";
    Strings links;
    EXPECT_TRUE(CollectLinksNearMatches(page, "href", links, "q;zz", "", 1000000, false));
    EXPECT_EQ(links, Strings{"last"});
}

}  // namespace
}  // namespace qx
