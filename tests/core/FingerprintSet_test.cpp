#include "search/FingerprintSet.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qx {
namespace {

TEST(FingerprintSet, KeepsEveryValueThroughGrowthIncludingZeroAndCrowdedSlots) {
    FingerprintSet set;
    EXPECT_FALSE(set.Contains(0));
    EXPECT_FALSE(set.Contains(42));
    // Values that differ only above the bits the home slot is taken from
    // crowd one run of slots; the rest spread out. Together they make the
    // array grow several times.
    const auto crowded = [](std::uint64_t i) { return (i << 40) | 7; };
    const auto spread = [](std::uint64_t i) { return i * 2654435761u + 1; };
    for (std::uint64_t i = 0; i < 3000; ++i) {
        set.Insert(crowded(i));
        set.Insert(spread(i));
    }
    set.Insert(0);
    set.Insert(spread(5));  // already there
    EXPECT_EQ(set.Size(), 6001u);
    for (std::uint64_t i = 0; i < 3000; ++i) {
        ASSERT_TRUE(set.Contains(crowded(i))) << i;
        ASSERT_TRUE(set.Contains(spread(i))) << i;
    }
    EXPECT_TRUE(set.Contains(0));
    EXPECT_FALSE(set.Contains(crowded(3000)));
    EXPECT_FALSE(set.Contains(spread(3000)));
}

}  // namespace
}  // namespace qx
