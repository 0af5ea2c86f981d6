#include "search/RemainingRows.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace qx {

namespace {

std::size_t LowBit(std::size_t i) {
    return i & (~i + 1);
}

constexpr std::size_t kBlockSize = 64 * 1024;
// Longer entries get a block of their own, so that no more than this is
// left unused at the end of a block.
constexpr std::size_t kLongEntry = 2 * 1024;
// Compaction for rewritten rows' bytes waits until the arena holds this much.
constexpr std::size_t kCompactBytes = 64 * 1024;

// An entry is a byte counting the rows that hold it, the URL's length and
// bytes, then the three limit texts. A length is written seven bits a byte,
// low bits first, the top bit set on every byte but the last. A limit text is
// "infinity", the text of most queued rows, as a single 0 byte, any other
// text as its length plus one and its bytes. The smallest entry takes five
// bytes, room enough for compaction's forwarding note (see CompactIfSparse).
constexpr unsigned char kMaxSharers = 0xFF;
std::size_t LengthSize(std::size_t length) {
    std::size_t size = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++size;
    }
    return size;
}

char* WriteLength(std::size_t length, char* out) {
    while (length >= 0x80) {
        *out++ = static_cast<char>((length & 0x7F) | 0x80);
        length >>= 7;
    }
    *out++ = static_cast<char>(length);
    return out;
}

std::size_t ReadLength(const char*& in) {
    std::size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return length;
        }
    }
}

bool IsInfinity(std::string_view text) {
    return text == "infinity";
}

std::size_t LimitSize(std::string_view text) {
    return IsInfinity(text) ? 1 : LengthSize(text.size() + 1) + text.size();
}

char* WriteLimit(std::string_view text, char* out) {
    if (IsInfinity(text)) {
        *out++ = 0;
        return out;
    }
    out = WriteLength(text.size() + 1, out);
    return std::copy(text.begin(), text.end(), out);
}

std::string ReadLimit(const char*& in) {
    const std::size_t length = ReadLength(in);
    if (length == 0) {
        return "infinity";
    }
    std::string text(in, length - 1);
    in += length - 1;
    return text;
}

// Whether the packed limit text at `in` is `text`; moves `in` past it.
bool LimitMatches(const char*& in, std::string_view text) {
    const std::size_t length = ReadLength(in);
    if (length == 0) {
        return IsInfinity(text);
    }
    const bool same = !IsInfinity(text) && length - 1 == text.size() &&
                      std::memcmp(in, text.data(), text.size()) == 0;
    in += length - 1;
    return same;
}

const char* SkipLimits(const char* in) {
    for (int i = 0; i < 3; ++i) {
        const std::size_t length = ReadLength(in);
        in += length == 0 ? 0 : length - 1;
    }
    return in;
}

std::size_t EntrySize(const RemainingRowView& row) {
    return 1 + LengthSize(row.url.size()) + row.url.size() + LimitSize(row.depth) +
           LimitSize(row.maxDepth) + LimitSize(row.width);
}

}  // namespace

RemainingRows::Arena::Place RemainingRows::Arena::Allocate(std::size_t size) {
    if (blocks_.size() >= kNone) {
        throw std::length_error("Remaining list texts fill every block");
    }
    used_ += size;
    if (size > kLongEntry) {
        blocks_.emplace_back(size);
        return {static_cast<std::uint32_t>(blocks_.size() - 1), 0};
    }
    if (current_ == kNone || blocks_[current_].size() + size > kBlockSize) {
        blocks_.emplace_back();
        current_ = static_cast<std::uint32_t>(blocks_.size() - 1);
    }
    std::vector<char>& block = blocks_[current_];
    if (block.capacity() < kBlockSize) {
        block.reserve(kBlockSize);
    }
    const std::size_t offset = block.size();
    block.resize(offset + size);
    return {current_, static_cast<std::uint16_t>(offset)};
}

void RemainingRows::Arena::Clear() {
    std::vector<std::vector<char>>().swap(blocks_);
    current_ = kNone;
    used_ = 0;
}

