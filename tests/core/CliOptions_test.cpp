#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

using Args = std::vector<std::string>;

struct BadCase {
    const char* name;
    Args args;
    const char* errorPart;  // the message must name what was wrong
};

TEST(CliOptionsTest, RejectsBadArgumentsWithClearMessage) {
    const BadCase cases[] = {
        {"unknown option", {"--search", "x", "--bogus", "http://h/"}, "--bogus"},
        {"missing value at end", {"http://h/", "--search"}, "--search needs a value"},
        {"non-number max depth", {"--search", "x", "--max-depth", "two", "http://h/"}, "two"},
        {"number with trailing text", {"--search", "x", "--target-bogus", "1"}, "unknown"},
        {"max connections with suffix",
         {"--search", "x", "--max-connections", "64k", "http://h/"},
         "--max-connections needs a number"},
        {"describe without comma", {"--search", "x", "--describe", "10", "http://h/"}, "F,R"},
        {"describe with word", {"--search", "x", "--describe", "10,b", "http://h/"}, "10,b"},
        {"engine timing empty half",
         {"--search", "x", "--engine-timing", "10,", "http://h/"},
         "REVS,DAMP"},
        {"int out of range",
         {"--search", "x", "--repeat", "99999999999", "http://h/"},
         "--repeat needs a number"},
        {"repeat below -1", {"--search", "x", "--repeat", "-5", "http://h/"}, "not -5"},
        {"no url", {"--search", "x"}, "no start URL"},
        {"no search", {"http://h/"}, "no search item"},
        {"number before any url", {"--search", "x", "3", "http://h/"}, "does not follow a URL"},
        {"three numbers after url",
         {"--search", "x", "http://h/", "1", "2", "3"},
         "too many numbers"},
        {"number after an option, not a url",
         {"--search", "x", "http://h/", "--json", "2"},
         "does not follow a URL"},
        {"flag with value", {"--search", "x", "--json=yes", "http://h/"}, "takes no value"},
        {"single dash", {"--search", "x", "-", "http://h/"}, "\"-\""},
        {"short option", {"--search", "x", "-v", "http://h/"}, "-v"},
        {"robots check short of a URL", {"--robots-check", "r.txt", "Bot"}, "three values"},
        {"robots check inline", {"--robots-check=r.txt", "Bot", "/"}, "three values"},
        {"robots check empty URL", {"--robots-check", "r.txt", "Bot", ""}, "a URL"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CliParseResult result = ParseCliOptions(c.args);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << result.error;
    }
}

struct UrlCase {
    const char* name;
    Args args;
    std::vector<CliStartUrl> expected;
};

TEST(CliOptionsTest, NumbersAfterUrlAreItsLimits) {
    const UrlCase cases[] = {
        {"bare url is unlimited", {"--search", "x", "http://h/"}, {{"http://h/", "-1", "-1"}}},
        {"depth and width then next url",
         {"--search", "foo", "http://h/", "2", "3", "http://k/"},
         {{"http://h/", "2", "3"}, {"http://k/", "-1", "-1"}}},
        {"depth only", {"--search", "x", "h.example", "0"}, {{"h.example", "0", "-1"}}},
        {"negative limits are bare integers",
         {"--search", "x", "http://h/", "-1", "5"},
         {{"http://h/", "-1", "5"}}},
        {"urls before and after options",
         {"http://a/", "1", "--search", "x", "http://b/"},
         {{"http://a/", "1", "-1"}, {"http://b/", "-1", "-1"}}},
        {"dash url after double dash",
         {"--search", "x", "--", "-odd-", "4"},
         {{"-odd-", "4", "-1"}}},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.name);
        CliParseResult result = ParseCliOptions(c.args);
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_EQ(result.options.startUrls.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(result.options.startUrls[i].url, c.expected[i].url);
            EXPECT_EQ(result.options.startUrls[i].maxDepth, c.expected[i].maxDepth);
            EXPECT_EQ(result.options.startUrls[i].width, c.expected[i].width);
        }
    }
}

