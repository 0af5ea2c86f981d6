#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qx {

// A set of 64-bit fingerprints in one open-addressed array: a lookup is a
// probe or two in one block of memory, where a node-based set takes a pointer
// chase per element of its bucket. The engine asks it once for every queued
// link, hundreds of thousands of times in a large crawl.
class FingerprintSet {
public:
    bool Contains(std::uint64_t fingerprint) const;
    void Insert(std::uint64_t fingerprint);
    std::size_t Size() const { return count_ + (hasZero_ ? 1 : 0); }

private:
    // 0 marks an empty slot; the fingerprint 0 is kept aside.
    std::size_t SlotOf(std::uint64_t fingerprint) const;
    void Grow();

    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;  // nonzero fingerprints held
    bool hasZero_ = false;
};

}  // namespace qx
