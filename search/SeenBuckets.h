#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/FingerprintSet.h"

namespace qx {

// The URLs one search has started, in 30 buckets by URL length. A bucket keeps
// its URLs in arrival order and is thinned when it grows past its limit, so the
// URL text held stays bounded. A URL dropped by thinning is still remembered by
// its 64-bit fingerprint: forgetting it would let a site with more URLs of one
// length than a bucket holds be fetched again and again, each pass queueing
// its links anew, so the crawl would never end and its queue would grow
// without bound.
class SeenBuckets {
public:
    static constexpr std::size_t kBucketCount = 30;
    static constexpr std::size_t kThinAbove = 1300;

    // Which bucket a URL of `length` characters belongs to.
    static std::size_t BucketOf(std::size_t length);

    // Exact, case-sensitive comparison on the whole URL. Every recorded URL
    // leaves its fingerprint, so the fingerprints alone answer; the buckets
    // keep the URL texts.
    bool Contains(std::string_view url) const;
    // Appends the URL to its bucket, thinning the bucket first when it holds
    // more than kThinAbove URLs.
    void Record(std::string_view url);

    // The bucket's URLs, oldest first.
    const std::vector<std::string>& Bucket(std::size_t bucket) const {
        return buckets_[bucket].ordered;
    }

private:
    struct BucketData {
        std::vector<std::string> ordered;
    };
    static void Thin(BucketData& bucket);

    static std::uint64_t Fingerprint(std::string_view url);

    std::array<BucketData, kBucketCount> buckets_;
    FingerprintSet fingerprints_;
};

}  // namespace qx
