#include "search/ShownRowBook.h"

#include <algorithm>

namespace qx {

namespace {

// Orders removed rows (ascending by shown row) against a shown row.
constexpr auto kShownBefore = [](const auto& removed, std::size_t row) {
    return removed.shownRow < row;
};

}  // namespace

void ShownRowBook::WantReset() {
    // Past this point single changes cannot be followed any more; the views
    // get the holder afresh with the next batch.
    resetWanted_ = true;
    removed_.clear();
    copyText_.clear();
    copyEnds_.clear();
    pending_ = 0;
}

void ShownRowBook::Appended(std::size_t row) {
    if (!resetWanted_ && row != holderRows_) {
        WantReset();
    }
    holderRows_ = row + 1;
    if (!resetWanted_) {
        ++pending_;
    }
}

void ShownRowBook::Removing(std::size_t row, const RowCopier& copy) {
    if (row >= holderRows_) {
        return;
    }
    --holderRows_;
    if (resetWanted_) {
        return;
    }
    if (removed_.size() >= kMaxRemovedRows) {
        WantReset();
        return;
    }
    const std::size_t visible = shown_ - removed_.size();
    if (row >= visible) {
        --pending_;  // never shown
        return;
    }
    const std::size_t at = ShownIndexOf(row);
    const auto place = std::lower_bound(removed_.begin(), removed_.end(), at, kShownBefore);
    removed_.insert(place, RemovedRow{static_cast<std::uint32_t>(at), CopyRow(row, copy)});
}

std::uint32_t ShownRowBook::CopyRow(std::size_t row, const RowCopier& copy) {
    const auto first = static_cast<std::uint32_t>(copyEnds_.size());
    const CellSink add = [this](std::string_view cell) {
        copyText_.append(cell);
        copyEnds_.push_back(static_cast<std::uint32_t>(copyText_.size()));
    };
    if (copy) {
        copy(row, add);
    }
    // Missing cells show empty; extra ones would shift the next row's.
    copyEnds_.resize(first + columns_, static_cast<std::uint32_t>(copyText_.size()));
    return first;
}

std::size_t ShownRowBook::ShownIndexOf(std::size_t row) const {
    // The i-th removed row has i removed rows above it, so shownRow - i rows
    // the holder still has; the removed rows above the place are those with
    // at most `row` of them. That count only grows down the list, so it is
    // found by halving: a crawl removes thousands of rows per batch.
    const auto above = std::partition_point(
        removed_.begin(), removed_.end(), [this, row](const RemovedRow& removed) {
            return removed.shownRow - static_cast<std::size_t>(&removed - removed_.data()) <= row;
        });
    return row + static_cast<std::size_t>(above - removed_.begin());
}

const ShownRowBook::RemovedRow* ShownRowBook::RemovedAt(std::size_t shownRow) const {
    const auto it = std::lower_bound(removed_.begin(), removed_.end(), shownRow, kShownBefore);
    return it != removed_.end() && it->shownRow == shownRow ? &*it : nullptr;
}

std::optional<std::string_view> ShownRowBook::CopiedCell(std::size_t shownRow,
                                                         std::size_t column) const {
    const RemovedRow* removed = RemovedAt(shownRow);
    if (removed == nullptr) {
        return std::nullopt;
    }
    if (column >= columns_) {
        return std::string_view();
    }
    const std::size_t cell = removed->copy + column;
    const std::size_t begin = cell == 0 ? 0 : copyEnds_[cell - 1];
    return std::string_view(copyText_).substr(begin, copyEnds_[cell] - begin);
}

std::size_t ShownRowBook::HolderIndexOf(std::size_t shownRow) const {
    const auto removedAbove =
        std::lower_bound(removed_.begin(), removed_.end(), shownRow, kShownBefore);
    std::size_t row = shownRow - static_cast<std::size_t>(removedAbove - removed_.begin());
    if (unannounced_ && row >= *unannounced_) {
        ++row;
    }
    return row;
}

bool ShownRowBook::BatchIsReset() const {
    if (resetWanted_) {
        return true;
    }
    std::size_t runs = removed_.empty() ? 0 : 1;
    for (std::size_t i = 1; i < removed_.size(); ++i) {
        runs += removed_[i].shownRow != removed_[i - 1].shownRow + 1;
    }
    return runs > kMaxSignalledRuns;
}

void ShownRowBook::Reset(std::size_t rows) {
    resetWanted_ = false;
    removed_.clear();
    copyText_.clear();
    copyEnds_.clear();
    unannounced_.reset();
    pending_ = 0;
    shown_ = rows;
    holderRows_ = rows;
}

std::optional<ShownRowBook::Run> ShownRowBook::BottomRun() const {
    if (removed_.empty()) {
        return std::nullopt;
    }
    std::size_t begin = removed_.size() - 1;
    while (begin > 0 && removed_[begin - 1].shownRow + 1 == removed_[begin].shownRow) {
        --begin;
    }
    return Run{removed_[begin].shownRow, removed_.back().shownRow};
}

void ShownRowBook::DropBottomRun() {
    const std::optional<Run> run = BottomRun();
    if (!run) {
        return;
    }
    const std::size_t rows = run->last - run->first + 1;
    removed_.resize(removed_.size() - rows);
    shown_ -= rows;
    if (removed_.empty()) {
        copyText_.clear();
        copyEnds_.clear();
    }
}

void ShownRowBook::ShowPending() {
    shown_ += pending_;
    pending_ = 0;
}

void ShownRowBook::BeginInsert(std::size_t row) {
    unannounced_ = row;
    ++holderRows_;
}

void ShownRowBook::InsertShown() {
    unannounced_.reset();
    ++shown_;
}

}  // namespace qx
