#include "search/SeenBuckets.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

std::string UrlOfLength(std::size_t length, int serial) {
    std::string url = "http://" + std::to_string(serial) + "/";
    url.resize(length, 'x');
    return url;
}

TEST(SeenBuckets, LengthRangesPickTheirBucket) {
    struct Case {
        std::size_t length;
        std::size_t bucket;
    };
    const Case cases[] = {
        {0, 0},    {19, 0},   {20, 1},   {23, 1},   {24, 2},    {25, 2},  {26, 3},
        {28, 3},   {29, 4},   {47, 9},   {48, 10},  {63, 15},   {64, 15}, {65, 16},
        {100, 27}, {101, 28}, {115, 28}, {116, 29}, {5000, 29},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        EXPECT_EQ(SeenBuckets::BucketOf(c.length), c.bucket);
    }
    // 116 and more share the last bucket with 101..115.
    EXPECT_EQ(SeenBuckets::BucketOf(116), SeenBuckets::kBucketCount - 1);
}

TEST(SeenBuckets, ComparisonIsExactAndCaseSensitive) {
    SeenBuckets seen;
    seen.Record("http://host/Page");
    EXPECT_TRUE(seen.Contains("http://host/Page"));
    EXPECT_FALSE(seen.Contains("http://host/page"));
    EXPECT_FALSE(seen.Contains("http://host/Page/"));
    EXPECT_FALSE(seen.Contains("http://host/Pag"));
}

TEST(SeenBuckets, ThinningAt1301KeepsOddPositionsAndTheTail) {
    SeenBuckets seen;
    const std::size_t length = 30;
    const std::size_t bucket = SeenBuckets::BucketOf(length);
    for (int i = 1; i <= 1301; ++i) {
        seen.Record(UrlOfLength(length, i));
    }
    ASSERT_EQ(seen.Bucket(bucket).size(), 1301u);
    seen.Record(UrlOfLength(length, 9999));
    const auto& kept = seen.Bucket(bucket);
    ASSERT_EQ(kept.size(), 738u + 1u);
    // Positions 2, 4, ..., 1126 went from the bucket; 1127 onwards stayed whole.
    EXPECT_EQ(kept.front(), UrlOfLength(length, 1));
    EXPECT_EQ(kept[1], UrlOfLength(length, 3));
    EXPECT_EQ(kept[562], UrlOfLength(length, 1125));
    EXPECT_EQ(kept[563], UrlOfLength(length, 1127));
    EXPECT_EQ(kept[564], UrlOfLength(length, 1128));
    // Thinned URLs are still known, so a large site is not fetched again.
    for (int i : {1, 2, 1125, 1126, 1127, 1301, 9999}) {
        EXPECT_TRUE(seen.Contains(UrlOfLength(length, i))) << "URL " << i;
    }
    EXPECT_FALSE(seen.Contains(UrlOfLength(length, 5000)));
    EXPECT_EQ(kept.back(), UrlOfLength(length, 9999));
}

TEST(SeenBuckets, ABucketOf1300IsNotThinned) {
    SeenBuckets seen;
    for (int i = 1; i <= 1301; ++i) {
        seen.Record(UrlOfLength(40, i));
    }
    EXPECT_EQ(seen.Bucket(SeenBuckets::BucketOf(40)).size(), 1301u);
    // Other buckets are untouched by one bucket's thinning.
    seen.Record(UrlOfLength(70, 1));
    EXPECT_EQ(seen.Bucket(SeenBuckets::BucketOf(70)).size(), 1u);
}

}  // namespace
}  // namespace qx
