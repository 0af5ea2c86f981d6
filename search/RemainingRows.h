#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/RemainingRow.h"

namespace qx {

// The rows of the Remaining list. Rows are appended at the bottom and removed
// anywhere, most often by URL when a page's result arrives, so removal by URL
// finds the row through a hash table and the visible position through a
// Fenwick tree over the alive rows instead of scanning the list. Removed rows
// stay as tombstones until they are more than half of the storage. When no
// list shows the rows, removals can skip the tree (DropByUrl); it is built
// again when a position is next asked for.
//
// A crawl holds hundreds of thousands of rows, most of them repeats of URLs
// already listed, so a row is kept small: its texts are packed into a shared
// character arena and the row itself is a 12-byte record. A row appended with
// the same texts as the last row of its URL shares that row's texts.
class RemainingRows {
public:
    std::size_t Size() const { return alive_; }
    bool Empty() const { return alive_ == 0; }

    // The row at visible position `row` (0-based, top to bottom).
    RemainingRow At(std::size_t row) const;
    // Rewrites the row at `row`.
    void Set(std::size_t row, RemainingRow value);

    // Appends a row at the bottom; returns its visible position. Throws
    // std::length_error when the list cannot number another row.
    std::size_t Append(const RemainingRowView& row);
    // Inserts a row before visible position `row` (at the bottom when past
    // it); returns its position. Costs a pass over the list: meant for the
    // few rows handed over from the links page.
    std::size_t Insert(std::size_t row, RemainingRow value);
    // Removes the row at `row`.
    void RemoveAt(std::size_t row);
    // Removes the topmost row whose URL equals `url` exactly; returns the
    // position it had, or nothing when no row holds that URL. When given,
    // `beforeRemoval` is called with that position while the row is still
    // there; it may read the rows but not change them.
    std::optional<std::size_t> RemoveByUrl(
        std::string_view url, const std::function<void(std::size_t)>& beforeRemoval = {});
    // Removes the topmost row whose URL equals `url`, as RemoveByUrl does,
    // without working out its position; returns whether a row went. Meant
    // for a list no view shows: the positions are worked out again, once,
    // when a call next needs them.
    bool DropByUrl(std::string_view url);
    // Position of the topmost row whose URL equals `url`.
    std::optional<std::size_t> Find(std::string_view url) const;

    void Clear();

    // Bytes of text the rows hold, a text shared by several rows counted
    // once. Storage keeps the texts of removed rows until it is compacted.
    std::size_t TextBytes() const { return arena_.Used() - deadBytes_; }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    // Character storage for the rows' texts: blocks of 64 KiB filled in
    // turn, an entry too long for that in a block of its own. Entries are
    // never moved or freed one by one; an entry whose last row was rewritten
    // or removed leaves its bytes behind until the list is compacted.
    class Arena {
    public:
        struct Place {
            std::uint32_t block;
            std::uint16_t offset;
        };
        // Room for `size` bytes; fill them through Bytes() at once.
        Place Allocate(std::size_t size);
        char* Bytes(Place place) { return blocks_[place.block].data() + place.offset; }
        const char* Bytes(Place place) const { return blocks_[place.block].data() + place.offset; }
        std::size_t Used() const { return used_; }
        void Clear();

    private:
        std::vector<std::vector<char>> blocks_;
        std::uint32_t current_ = kNone;  // the block being filled
        std::size_t used_ = 0;
    };

    // A row as stored. Rows holding the same URL form a ring through `next`
    // in storage order, so the topmost of many repeats of one URL is found,
    // added to and removed without walking the others.
    struct Record {
        std::uint32_t block;
        std::uint32_t next;  // the next row with this URL; the last links to the first
        std::uint16_t offset;
        std::uint16_t alive;
    };

    // One slot of the URL index: the storage index of the last row holding
    // a URL, and 32 bits of the URL's hash. Open addressing with linear
    // probing; a removed slot's followers move back instead of leaving a
    // marker, so a long crawl does not fill the table with dead slots.
    struct Slot {
        std::uint32_t last = kNone;
        std::uint32_t hash = 0;
    };

    // The texts of a stored row: its URL and the packed limit texts after it.
    struct Entry {
        std::string_view url;
        const char* limits;
    };
    Entry EntryOf(std::size_t storageIndex) const;
    std::size_t EntrySizeOf(std::size_t storageIndex) const;  // bytes of the whole entry
    // Gives the row a new entry of its own holding `row`'s texts.
    void WriteEntry(std::size_t storageIndex, const RemainingRowView& row);
    // Makes the row hold the entry of the row at `sharedIndex` when that
    // entry's texts are `row`'s and it can count another sharer.
    bool ShareEntry(std::size_t storageIndex, std::size_t sharedIndex, const RemainingRowView& row);
    // The row lets go of its entry; the bytes are dead once no row holds them.
    void ReleaseEntry(std::size_t storageIndex);

    static std::uint32_t HashOf(std::string_view url);
    std::size_t HomeOf(std::uint32_t hash) const;
    // The slot of `url`, or kNone.
    std::size_t SlotOf(std::string_view url, std::uint32_t hash) const;
    void AddSlot(Slot slot);
    void EraseSlot(std::size_t at);
    void ResizeTable(std::size_t capacity);
    // After a compaction: a table mostly empty gets smaller.
    void ShrinkTableIfSparse();
    void LinkUrl(std::size_t storageIndex);
    // Links the row into the ring of `slot` (kNone: a new URL with `hash`).
    void LinkUrl(std::size_t storageIndex, std::size_t slot, std::uint32_t hash);
    void UnlinkUrl(std::size_t storageIndex);
    // The storage index of the topmost row holding `url`.
    std::optional<std::size_t> TopmostIndexOf(std::string_view url) const;

    std::size_t StorageIndexOf(std::size_t row) const;
    std::size_t RowOf(std::size_t storageIndex) const;  // alive rows before it
    // Removes the topmost row of the URL in `slot` (its ring's first).
    void RemoveFirstOf(std::size_t slot);
    void FenwickAdd(std::size_t storageIndex, int delta);
    void FenwickPush(std::uint32_t value) const;
    void RebuildFenwick() const;
    // Brings the tree up to date when removals have skipped it.
    void RefreshFenwick() const;
    void CheckRoomForAnotherRow() const;
    void Kill(std::size_t storageIndex);
    void CompactIfSparse();

    // A deque: a list of hundreds of thousands of rows grows without the
    // doubled copy of a vector's reallocation.
    std::deque<Record> records_;
    Arena arena_;
    std::size_t deadBytes_ = 0;  // arena bytes of entries no row holds any more
    // 1-based sums of alive rows. While `fenwickStale_` the tree is
    // neither kept nor held, and the first reader of a position builds it.
    mutable std::vector<std::uint32_t> fenwick_;
    mutable bool fenwickStale_ = false;
    std::vector<Slot> table_;
    std::size_t urls_ = 0;  // filled slots: distinct URLs
    std::size_t alive_ = 0;
};

}  // namespace qx
