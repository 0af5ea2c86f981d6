#include "html/PageAnalysis.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qx {
namespace {

using Strings = std::vector<std::string>;

TEST(PageTextTest, EachLineFeedBecomesOneSpaceAndOtherBytesStay) {
    std::string page;
    AppendPageText(page, std::string("A\r\nB\n", 5));
    EXPECT_EQ(page, "A\r B ");
    AppendPageText(page, std::string("\0\xff\xc3(\n", 5));
    EXPECT_EQ(page, std::string("A\r B \0\xff\xc3( ", 10));
}

TEST(PageTextTest, AWholeBodyBecomesThePageTextInPlace) {
    std::string page = "left over";
    const std::string tail(40, 'x');  // longer than a string keeps inside itself
    std::string body = std::string("A\r\nB\n\0\n", 7) + tail;
    const char* storage = body.data();
    SetPageText(page, std::move(body));
    EXPECT_EQ(page, std::string("A\r B \0 ", 7) + tail);
    EXPECT_EQ(page.data(), storage);  // the body's buffer, not a copy
}

TEST(PageTextTest, ChunksAppendWithoutChangingEarlierText) {
    std::string page = "x\ny";  // already stored text is not rewritten
    AppendPageText(page, "\n");
    EXPECT_EQ(page, "x\ny ");
}

struct TitleCase {
    const char* name;
    std::string page;
    std::string title;
};

TEST(ExtractTitleTest, Cases) {
    const TitleCase cases[] = {
        {"plain", "<html><title>Home</title></html>", "Home"},
        {"capitals keep spaces", "<TITLE>  Home  </TITLE>", "  Home  "},
        {"empty element", "<title></title>", ""},
        {"no title tag", "<html><body>x</body></html>", " "},
        {"empty page", "", " "},
        {"capitals searched first", "<title>A</title><TITLE>B</TITLE>", "B"},
        {"space after <", "< title>Spaced</title>", "Spaced"},
        {"initial capital", "<Title>Cap</Title>", "Cap"},
        {"attributes", "<title lang=en>Home</title>", "Home"},
        {"mixed case not recognised", "<TiTle>Home</TiTle>", " "},
        {"two spaces not recognised", "<  title>Home</title>", " "},
        {"no closing >", "<title", ""},
        {"no < after title", "<title>runs to the end", ""},
        {"entities kept", "<title>a &amp; b</title>", "a &amp; b"},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractTitle(c.page), c.title);
    }
}

struct FragmentCase {
    const char* name;
    std::string page;
    bool result;
    Strings fragments;
};

TEST(SplitTextFragmentsTest, Cases) {
    const FragmentCase cases[] = {
        {"empty page", "", false, {}},
        {"no >", "plain text < only", false, {}},
        {"text before first > is lost", "&lt;x&gt;<p>Hello</p>", true, {"", "Hello"}},
        {"trailing text is lost", "<html><b>x</b>tail", true, {"", "", "x"}},
        {"stray > closes a fragment", "<p>a>b<i>", true, {"", "a", "b"}},
        {"cr and entities kept", "<p> a\r&amp; </p>", true, {"", " a\r&amp; "}},
        {"script text is text", "<script>if (a<b) x;</script>", true, {"", "if (a"}},
        {"only >", ">>", true, {"", ""}},
    };
    for (const FragmentCase& c : cases) {
        SCOPED_TRACE(c.name);
        Strings fragments;
        EXPECT_EQ(SplitTextFragments(c.page, fragments), c.result);
        EXPECT_EQ(fragments, c.fragments);
    }
}

TEST(SplitTextFragmentsTest, AppendsToTheListItIsGiven) {
    Strings fragments = {"kept"};
    EXPECT_TRUE(SplitTextFragments("no tags", fragments));
    EXPECT_EQ(fragments, Strings{"kept"});
}

TEST(SplitTextFragmentsTest, OneFragmentPerGreaterThan) {
    std::string page;
    for (int i = 0; i < 1000; ++i) {
        page += "<b>" + std::to_string(i);
    }
    Strings fragments;
    ASSERT_TRUE(SplitTextFragments(page, fragments));
    ASSERT_EQ(fragments.size(), 1000u);
    EXPECT_EQ(fragments[1], "0");
    EXPECT_EQ(fragments[999], "998");
}

TEST(PageAnalysisBadInputTest, HugeInputsWithoutTagEndsFinish) {
    const std::string noClose = "<title" + std::string(10 << 20, 'a');
    EXPECT_EQ(ExtractTitle(noClose), "");
    Strings fragments;
    EXPECT_FALSE(SplitTextFragments(noClose, fragments));

    std::string manyClose(1 << 20, '>');
    EXPECT_EQ(ExtractTitle(manyClose), " ");
    EXPECT_TRUE(SplitTextFragments(manyClose, fragments));
    EXPECT_EQ(fragments.size(), manyClose.size());

    std::string bytes;
    for (int i = 0; i < 1 << 16; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    std::string page;
    AppendPageText(page, bytes);
    fragments.clear();
    SplitTextFragments(page, fragments);
    ExtractTitle(page);
    EXPECT_EQ(page.size(), bytes.size());
}

}  // namespace
}  // namespace qx
