#include "search/RemainingRows.h"

#include <algorithm>
#include <functional>

// The URL index of the Remaining rows: an open-addressing hash table from a
// URL to the ring of rows holding it.

namespace qx {

namespace {

constexpr std::size_t kMinTable = 16;
constexpr std::uint64_t kMaxTable = std::uint64_t{1} << 32;

}  // namespace

std::uint32_t RemainingRows::HashOf(std::string_view url) {
    const std::uint64_t hash = std::hash<std::string_view>{}(url);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::size_t RemainingRows::HomeOf(std::uint32_t hash) const {
    // Maps the hash onto the table's slots without a division.
    return static_cast<std::size_t>((std::uint64_t{hash} * table_.size()) >> 32);
}

std::size_t RemainingRows::SlotOf(std::string_view url, std::uint32_t hash) const {
    if (table_.empty()) {
        return kNone;
    }
    // URLs that merely share the hash are told apart by their stored text.
    for (std::size_t i = HomeOf(hash);; i = i + 1 == table_.size() ? 0 : i + 1) {
        const Slot& slot = table_[i];
        if (slot.last == kNone) {
            return kNone;
        }
        if (slot.hash == hash && EntryOf(slot.last).url == url) {
            return i;
        }
    }
}

void RemainingRows::AddSlot(Slot slot) {
    // The table stays at most four fifths full, so probes stay short and
    // every probe meets an empty slot.
    if ((urls_ + 1) * 5 > table_.size() * 4) {
        const std::uint64_t grown = std::max<std::uint64_t>(kMinTable, table_.size() * 3 / 2);
        ResizeTable(static_cast<std::size_t>(std::min(grown, kMaxTable)));
    }
    std::size_t i = HomeOf(slot.hash);
    while (table_[i].last != kNone) {
        i = i + 1 == table_.size() ? 0 : i + 1;
    }
    table_[i] = slot;
    ++urls_;
}

void RemainingRows::EraseSlot(std::size_t at) {
    // Each later slot of the run moves back into the hole unless its home
    // lies after the hole, where a probe for it would no longer pass.
    std::size_t hole = at;
    for (std::size_t i = hole + 1;; ++i) {
        if (i == table_.size()) {
            i = 0;
        }
        if (table_[i].last == kNone) {
            break;
        }
        const std::size_t home = HomeOf(table_[i].hash);
        const bool homeAfterHole =
            hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
        if (!homeAfterHole) {
            table_[hole] = table_[i];
            hole = i;
        }
    }
    table_[hole] = Slot{};
    --urls_;
}

void RemainingRows::ResizeTable(std::size_t capacity) {
    std::vector<Slot> old(capacity);
    old.swap(table_);
    for (const Slot& slot : old) {
        if (slot.last == kNone) {
            continue;
        }
        std::size_t i = HomeOf(slot.hash);
        while (table_[i].last != kNone) {
            i = i + 1 == table_.size() ? 0 : i + 1;
        }
        table_[i] = slot;
    }
}

void RemainingRows::ShrinkTableIfSparse() {
    if (table_.size() > kMinTable && urls_ * 4 < table_.size()) {
        ResizeTable(std::max(kMinTable, urls_ * 2));
    }
}

void RemainingRows::LinkUrl(std::size_t storageIndex) {
    const std::string_view url = EntryOf(storageIndex).url;
    const std::uint32_t hash = HashOf(url);
    LinkUrl(storageIndex, SlotOf(url, hash), hash);
}

void RemainingRows::LinkUrl(std::size_t storageIndex, std::size_t slot, std::uint32_t hash) {
    const auto index = static_cast<std::uint32_t>(storageIndex);
    if (slot == kNone) {
        records_[index].next = index;
        AddSlot({index, hash});
        return;
    }
    const std::uint32_t last = table_[slot].last;
    if (index > last) {
        // An appended row: the new last of the ring.
        records_[index].next = records_[last].next;
        records_[last].next = index;
        table_[slot].last = index;
        return;
    }
    // An inserted or renamed row goes to its place in storage order.
    std::uint32_t before = last;
    while (records_[before].next < index) {
        before = records_[before].next;
    }
    records_[index].next = records_[before].next;
    records_[before].next = index;
}

void RemainingRows::UnlinkUrl(std::size_t storageIndex) {
    const auto index = static_cast<std::uint32_t>(storageIndex);
    const std::string_view url = EntryOf(index).url;
    const std::size_t slot = SlotOf(url, HashOf(url));
    if (slot == kNone) {
        return;
    }
    if (records_[index].next == index) {
        EraseSlot(slot);
        return;
    }
    std::uint32_t before = table_[slot].last;
    while (records_[before].next != index) {
        before = records_[before].next;
    }
    records_[before].next = records_[index].next;
    if (table_[slot].last == index) {
        table_[slot].last = before;
    }
}

}  // namespace qx