TEST(CliOptionsTest, EveryControlReachesItsField) {
    CliParseResult result = ParseCliOptions({"--search",
                                             " spaced item",
                                             "--target=150",
                                             "--include",
                                             "a,b",
                                             "--exclude",
                                             "c;d",
                                             "--max-depth",
                                             "-1",
                                             "--width-depth",
                                             "2",
                                             "--default-width",
                                             "7",
                                             "--max-connections",
                                             "200",
                                             "--max-remaining",
                                             "500",
                                             "--stop-on-match",
                                             "--item-include",
                                             "--no-remove",
                                             "--describe",
                                             "10,2",
                                             "--engine-timing",
                                             "10,1",
                                             "--include-url",
                                             "--exclude-url",
                                             "--repeat",
                                             "5",
                                             "--robot-exclusion",
                                             "--obey-robots",
                                             "--identity",
                                             "Bot/1.0",
                                             "--json",
                                             "http://h/"});
    ASSERT_TRUE(result.ok) << result.error;
    const CliOptions& o = result.options;
    EXPECT_EQ(o.search, " spaced item");  // the search item is kept untrimmed
    EXPECT_EQ(o.target, "150");
    EXPECT_EQ(o.include, "a,b");
    EXPECT_EQ(o.exclude, "c;d");
    EXPECT_EQ(o.maxDepth, -1);
    EXPECT_EQ(o.widthDepth, 2);
    EXPECT_EQ(o.defaultWidth, 7);
    EXPECT_EQ(o.maxConnections, 200);
    EXPECT_EQ(o.maxRemaining, 500);
    EXPECT_TRUE(o.stopOnMatch);
    EXPECT_TRUE(o.itemInclude);
    EXPECT_TRUE(o.noRemove);
    EXPECT_EQ(o.describeForward, 10);
    EXPECT_EQ(o.describeBackward, 2);
    EXPECT_EQ(o.engineRevs, 10);
    EXPECT_EQ(o.engineDamp, 1);
    EXPECT_TRUE(o.includeUrl);
    EXPECT_TRUE(o.excludeUrl);
    EXPECT_EQ(o.repeatSeconds, 5);
    EXPECT_TRUE(o.robotExclusion);
    EXPECT_TRUE(o.obeyRobots);
    EXPECT_EQ(o.identity, "Bot/1.0");
    EXPECT_TRUE(o.json);
}

TEST(CliOptionsTest, UnsetControlsStayUnchecked) {
    CliParseResult result = ParseCliOptions({"--search", "x", "http://h/"});
    ASSERT_TRUE(result.ok) << result.error;
    const CliOptions& o = result.options;
    EXPECT_FALSE(o.maxDepth || o.widthDepth || o.defaultWidth || o.maxConnections ||
                 o.maxRemaining || o.repeatSeconds || o.describeForward || o.engineRevs);
    EXPECT_FALSE(o.stopOnMatch || o.itemInclude || o.noRemove || o.robotExclusion || o.json ||
                 o.obeyRobots);
}

TEST(CliOptionsTest, HelpVersionAndFileSourcesNeedNoUrl) {
    const struct {
        const char* name;
        Args args;
    } cases[] = {
        {"help alone", {"--help"}},
        {"version alone", {"--version"}},
        {"command line alone", {"--command-line", "cats dogs"}},
        {"links file", {"--search", "x", "--links", "l.qxt"}},
        {"engines file", {"--search", "x", "--engines", "engines.qeg"}},
        {"robots check", {"--robots-check", "r.txt", "Bot/1.0", "http://h/x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CliParseResult result = ParseCliOptions(c.args);
        EXPECT_TRUE(result.ok) << result.error;
    }
}

TEST(CliOptionsTest, UsageListsEveryOption) {
    std::string usage = CliUsage();
    for (const char* option :
         {"--search",        "--target",          "--include",       "--exclude",
          "--max-depth",     "--width-depth",     "--default-width", "--max-connections",
          "--max-remaining", "--stop-on-match",   "--item-include",  "--no-remove",
          "--describe",      "--engine-timing",   "--include-url",   "--exclude-url",
          "--repeat",        "--robot-exclusion", "--identity",      "--links",
          "--engines",       "--command-line",    "--json",          "--help",
          "--version",       "--obey-robots",     "--polite",        "--robots-check"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(CliOptionsTest, RobotsCheckTakesThreeArgumentsAndPoliteAsksForAllPoliteness) {
    CliParseResult result =
        ParseCliOptions({"--robots-check", "r.txt", "Bot/1.0", "http://h/x", "--polite"});
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_TRUE(result.options.robotsCheck);
    EXPECT_EQ(result.options.robotsCheck->file, "r.txt");
    EXPECT_EQ(result.options.robotsCheck->agent, "Bot/1.0");
    EXPECT_EQ(result.options.robotsCheck->url, "http://h/x");
    EXPECT_TRUE(result.options.startUrls.empty());  // the URL is the check's
    EXPECT_TRUE(result.options.polite);
}

TEST(CliOptionsTest, IntegersAreStrict) {
    const struct {
        const char* text;
        std::optional<int> expected;
    } cases[] = {
        {"0", 0},
        {"-1", -1},
        {"115", 115},
        {"", std::nullopt},
        {"+3", std::nullopt},
        {"3 ", std::nullopt},
        {"0x10", std::nullopt},
        {"-", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseCliInt(c.text), c.expected);
    }
}

}  // namespace
}  // namespace qx
