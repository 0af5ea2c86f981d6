#include "search/RemainingRows.h"

#include <algorithm>
#include <stdexcept>

namespace qx {

namespace {

std::size_t LowBit(std::size_t i) {
    return i & (~i + 1);
}

// Limit texts are packed as a length byte and the bytes; "infinity", the
// text of most queued rows, is the single byte kInfinityMark; a text of 254
// bytes or more is kLongMark, four length bytes and the bytes.
constexpr unsigned char kInfinityMark = 0xFF;
constexpr unsigned char kLongMark = 0xFE;

void PackText(const std::string& text, std::string& packed) {
    if (text == "infinity") {
        packed.push_back(static_cast<char>(kInfinityMark));
        return;
    }
    if (text.size() < kLongMark) {
        packed.push_back(static_cast<char>(text.size()));
    } else {
        packed.push_back(static_cast<char>(kLongMark));
        const auto size = static_cast<std::uint32_t>(text.size());
        for (int shift = 0; shift < 32; shift += 8) {
            packed.push_back(static_cast<char>((size >> shift) & 0xFF));
        }
    }
    packed += text;
}

std::string UnpackText(const std::string& packed, std::size_t& pos) {
    const auto mark = static_cast<unsigned char>(packed.at(pos++));
    if (mark == kInfinityMark) {
        return "infinity";
    }
    std::size_t size = mark;
    if (mark == kLongMark) {
        size = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            size |= static_cast<std::size_t>(static_cast<unsigned char>(packed.at(pos++))) << shift;
        }
    }
    std::string text = packed.substr(pos, size);
    pos += size;
    return text;
}

}  // namespace

RemainingRows::StoredRow RemainingRows::Pack(RemainingRow row) {
    StoredRow stored{std::move(row.url), {}};
    PackText(row.depth, stored.limits);
    PackText(row.maxDepth, stored.limits);
    PackText(row.width, stored.limits);
    return stored;
}

RemainingRow RemainingRows::Unpack(const StoredRow& stored) {
    RemainingRow row;
    row.url = stored.url;
    std::size_t pos = 0;
    row.depth = UnpackText(stored.limits, pos);
    row.maxDepth = UnpackText(stored.limits, pos);
    row.width = UnpackText(stored.limits, pos);
    return row;
}

RemainingRow RemainingRows::At(std::size_t row) const {
    return Unpack(storage_[StorageIndexOf(row)]);
}

void RemainingRows::Set(std::size_t row, RemainingRow value) {
    const std::size_t index = StorageIndexOf(row);
    const bool renamed = storage_[index].url != value.url;
    if (renamed) {
        UnindexUrl(index);
    }
    storage_[index] = Pack(std::move(value));
    if (renamed) {
        IndexUrl(index);
    }
}

std::size_t RemainingRows::Append(RemainingRow row) {
    return AppendStored(Pack(std::move(row)));
}

std::size_t RemainingRows::AppendStored(StoredRow row) {
    storage_.push_back(std::move(row));
    aliveFlags_.push_back(1);
    FenwickPush(1);
    IndexUrl(storage_.size() - 1);
    return alive_++;
}

std::size_t RemainingRows::Insert(std::size_t row, RemainingRow value) {
    if (row >= alive_) {
        return Append(std::move(value));
    }
    const std::size_t at = StorageIndexOf(row);
    const auto offset = static_cast<std::ptrdiff_t>(at);
    storage_.insert(storage_.begin() + offset, Pack(std::move(value)));
    aliveFlags_.insert(aliveFlags_.begin() + offset, 1);
    // Every stored row from `at` on moves one place down.
    for (auto& entry : byUrl_) {
        entry.second.ShiftFrom(at);
    }
    RebuildFenwick();
    IndexUrl(at);
    ++alive_;
    return row;
}

void RemainingRows::RemoveAt(std::size_t row) {
    const std::size_t index = StorageIndexOf(row);
    UnindexUrl(index);
    Kill(index);
    CompactIfSparse();
}

std::size_t RemainingRows::HashOf(const std::string& url) {
    return std::hash<std::string>{}(url);
}

std::optional<std::size_t> RemainingRows::TopmostIndexOf(const std::string& url) const {
    auto entry = byUrl_.find(HashOf(url));
    if (entry == byUrl_.end()) {
        return std::nullopt;
    }
    return entry->second.FirstWhere([&](std::size_t i) { return storage_[i].url == url; });
}

std::optional<std::size_t> RemainingRows::RemoveByUrl(const std::string& url) {
    const std::optional<std::size_t> index = TopmostIndexOf(url);
    if (!index) {
        return std::nullopt;
    }
    const std::size_t row = RowOf(*index);
    UnindexUrl(*index);
    Kill(*index);
    CompactIfSparse();
    return row;
}

std::optional<std::size_t> RemainingRows::Find(const std::string& url) const {
    const std::optional<std::size_t> index = TopmostIndexOf(url);
    if (!index) {
        return std::nullopt;
    }
    return RowOf(*index);
}

