#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// How a list on screen stands against the rows of their holder (a search
// session's list) between two batches: how many rows the views have, how
// many of the holder's bottom rows they do not have yet, and which shown rows
// the holder has already let go of, with a copy of each so it can still be
// drawn. Holder rows count the rows as the holder has them now, shown rows
// as the views have them.
//
// The holder's changes are recorded as they happen, on whichever thread makes
// them; a batch then shows them all at once on the views' thread. The book
// itself takes no lock: keep every call under the lock that guards the
// holder's rows, so that the book and the holder change together.
class ShownRowBook {
public:
    // More removals than this between two batches make the batch a reset.
    static constexpr std::size_t kMaxRemovedRows = 4096;
    // A batch with more separate runs of removed rows is shown as a reset.
    static constexpr std::size_t kMaxSignalledRuns = 8;

    using CellSink = std::function<void(std::string_view)>;
    // Gives each column's text of the holder's row, in turn.
    using RowCopier = std::function<void(std::size_t row, const CellSink& cell)>;

    explicit ShownRowBook(std::size_t columns) : columns_(columns) {}

    // --- the holder's changes (any thread, under the holder's lock) -------
    // The holder appended its row `row`. An index that does not follow the
    // rows the book knows means the two are out of step: the next batch
    // shows the holder afresh.
    void Appended(std::size_t row);
    // The holder is about to remove its row `row`, which `copy` still reads.
    void Removing(std::size_t row, const RowCopier& copy);
    // No more removals fit before a batch: the next one would make it a
    // reset. A holder on the views' thread shows a batch first.
    bool Full() const { return removed_.size() >= kMaxRemovedRows; }
    // Whether anything waits for a batch.
    bool Dirty() const { return resetWanted_ || pending_ > 0 || !removed_.empty(); }

    // --- what the views have -------------------------------------------
    std::size_t Shown() const { return shown_; }
    std::size_t Pending() const { return pending_; }
    // The rows the holder has now.
    std::size_t HolderRows() const { return holderRows_; }
    // The copied text of a shown row the holder no longer has.
    std::optional<std::string_view> CopiedCell(std::size_t shownRow, std::size_t column) const;
    // The holder's row for shown row `shownRow` (one that is not a copy).
    std::size_t HolderIndexOf(std::size_t shownRow) const;

    // --- a batch (the views' thread, under the holder's lock) -------------
    // The whole list is shown afresh rather than change by change.
    bool BatchIsReset() const;
    // Forgets every change: the views now have the holder's `rows` rows.
    void Reset(std::size_t rows);
    struct Run {
        std::size_t first;
        std::size_t last;
    };
    // The bottom run of removed shown rows; the views drop it, then call
    // DropBottomRun and ask again, so the rows above keep their numbers.
    std::optional<Run> BottomRun() const;
    void DropBottomRun();
    // The rows appended since the last batch join the views.
    void ShowPending();
    // A row inserted into the holder before the views are told: shown rows
    // skip it until InsertShown.
    void BeginInsert(std::size_t row);
    void InsertShown();

private:
    struct RemovedRow {
        std::uint32_t shownRow;
        std::uint32_t copy;  // where its cells start in copyEnds_
    };
    std::size_t ShownIndexOf(std::size_t row) const;
    const RemovedRow* RemovedAt(std::size_t shownRow) const;
    std::uint32_t CopyRow(std::size_t row, const RowCopier& copy);
    void WantReset();

    std::size_t columns_;
    std::size_t shown_ = 0;
    std::size_t pending_ = 0;
    std::size_t holderRows_ = 0;
    bool resetWanted_ = false;
    std::vector<RemovedRow> removed_;  // ascending by shownRow
    // The removed rows' cells, one after another, and where each ends.
    std::string copyText_;
    std::vector<std::uint32_t> copyEnds_;
    std::optional<std::size_t> unannounced_;
};

}  // namespace qx
