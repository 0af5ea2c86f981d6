// robots.txt rules: RFC 9309's own examples, then files no site should
// serve. Each case names the file, the crawler, the path and the verdict.

#include "html/RobotsTxt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace qx {
namespace {

using namespace std::chrono_literals;

struct RuleCase {
    const char* name;
    std::string file;
    const char* agent;
    std::string path;
    bool allowed;
};

void ExpectVerdicts(const std::vector<RuleCase>& cases) {
    for (const RuleCase& c : cases) {
        const RobotsRules rules = RobotsRules::Parse(c.file, c.agent);
        EXPECT_EQ(rules.Allowed(c.path), c.allowed)
            << c.name << ": " << c.agent << " " << c.path.substr(0, 60) << " should be "
            << (c.allowed ? "allowed" : "disallowed");
    }
}

// The RFC's simple example (section 5.1).
const std::string kSimple =
    "User-Agent: *\n"
    "Disallow: *.gif$\n"
    "Disallow: /example/\n"
    "Allow: /publications/\n"
    "\n"
    "User-Agent: foobot\n"
    "Disallow:/\n"
    "Allow:/example/page.html\n"
    "Allow:/example/allowed.gif\n"
    "\n"
    "User-Agent: barbot\n"
    "User-Agent: bazbot\n"
    "Disallow: /example/page.html\n"
    "\n"
    "User-Agent: quxbot\n"
    "\n"
    "EOF\n";

TEST(RobotsTxtTest, GroupsAreChosenByProductToken) {
    ExpectVerdicts({
        {"foobot's allow beats its disallow /", kSimple, "foobot", "/example/page.html", true},
        {"foobot's allowed gif", kSimple, "foobot", "/example/allowed.gif", true},
        {"foobot's other pages", kSimple, "foobot", "/example/other.html", false},
        {"token without case", kSimple, "FooBot", "/example/other.html", false},
        {"second agent of a group", kSimple, "bazbot", "/example/page.html", false},
        {"a named group does not fall back to *", kSimple, "barbot", "/example/x.gif", true},
        {"an empty named group allows all", kSimple, "quxbot", "/example/page.html", true},
        {"others take the * group", kSimple, "otherbot", "/example/page.html", false},
        {"* group's gif rule", kSimple, "otherbot", "/a/b.gif", false},
        {"'$' ends the gif rule", kSimple, "otherbot", "/a/b.gif?x", true},
        {"longer allow beats *.gif$", kSimple, "otherbot", "/publications/a.gif", true},
        {"no rule matches", kSimple, "otherbot", "/elsewhere", true},
        {"no token takes the * group", kSimple, "", "/example/x", false},
        {"no * group and no match", "User-agent: a\nDisallow: /\n", "b", "/", true},
        {"agent with a version", "User-agent: FooBot/1.2\nDisallow: /x\n", "foobot", "/x", false},
        {"rules before any user agent", "Disallow: /\n", "foobot", "/x", true},
        {"stray rule then a group", "Disallow: /\nUser-agent: *\nDisallow: /b\n", "x", "/a", true},
    });
}

TEST(RobotsTxtTest, GroupsOfOneAgentMerge) {
    const std::string file =
        "user-agent: ExampleBot\ndisallow: /foo\ndisallow: /bar\n\n"
        "user-agent: OtherBot\ndisallow: /qux\n\n"
        "user-agent: examplebot\ndisallow: /baz\n";
    ExpectVerdicts({
        {"first group", file, "ExampleBot", "/foo", false},
        {"later group", file, "ExampleBot", "/baz", false},
        {"* groups merge too", "User-agent: *\nDisallow: /a\nUser-agent: *\nDisallow: /b\n", "x",
         "/b", false},
    });
}

TEST(RobotsTxtTest, LongestMatchWinsAndAllowWinsATie) {
    const std::string longest =
        "User-Agent: foobot\nAllow: /example/page/\nDisallow: /example/page/disallowed.gif\n";
    ExpectVerdicts({
        {"RFC 5.2 allowed folder", longest, "foobot", "/example/page/", true},
        {"RFC 5.2 longer disallow", longest, "foobot", "/example/page/disallowed.gif", false},
        {"RFC 5.2 rest of the folder", longest, "foobot", "/example/page/other", true},
        {"tie, allow first", "User-agent: *\nAllow: /p\nDisallow: /p\n", "x", "/page", true},
        {"tie, disallow first", "User-agent: *\nDisallow: /p\nAllow: /p\n", "x", "/page", true},
        {"longer disallow after allow", "User-agent: *\nAllow: /p\nDisallow: /pa\n", "x", "/page",
         false},
        {"empty disallow matches nothing", "User-agent: *\nDisallow:\n", "x", "/", true},
        {"robots.txt itself", "User-agent: *\nDisallow: /\n", "x", "/robots.txt", true},
    });
}

TEST(RobotsTxtTest, WildcardsAndEndAnchor) {
    const std::string exact = "User-agent: *\nDisallow: /\nAllow: /this/path/exactly$\n";
    const std::string star = "User-agent: *\nDisallow: /\nAllow: /this/*/exactly\n";
    ExpectVerdicts({
        {"'$' matches the whole path", exact, "x", "/this/path/exactly", true},
        {"'$' refuses a longer path", exact, "x", "/this/path/exactly/more", false},
        {"'*' spans folders", star, "x", "/this/a/b/exactly", true},
        {"'*' needs what follows", star, "x", "/this/a/b/nearly", false},
        {"pattern prefix after '*'", star, "x", "/this/a/exactly-not", true},
        {"'$' after '*'", "User-agent: *\nDisallow: /*.php$\n", "x", "/a/b.php", false},
        {"'$' after '*', longer", "User-agent: *\nDisallow: /*.php$\n", "x", "/a/b.php5", true},
        {"'*' then '$' with a repeat", "User-agent: *\nDisallow: /*ab$\n", "x", "/xabab", false},
        {"'$' inside is literal", "User-agent: *\nDisallow: /a$b\n", "x", "/a$b", false},
        {"comment after a rule", "User-agent: * # all\nDisallow: /x # no\n", "x", "/x", false},
        {"comment keeps the path short", "User-agent: *\nDisallow: /x# no\n", "x", "/xy", false},
    });
}

TEST(RobotsTxtTest, PercentEncodingComparedAsTheRfcSays) {
    const auto rule = [](const std::string& path) {
        return "User-agent: *\nDisallow: " + path + "\n";
    };
    ExpectVerdicts({
        {"plain query", rule("/foo/bar?baz=quz"), "x", "/foo/bar?baz=quz", false},
        {"reserved in the query", rule("/foo/bar?baz=https://foo.bar"), "x",
         "/foo/bar?baz=https%3A%2F%2Ffoo.bar", false},
        {"UTF-8 rule, escaped URL", rule("/foo/bar/\xE3\x83\x84"), "x", "/foo/bar/%E3%83%84",
         false},
        {"escaped rule, UTF-8 URL", rule("/foo/bar/%E3%83%84"), "x", "/foo/bar/\xE3\x83\x84",
         false},
        {"hex case", rule("/foo/bar/%E3%83%84"), "x", "/foo/bar/%e3%83%84", false},
        {"unreserved escapes decoded", rule("/foo/bar/%62%61%7A"), "x", "/foo/bar/baz", false},
        {"unreserved escapes in the URL", rule("/foo/bar/baz"), "x", "/foo/%62ar/baz", false},
        {"escaped slash is not a slash", rule("/a%2Fb"), "x", "/a/b", true},
        {"lone percent", rule("/100%"), "x", "/100%25", false},
    });
    EXPECT_EQ(NormaliseRobotsPath("/a b/%7e?x=%2f:"), "/a%20b/~?x=%2F%3A");
}

TEST(RobotsTxtTest, CrawlDelayIsReadAndCapped) {
    struct DelayCase {
        const char* name;
        std::string file;
        const char* agent;
        std::optional<std::chrono::milliseconds> delay;
    };
    const DelayCase cases[] = {
        {"seconds with a fraction", "User-agent: *\nCrawl-delay: 2.5\n", "x", 2500ms},
        {"capped at 30 s", "User-agent: *\nCrawl-delay: 1000000\n", "x", 30000ms},
        {"negative ignored", "User-agent: *\nCrawl-delay: -5\n", "x", std::nullopt},
        {"garbage ignored", "User-agent: *\nCrawl-delay: soon\n", "x", std::nullopt},
        {"own group's delay", "User-agent: *\nCrawl-delay: 9\nUser-agent: a\nCrawl-delay: 1\n", "a",
         1000ms},
        {"outside any group", "Crawl-delay: 4\n", "x", std::nullopt},
    };
    for (const DelayCase& c : cases) {
        EXPECT_EQ(RobotsRules::Parse(c.file, c.agent).CrawlDelay(), c.delay) << c.name;
    }
}

TEST(RobotsTxtTest, BadFilesGiveBoundedRules) {
    std::mt19937 random(20);
    std::string binary(64 << 10, '\0');
    for (char& c : binary) {
        c = static_cast<char>(random() & 0xff);
    }
    const std::string header = "User-agent: *\nDisallow: /early\n";
    std::string tenMegabytes = header;
    while (tenMegabytes.size() < (10u << 20)) {
        tenMegabytes += "Disallow: /filler/" + std::to_string(tenMegabytes.size()) + "\n";
    }
    tenMegabytes += "Disallow: /late\n";
    const std::string longLine = header + "Disallow: /x" + std::string(1u << 20, 'y') + "\n";
    const std::string longButReadable =
        header + "Disallow: /x" + std::string(100u << 10, 'y') + "\nDisallow: /after\n";
    const std::string bom = "\xEF\xBB\xBF";
    ExpectVerdicts({
        {"binary", binary, "x", "/", true},
        {"10 MB, early rule", tenMegabytes, "x", "/early", false},
        {"10 MB, rule past 500 KiB", tenMegabytes, "x", "/late", true},
        {"1 MB line cut, not taken whole", longLine, "x", "/x", true},
        {"1 MB line cut to its first 16 KiB", longLine, "x", "/x" + std::string(20000, 'y'), false},
        {"line after a long line", longButReadable, "x", "/after", false},
        {"only a BOM", bom, "x", "/", true},
        {"BOM before the first line", bom + "User-agent: *\nDisallow: /\n", "x", "/a", false},
        {"CR LF line ends", "User-agent: *\r\nDisallow: /a\r\n", "x", "/a", false},
        {"no colon", "User-agent *\nDisallow /\n", "x", "/", true},
    });
    EXPECT_EQ(RobotsRules::Parse(binary, "x").RuleCount(), 0u);
    EXPECT_LE(RobotsRules::Parse(tenMegabytes, "x").RuleCount(), RobotsRules::kMaxFileBytes / 10);
}

TEST(RobotsTxtTest, TokensAndPathsOfUrls) {
    EXPECT_EQ(RobotsProductToken("Microsoft Internet Explorer"), "Microsoft");
    EXPECT_EQ(RobotsProductToken("QuillEx/1.0 (Linux)"), "QuillEx");
    EXPECT_EQ(RobotsPathOf("http://h"), "/");
    EXPECT_EQ(RobotsPathOf("http://h:8080/a/b?q=1#frag"), "/a/b?q=1");
    EXPECT_EQ(RobotsPathOf("/a?u=http://x/"), "/a?u=http://x/");
}

}  // namespace
}  // namespace qx