RemainingRows::Entry RemainingRows::EntryOf(std::size_t storageIndex) const {
    const Record& record = records_[storageIndex];
    const char* in = arena_.Bytes({record.block, record.offset}) + 1;
    const std::size_t length = ReadLength(in);
    return {std::string_view(in, length), in + length};
}

std::size_t RemainingRows::EntrySizeOf(std::size_t storageIndex) const {
    const Record& record = records_[storageIndex];
    const char* const start = arena_.Bytes({record.block, record.offset});
    return static_cast<std::size_t>(SkipLimits(EntryOf(storageIndex).limits) - start);
}

void RemainingRows::WriteEntry(std::size_t storageIndex, const RemainingRowView& row) {
    const std::size_t size = EntrySize(row);
    const Arena::Place place = arena_.Allocate(size);
    char* out = arena_.Bytes(place);
    *out++ = 1;
    out = WriteLength(row.url.size(), out);
    out = std::copy(row.url.begin(), row.url.end(), out);
    out = WriteLimit(row.depth, out);
    out = WriteLimit(row.maxDepth, out);
    WriteLimit(row.width, out);
    Record& record = records_[storageIndex];
    record.block = place.block;
    record.offset = place.offset;
    record.alive = 1;
}

bool RemainingRows::ShareEntry(std::size_t storageIndex, std::size_t sharedIndex,
                               const RemainingRowView& row) {
    const Record shared = records_[sharedIndex];
    char* const sharers = arena_.Bytes({shared.block, shared.offset});
    if (static_cast<unsigned char>(*sharers) == kMaxSharers) {
        return false;
    }
    const Entry entry = EntryOf(sharedIndex);
    const char* in = entry.limits;
    if (entry.url != row.url || !LimitMatches(in, row.depth) || !LimitMatches(in, row.maxDepth) ||
        !LimitMatches(in, row.width)) {
        return false;
    }
    *sharers = static_cast<char>(static_cast<unsigned char>(*sharers) + 1);
    records_[storageIndex] = Record{shared.block, records_[storageIndex].next, shared.offset, 1};
    return true;
}

void RemainingRows::ReleaseEntry(std::size_t storageIndex) {
    const Record& record = records_[storageIndex];
    char* const sharers = arena_.Bytes({record.block, record.offset});
    if (static_cast<unsigned char>(*sharers) > 1) {
        *sharers = static_cast<char>(static_cast<unsigned char>(*sharers) - 1);
        return;
    }
    deadBytes_ += EntrySizeOf(storageIndex);
}

RemainingRow RemainingRows::At(std::size_t row) const {
    const Entry entry = EntryOf(StorageIndexOf(row));
    RemainingRow value;
    value.url = std::string(entry.url);
    const char* in = entry.limits;
    value.depth = ReadLimit(in);
    value.maxDepth = ReadLimit(in);
    value.width = ReadLimit(in);
    return value;
}

void RemainingRows::Set(std::size_t row, RemainingRow value) {
    const std::size_t index = StorageIndexOf(row);
    const bool renamed = EntryOf(index).url != value.url;
    if (renamed) {
        UnlinkUrl(index);
    }
    // The new texts go to the end of the arena, never into an entry other
    // rows may share; the old ones wait there for the next compaction.
    ReleaseEntry(index);
    WriteEntry(index, value);
    if (renamed) {
        LinkUrl(index);
    }
    CompactIfSparse();
}

void RemainingRows::CheckRoomForAnotherRow() const {
    // Storage indexes are 32 bits, and one value marks an empty slot.
    if (records_.size() >= kNone - 1) {
        throw std::length_error("Remaining list holds as many rows as it can number");
    }
}