void RemainingRows::Clear() {
    storage_.clear();
    aliveFlags_.clear();
    fenwick_.clear();
    byUrl_.clear();
    alive_ = 0;
}

std::size_t RemainingRows::StorageIndexOf(std::size_t row) const {
    if (row >= alive_) {
        throw std::out_of_range("Remaining row out of range");
    }
    // Descend the Fenwick tree to the smallest prefix holding row + 1 alive rows.
    std::size_t position = 0;
    std::size_t remaining = row + 1;
    std::size_t step = 1;
    while (step * 2 <= storage_.size()) {
        step *= 2;
    }
    for (; step > 0; step /= 2) {
        const std::size_t next = position + step;
        if (next <= storage_.size() && static_cast<std::size_t>(fenwick_[next]) < remaining) {
            position = next;
            remaining -= static_cast<std::size_t>(fenwick_[next]);
        }
    }
    return position;  // 1-based position + 1 - 1
}

std::size_t RemainingRows::RowOf(std::size_t storageIndex) const {
    std::size_t sum = 0;
    for (std::size_t i = storageIndex; i > 0; i -= LowBit(i)) {
        sum += static_cast<std::size_t>(fenwick_[i]);
    }
    return sum;
}

void RemainingRows::FenwickAdd(std::size_t storageIndex, int delta) {
    for (std::size_t i = storageIndex + 1; i < fenwick_.size(); i += LowBit(i)) {
        fenwick_[i] += delta;
    }
}

void RemainingRows::FenwickPush(int value) {
    if (fenwick_.empty()) {
        fenwick_.push_back(0);  // index 0 is unused
    }
    // Node i covers (i - lowbit(i), i]: its value plus the nodes below it.
    const std::size_t i = fenwick_.size();
    int sum = value;
    for (std::size_t child = i - 1; child > i - LowBit(i); child -= LowBit(child)) {
        sum += fenwick_[child];
    }
    fenwick_.push_back(sum);
}

void RemainingRows::RebuildFenwick() {
    fenwick_.clear();
    for (std::uint8_t alive : aliveFlags_) {
        FenwickPush(alive);
    }
}

void RemainingRows::IndexUrl(std::size_t storageIndex) {
    auto [entry, added] = byUrl_.try_emplace(HashOf(storage_[storageIndex].url), storageIndex);
    if (!added) {
        entry->second.Add(storageIndex);
    }
}

void RemainingRows::UnindexUrl(std::size_t storageIndex) {
    auto found = byUrl_.find(HashOf(storage_[storageIndex].url));
    if (found != byUrl_.end() && !found->second.Remove(storageIndex)) {
        byUrl_.erase(found);
    }
}

void RemainingRows::UrlRows::Add(std::size_t index) {
    if (index < first_) {
        std::swap(index, first_);
    }
    more_.insert(std::lower_bound(more_.begin(), more_.end(), index), index);
}

bool RemainingRows::UrlRows::Remove(std::size_t index) {
    if (index == first_) {
        if (more_.empty()) {
            return false;
        }
        first_ = more_.front();
        more_.erase(more_.begin());
        return true;
    }
    auto at = std::lower_bound(more_.begin(), more_.end(), index);
    if (at != more_.end() && *at == index) {
        more_.erase(at);
    }
    return true;
}

void RemainingRows::UrlRows::Renumber(const std::vector<std::size_t>& newIndex) {
    first_ = newIndex[first_];
    for (std::size_t& index : more_) {
        index = newIndex[index];
    }
}

void RemainingRows::UrlRows::ShiftFrom(std::size_t at) {
    if (first_ >= at) {
        ++first_;
    }
    for (std::size_t& index : more_) {
        if (index >= at) {
            ++index;
        }
    }
}

void RemainingRows::Kill(std::size_t storageIndex) {
    aliveFlags_[storageIndex] = 0;
    FenwickAdd(storageIndex, -1);
    storage_[storageIndex] = StoredRow{};
    --alive_;
}

void RemainingRows::CompactIfSparse() {
    if (storage_.size() < 64 || alive_ * 2 >= storage_.size()) {
        return;
    }
    // The URL index is renumbered in place rather than built again: hashing
    // every URL of a list of a hundred thousand rows again would hold up the
    // window for a noticeable moment.
    // The rows move up in place: a second list of them would be the peak of
    // the program's memory when a long list is compacted.
    std::vector<std::size_t> newIndex(storage_.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < storage_.size(); ++i) {
        if (aliveFlags_[i]) {
            newIndex[i] = kept;
            if (kept != i) {
                storage_[kept] = std::move(storage_[i]);
            }
            ++kept;
        }
    }
    storage_.erase(storage_.begin() + static_cast<std::ptrdiff_t>(kept), storage_.end());
    storage_.shrink_to_fit();
    aliveFlags_.assign(storage_.size(), 1);
    RebuildFenwick();
    for (auto& entry : byUrl_) {
        entry.second.Renumber(newIndex);
    }
}

}  // namespace qx
