#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "search/RemainingRow.h"

namespace qx {

// The rows of the Remaining list. Rows are appended at the bottom and removed
// anywhere, most often by URL when a page's result arrives, so removal by URL
// finds the row through a hash map and the visible position through a
// Fenwick tree over the alive flags instead of scanning the list. Removed rows
// stay as tombstones until they are more than half of the storage.
class RemainingRows {
public:
    std::size_t Size() const { return alive_; }
    bool Empty() const { return alive_ == 0; }

    // The row at visible position `row` (0-based, top to bottom).
    RemainingRow At(std::size_t row) const;
    // Rewrites the row at `row`.
    void Set(std::size_t row, RemainingRow value);

    // Appends a row at the bottom; returns its visible position.
    std::size_t Append(RemainingRow row);
    // Inserts a row before visible position `row` (at the bottom when past
    // it); returns its position. Costs a pass over the list: meant for the
    // few rows handed over from the links page.
    std::size_t Insert(std::size_t row, RemainingRow value);
    // Removes the row at `row`.
    void RemoveAt(std::size_t row);
    // Removes the topmost row whose URL equals `url` exactly; returns the
    // position it had, or nothing when no row holds that URL.
    std::optional<std::size_t> RemoveByUrl(const std::string& url);
    // Position of the topmost row whose URL equals `url`.
    std::optional<std::size_t> Find(const std::string& url) const;

    void Clear();

private:
    std::size_t StorageIndexOf(std::size_t row) const;
    std::size_t RowOf(std::size_t storageIndex) const;  // alive rows before it
    void FenwickAdd(std::size_t storageIndex, int delta);
    void FenwickPush(int value);
    void RebuildFenwick();
    void IndexUrl(std::size_t storageIndex);
    void UnindexUrl(std::size_t storageIndex);
    void Kill(std::size_t storageIndex);
    void CompactIfSparse();

    // A row as stored: the URL and the three limit texts packed into one
    // short string, so that a row of a long list takes two strings, not four.
    struct StoredRow {
        std::string url;
        std::string limits;
    };
    static StoredRow Pack(RemainingRow row);
    static RemainingRow Unpack(const StoredRow& row);
    std::size_t AppendStored(StoredRow row);

    // A deque: a list of hundreds of thousands of rows grows without the
    // doubled copy of a vector's reallocation.
    std::deque<StoredRow> storage_;
    std::vector<std::uint8_t> aliveFlags_;
    std::vector<int> fenwick_;  // 1-based sums of alive flags
    // The storage indexes of the rows whose URLs share one hash, ascending.
    // Nearly every hash is held by one row, so the first index needs no
    // allocation.
    class UrlRows {
    public:
        explicit UrlRows(std::size_t index) : first_(index) {}
        // The first index for which `matches` holds, if any.
        template <typename Predicate>
        std::optional<std::size_t> FirstWhere(Predicate matches) const {
            if (matches(first_)) {
                return first_;
            }
            for (std::size_t index : more_) {
                if (matches(index)) {
                    return index;
                }
            }
            return std::nullopt;
        }
        void Add(std::size_t index);
        // False when no row is left.
        bool Remove(std::size_t index);
        // Every index from `at` on moves one place down.
        void ShiftFrom(std::size_t at);
        // Each index i becomes newIndex[i]; the order stays.
        void Renumber(const std::vector<std::size_t>& newIndex);

    private:
        std::size_t first_;
        std::vector<std::size_t> more_;  // after first_, ascending
    };
    // Keyed by the URL's hash rather than by a copy of it: a long list holds
    // each URL once, in its row. Rows whose URLs merely share a hash are told
    // apart by comparing the stored URL.
    std::unordered_map<std::size_t, UrlRows> byUrl_;
    static std::size_t HashOf(const std::string& url);
    // The storage index of the topmost row holding `url`.
    std::optional<std::size_t> TopmostIndexOf(const std::string& url) const;
    std::size_t alive_ = 0;
};

}  // namespace qx