std::size_t RemainingRows::Append(const RemainingRowView& row) {
    CheckRoomForAnotherRow();
    records_.push_back(Record{});
    const std::size_t index = records_.size() - 1;
    const std::uint32_t hash = HashOf(row.url);
    const std::size_t slot = SlotOf(row.url, hash);
    // Repeats of a URL mostly come with the same limits as the last one.
    if (slot == kNone || !ShareEntry(index, table_[slot].last, row)) {
        WriteEntry(index, row);
    }
    if (!fenwickStale_) {
        FenwickPush(1);
    }
    LinkUrl(index, slot, hash);
    return alive_++;
}

std::size_t RemainingRows::Insert(std::size_t row, RemainingRow value) {
    if (row >= alive_) {
        return Append(std::move(value));
    }
    CheckRoomForAnotherRow();
    const std::size_t at = StorageIndexOf(row);
    records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(at), Record{});
    // Every stored row from `at` on moves one place down.
    const auto shifted = [at](std::uint32_t& index) {
        if (index >= at) {
            ++index;
        }
    };
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (i != at && records_[i].alive) {
            shifted(records_[i].next);
        }
    }
    for (Slot& slot : table_) {
        if (slot.last != kNone) {
            shifted(slot.last);
        }
    }
    WriteEntry(at, value);
    RebuildFenwick();
    LinkUrl(at);
    ++alive_;
    return row;
}

void RemainingRows::RemoveAt(std::size_t row) {
    const std::size_t index = StorageIndexOf(row);
    UnlinkUrl(index);
    Kill(index);
    CompactIfSparse();
}

std::optional<std::size_t> RemainingRows::RemoveByUrl(
    std::string_view url, const std::function<void(std::size_t)>& beforeRemoval) {
    const std::uint32_t hash = HashOf(url);
    const std::size_t slot = SlotOf(url, hash);
    if (slot == kNone) {
        return std::nullopt;
    }
    // The topmost row is the one after the last in the URL's ring.
    const std::size_t row = RowOf(records_[table_[slot].last].next);
    if (beforeRemoval) {
        beforeRemoval(row);
    }
    RemoveFirstOf(slot);
    return row;
}

bool RemainingRows::DropByUrl(std::string_view url) {
    const std::size_t slot = SlotOf(url, HashOf(url));
    if (slot == kNone) {
        return false;
    }
    if (!fenwickStale_) {
        std::vector<std::uint32_t>().swap(fenwick_);
        fenwickStale_ = true;
    }
    RemoveFirstOf(slot);
    return true;
}

void RemainingRows::RemoveFirstOf(std::size_t slot) {
    const std::uint32_t last = table_[slot].last;
    const std::uint32_t first = records_[last].next;
    if (first == last) {
        EraseSlot(slot);
    } else {
        records_[last].next = records_[first].next;
    }
    Kill(first);
    CompactIfSparse();
}

std::optional<std::size_t> RemainingRows::Find(std::string_view url) const {
    const std::optional<std::size_t> index = TopmostIndexOf(url);
    if (!index) {
        return std::nullopt;
    }
    return RowOf(*index);
}

std::optional<std::size_t> RemainingRows::TopmostIndexOf(std::string_view url) const {
    const std::size_t slot = SlotOf(url, HashOf(url));
    if (slot == kNone) {
        return std::nullopt;
    }
    return records_[table_[slot].last].next;
}

void RemainingRows::Clear() {
    records_.clear();
    arena_.Clear();
    deadBytes_ = 0;
    std::vector<std::uint32_t>().swap(fenwick_);
    fenwickStale_ = false;
    std::vector<Slot>().swap(table_);
    urls_ = 0;
    alive_ = 0;
}

std::size_t RemainingRows::StorageIndexOf(std::size_t row) const {
    if (row >= alive_) {
        throw std::out_of_range("Remaining row out of range");
    }
    RefreshFenwick();
    // Descend the Fenwick tree to the smallest prefix holding row + 1 alive rows.
    std::size_t position = 0;
    std::size_t remaining = row + 1;
    std::size_t step = 1;
    while (step * 2 <= records_.size()) {
        step *= 2;
    }
    for (; step > 0; step /= 2) {
        const std::size_t next = position + step;
        if (next <= records_.size() && fenwick_[next] < remaining) {
            position = next;
            remaining -= fenwick_[next];
        }
    }
    return position;  // 1-based position + 1 - 1
}

