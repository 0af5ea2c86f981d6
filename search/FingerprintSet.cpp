#include "search/FingerprintSet.h"

namespace qx {

namespace {

constexpr std::size_t kInitialSlots = 1024;  // a power of two

// Spreads the bits before the mask takes the low ones.
std::size_t HomeOf(std::uint64_t fingerprint, std::size_t mask) {
    return static_cast<std::size_t>((fingerprint * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

}  // namespace

std::size_t FingerprintSet::SlotOf(std::uint64_t fingerprint) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = HomeOf(fingerprint, mask);
    while (slots_[slot] != 0 && slots_[slot] != fingerprint) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

bool FingerprintSet::Contains(std::uint64_t fingerprint) const {
    if (fingerprint == 0) {
        return hasZero_;
    }
    return !slots_.empty() && slots_[SlotOf(fingerprint)] == fingerprint;
}

void FingerprintSet::Insert(std::uint64_t fingerprint) {
    if (fingerprint == 0) {
        hasZero_ = true;
        return;
    }
    // At most three quarters full, so that every probe ends at an empty slot.
    if (slots_.empty() || (count_ + 1) * 4 > slots_.size() * 3) {
        Grow();
    }
    const std::size_t slot = SlotOf(fingerprint);
    if (slots_[slot] == 0) {
        slots_[slot] = fingerprint;
        ++count_;
    }
}

void FingerprintSet::Grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? kInitialSlots : old.size() * 2, 0);
    for (std::uint64_t fingerprint : old) {
        if (fingerprint != 0) {
            slots_[SlotOf(fingerprint)] = fingerprint;
        }
    }
}

}  // namespace qx
