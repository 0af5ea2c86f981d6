#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

TEST(CliPoliteOptionsTest, OptionsSetThePolitePreferences) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int obeyRobots, perHostOn, perHost, slowDown;
    } cases[] = {
        {"none", {}, 0, 0, 4, 0},
        {"--polite", {"--polite"}, 1, 1, 4, 1},
        {"--per-host 2", {"--per-host", "2"}, 0, 1, 2, 0},
        {"--slow-down", {"--slow-down"}, 0, 0, 4, 1},
        {"--polite with --per-host 9", {"--per-host", "9", "--polite"}, 1, 1, 9, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--search", "x", "http://127.0.0.1/"});
        const CliParseResult result = ParseCliOptions(args);
        ASSERT_TRUE(result.ok) << c.name << ": " << result.error;
        Preferences prefs;
        ApplyPoliteOptions(result.options, prefs);
        EXPECT_EQ(prefs.ObeyRobots, c.obeyRobots) << c.name;
        EXPECT_EQ(prefs.PerHostOn, c.perHostOn) << c.name;
        EXPECT_EQ(prefs.PerHost, c.perHost) << c.name;
        EXPECT_EQ(prefs.SlowDown, c.slowDown) << c.name;
    }
    for (const char* bad : {"0", "-1", "x"}) {
        const CliParseResult result =
            ParseCliOptions({"--per-host", bad, "--search", "x", "http://127.0.0.1/"});
        EXPECT_FALSE(result.ok) << bad;
        EXPECT_NE(result.error.find("--per-host"), std::string::npos) << result.error;
    }
}

}  // namespace
}  // namespace qx
