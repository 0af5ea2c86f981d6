#include "ui/SourceRowTableModel.h"

#include <algorithm>

namespace qx {

namespace {

// Orders removed rows (ascending by shown row) against a shown row.
constexpr auto kShownBefore = [](const auto& removed, std::size_t row) {
    return removed.shownRow < row;
};

}  // namespace

SourceRowTableModel::SourceRowTableModel(QStringList headings, RowReader reader, QObject* parent)
    : QAbstractTableModel(parent), headings_(std::move(headings)), reader_(std::move(reader)) {
    batchTimer_.setSingleShot(true);
    connect(&batchTimer_, &QTimer::timeout, this, &SourceRowTableModel::FlushPending);
}

int SourceRowTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_);
}

int SourceRowTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant SourceRowTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) {
        return {};
    }
    if (role == Qt::ToolTipRole && tips_ && removed_.empty()) {
        const QString tip = tips_(static_cast<std::size_t>(index.row()), index.column());
        if (!tip.isEmpty()) {
            return tip;
        }
    }
    return ShownCell(index.row(), index.column());
}

QVariant SourceRowTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 &&
        section < headings_.size()) {
        return headings_[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void SourceRowTableModel::StartBatch() {
    if (batchTimer_.isActive()) {
        return;
    }
    const qint64 sinceBatch = sinceBatch_.isValid() ? sinceBatch_.elapsed() : kBatchGapMs;
    batchTimer_.start(static_cast<int>(std::max<qint64>(kBatchDelayMs, kBatchGapMs - sinceBatch)));
}

std::size_t SourceRowTableModel::ShownIndexOf(std::size_t row) const {
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

std::size_t SourceRowTableModel::HolderIndexOf(std::size_t shownRow) const {
    const auto removedAbove =
        std::lower_bound(removed_.begin(), removed_.end(), shownRow, kShownBefore);
    std::size_t row = shownRow - static_cast<std::size_t>(removedAbove - removed_.begin());
    if (unannounced_ && row >= *unannounced_) {
        ++row;
    }
    return row;
}

const SourceRowTableModel::RemovedRow* SourceRowTableModel::RemovedAt(std::size_t shownRow) const {
    const auto it = std::lower_bound(removed_.begin(), removed_.end(), shownRow, kShownBefore);
    return it != removed_.end() && it->shownRow == shownRow ? &*it : nullptr;
}

void SourceRowTableModel::RowAppended() {
    ++pending_;
    StartBatch();
}

void SourceRowTableModel::RowRemoving(int row) {
    if (row < 0 || row >= TotalRows()) {
        return;
    }
    // A full list is shown before this row joins it, while the holder still
    // has the row and so agrees with what the views are told.
    if (removed_.size() >= kMaxRemovedRows) {
        FlushPending();
    }
    const std::size_t visible = shown_ - removed_.size();
    if (static_cast<std::size_t>(row) >= visible) {
        --pending_;  // never shown
        return;
    }
    const std::size_t at = ShownIndexOf(static_cast<std::size_t>(row));
    const auto place = std::lower_bound(removed_.begin(), removed_.end(), at, kShownBefore);
    removed_.insert(
        place, RemovedRow{static_cast<std::uint32_t>(at), CopyRow(static_cast<std::size_t>(row))});
    StartBatch();
}

std::uint32_t SourceRowTableModel::CopyRow(std::size_t row) {
    const auto first = static_cast<std::uint32_t>(copyEnds_.size());
    const std::size_t columns = static_cast<std::size_t>(headings_.size());
    auto add = [this](std::string_view cell) {
        copyText_.append(cell);
        copyEnds_.push_back(static_cast<std::uint32_t>(copyText_.size()));
    };
    if (texts_) {
        texts_(row, add);
    } else {
        for (const QString& cell : reader_(row)) {
            add(cell.toStdString());
        }
    }
    // Missing cells show empty; their places keep the columns in step.
    while (copyEnds_.size() - first < columns) {
        add({});
    }
    return first;
}

void SourceRowTableModel::DropCopies() {
    copyText_.clear();
    copyEnds_.clear();
}

void SourceRowTableModel::RowInserted(int row) {
    // Until the views are told, shown rows skip the new one.
    unannounced_ = static_cast<std::size_t>(std::max(row, 0));
    FlushPending();
    const int at = std::clamp(row, 0, static_cast<int>(shown_));
    beginInsertRows({}, at, at);
    unannounced_.reset();
    ++shown_;
    endInsertRows();
}

void SourceRowTableModel::Reset(std::size_t rows) {
    batchTimer_.stop();
    beginResetModel();
    removed_.clear();
    DropCopies();
    unannounced_.reset();
    pending_ = 0;
    shown_ = rows;
    endResetModel();
}

void SourceRowTableModel::ShowRemovals() {
    if (removed_.empty()) {
        return;
    }
    std::size_t runs = 1;
    for (std::size_t i = 1; i < removed_.size(); ++i) {
        runs += removed_[i].shownRow != removed_[i - 1].shownRow + 1;
    }
    if (runs > kMaxSignalledRuns) {
        beginResetModel();
        shown_ -= removed_.size();
        removed_.clear();
        DropCopies();
        endResetModel();
        return;
    }
    // Bottom run first, so the rows above keep their numbers.
    while (!removed_.empty()) {
        std::size_t begin = removed_.size() - 1;
        while (begin > 0 && removed_[begin - 1].shownRow + 1 == removed_[begin].shownRow) {
            --begin;
        }
        const auto first = static_cast<int>(removed_[begin].shownRow);
        const auto last = static_cast<int>(removed_.back().shownRow);
        beginRemoveRows({}, first, last);
        removed_.resize(begin);
        shown_ -= static_cast<std::size_t>(last - first + 1);
        endRemoveRows();
    }
    DropCopies();
}

void SourceRowTableModel::FlushPending() {
    batchTimer_.stop();
    if (!removed_.empty() || pending_ > 0) {
        sinceBatch_.start();
    }
    ShowRemovals();
    if (pending_ == 0) {
        return;
    }
    const int first = static_cast<int>(shown_);
    beginInsertRows({}, first, first + static_cast<int>(pending_) - 1);
    shown_ += pending_;
    pending_ = 0;
    endInsertRows();
}

QString SourceRowTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= TotalRows() || column < 0) {
        return {};
    }
    return HolderCell(static_cast<std::size_t>(row), column);
}

QString SourceRowTableModel::HolderCell(std::size_t row, int column) const {
    if (!texts_) {
        return reader_(row).value(column);
    }
    QString text;
    int at = 0;
    texts_(row, [&](std::string_view cell) {
        if (at++ == column) {
            text = QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
        }
    });
    return text;
}

QString SourceRowTableModel::ShownCell(int row, int column) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_ || column < 0) {
        return {};
    }
    if (const RemovedRow* removed = RemovedAt(static_cast<std::size_t>(row))) {
        if (column >= headings_.size()) {
            return {};
        }
        const std::size_t cell = removed->copy + static_cast<std::size_t>(column);
        const std::size_t begin = cell == 0 ? 0 : copyEnds_[cell - 1];
        return QString::fromUtf8(copyText_.data() + begin,
                                 static_cast<qsizetype>(copyEnds_[cell] - begin));
    }
    return HolderCell(HolderIndexOf(static_cast<std::size_t>(row)), column);
}

}  // namespace qx
