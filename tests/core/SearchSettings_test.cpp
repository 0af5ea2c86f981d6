#include "search/SearchSettings.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qx {
namespace {

TEST(ComputeMatchMode, TableOfPresenceAndItemInclude) {
    struct Case {
        bool target, include, exclude;
        int withItemInclude, withoutItemInclude;
    };
    const Case cases[] = {
        {false, false, false, 0, 0}, {false, true, true, 1, 3},  {false, true, false, 2, 0},
        {false, false, true, 3, 3},  {true, false, false, 4, 4}, {true, true, false, 5, 4},
        {true, false, true, 6, 6},   {true, true, true, 7, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "T=" << c.target << " I=" << c.include << " X=" << c.exclude);
        EXPECT_EQ(ComputeMatchMode(c.target, c.include, c.exclude, true), c.withItemInclude);
        EXPECT_EQ(ComputeMatchMode(c.target, c.include, c.exclude, false), c.withoutItemInclude);
    }
}

TEST(Preferences, IdentityCanBeReplacedWhileRead) {
    Preferences prefs;
    EXPECT_EQ(prefs.Identity(), "Microsoft Internet Explorer");
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&prefs] {
            for (int k = 0; k < 2000; ++k) {
                std::string id = prefs.Identity();
                ASSERT_TRUE(id == "Microsoft Internet Explorer" || id.rfind("Agent ", 0) == 0);
            }
        });
    }
    for (int k = 0; k < 2000; ++k) {
        prefs.SetIdentity("Agent " + std::to_string(k));
    }
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(prefs.Identity(), "Agent 1999");
}

}  // namespace
}  // namespace qx
