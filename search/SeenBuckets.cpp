#include "search/SeenBuckets.h"

#include <algorithm>

namespace qx {

namespace {

// Exclusive upper bounds of the first 29 buckets; the last takes the rest.
constexpr std::array<std::size_t, SeenBuckets::kBucketCount - 1> kUpperBounds = {
    20, 24, 26, 29, 32, 35, 38, 41, 44, 48, 51, 54, 57,  60, 63,
    65, 68, 71, 74, 77, 80, 83, 86, 89, 92, 95, 98, 101, 116};

// Thinning drops every second entry from position 2 up to this position
// (1-based), so 563 entries go.
constexpr std::size_t kThinLastPosition = 1126;

}  // namespace

std::size_t SeenBuckets::BucketOf(std::size_t length) {
    return static_cast<std::size_t>(
        std::upper_bound(kUpperBounds.begin(), kUpperBounds.end(), length) - kUpperBounds.begin());
}

bool SeenBuckets::Contains(std::string_view url) const {
    return fingerprints_.Contains(Fingerprint(url));
}

std::uint64_t SeenBuckets::Fingerprint(std::string_view url) {
    // FNV-1a: stable across runs and independent of the library's hash.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : url) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

void SeenBuckets::Record(std::string_view url) {
    BucketData& bucket = buckets_[BucketOf(url.size())];
    if (bucket.ordered.size() > kThinAbove) {
        Thin(bucket);
    }
    bucket.ordered.emplace_back(url);
    fingerprints_.Insert(Fingerprint(url));
}

void SeenBuckets::Thin(BucketData& bucket) {
    std::vector<std::string> kept;
    kept.reserve(bucket.ordered.size());
    for (std::size_t i = 0; i < bucket.ordered.size(); ++i) {
        const std::size_t position = i + 1;
        if (position % 2 == 0 && position <= kThinLastPosition) {
            continue;
        }
        kept.push_back(std::move(bucket.ordered[i]));
    }
    bucket.ordered = std::move(kept);
}

}  // namespace qx