std::size_t RemainingRows::RowOf(std::size_t storageIndex) const {
    RefreshFenwick();
    std::size_t sum = 0;
    for (std::size_t i = storageIndex; i > 0; i -= LowBit(i)) {
        sum += fenwick_[i];
    }
    return sum;
}

void RemainingRows::FenwickAdd(std::size_t storageIndex, int delta) {
    if (fenwickStale_) {
        return;
    }
    // Unsigned sums: adding the wrapped -1 subtracts one.
    const auto step = static_cast<std::uint32_t>(delta);
    for (std::size_t i = storageIndex + 1; i < fenwick_.size(); i += LowBit(i)) {
        fenwick_[i] += step;
    }
}

void RemainingRows::FenwickPush(std::uint32_t value) const {
    if (fenwick_.empty()) {
        fenwick_.push_back(0);  // index 0 is unused
    }
    // Node i covers (i - lowbit(i), i]: its value plus the nodes below it.
    const std::size_t i = fenwick_.size();
    std::uint32_t sum = value;
    for (std::size_t child = i - 1; child > i - LowBit(i); child -= LowBit(child)) {
        sum += fenwick_[child];
    }
    fenwick_.push_back(sum);
}

void RemainingRows::RebuildFenwick() const {
    std::vector<std::uint32_t>().swap(fenwick_);
    fenwick_.reserve(records_.size() + 1);
    for (const Record& record : records_) {
        FenwickPush(record.alive);
    }
    fenwickStale_ = false;
}

void RemainingRows::RefreshFenwick() const {
    if (fenwickStale_) {
        RebuildFenwick();
    }
}

void RemainingRows::Kill(std::size_t storageIndex) {
    ReleaseEntry(storageIndex);
    records_[storageIndex].alive = 0;
    FenwickAdd(storageIndex, -1);
    --alive_;
}

void RemainingRows::CompactIfSparse() {
    const bool sparseRows = records_.size() >= 64 && alive_ * 2 < records_.size();
    const bool sparseBytes = arena_.Used() >= kCompactBytes && deadBytes_ * 2 > arena_.Used();
    if (!sparseRows && !sparseBytes) {
        return;
    }
    // The alive rows move up in place and their texts into a new arena in
    // list order; the URL index is renumbered rather than built again, as
    // hashing every URL of a long list would hold up the window.
    std::vector<std::uint32_t> newIndex(records_.size(), kNone);
    Arena packed;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (!records_[i].alive) {
            continue;
        }
        char* const old = arena_.Bytes({records_[i].block, records_[i].offset});
        Arena::Place place;
        if (*old == 0) {
            // A shared entry already moved: its old bytes hold, instead of
            // the sharer count, 0 and the new index of the row that took it.
            std::uint32_t mover;
            std::memcpy(&mover, old + 1, sizeof mover);
            place = {records_[mover].block, records_[mover].offset};
        } else {
            const std::size_t size = EntrySizeOf(i);
            place = packed.Allocate(size);
            std::memcpy(packed.Bytes(place), old, size);
            if (static_cast<unsigned char>(*old) > 1) {
                const auto mover = static_cast<std::uint32_t>(kept);
                *old = 0;
                std::memcpy(old + 1, &mover, sizeof mover);
            }
        }
        newIndex[i] = static_cast<std::uint32_t>(kept);
        records_[kept] = Record{place.block, records_[i].next, place.offset, 1};
        ++kept;
    }
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(kept), records_.end());
    records_.shrink_to_fit();
    for (Record& record : records_) {
        record.next = newIndex[record.next];
    }
    for (Slot& slot : table_) {
        if (slot.last != kNone) {
            slot.last = newIndex[slot.last];
        }
    }
    arena_ = std::move(packed);
    deadBytes_ = 0;
    if (!fenwickStale_) {
        RebuildFenwick();
    }
    ShrinkTableIfSparse();
}

}  // namespace qx
