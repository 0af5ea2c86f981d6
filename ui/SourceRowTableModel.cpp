#include "ui/SourceRowTableModel.h"

#include <QThread>
#include <algorithm>

namespace qx {

SourceRowTableModel::SourceRowTableModel(QStringList headings, RowReader reader, QObject* parent)
    : QAbstractTableModel(parent),
      headings_(std::move(headings)),
      reader_(std::move(reader)),
      book_(static_cast<std::size_t>(headings_.size())) {
    batchTimer_.setSingleShot(true);
    connect(&batchTimer_, &QTimer::timeout, this, &SourceRowTableModel::FlushPending);
}

std::unique_lock<std::recursive_mutex> SourceRowTableModel::LockHolder() const {
    return lock_ ? lock_() : std::unique_lock<std::recursive_mutex>();
}

int SourceRowTableModel::rowCount(const QModelIndex& parent) const {
    // Only this thread changes the shown count, so it reads it unlocked.
    return parent.isValid() ? 0 : static_cast<int>(book_.Shown());
}

int SourceRowTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

int SourceRowTableModel::PendingCount() const {
    const auto lock = LockHolder();
    return static_cast<int>(book_.Pending());
}

int SourceRowTableModel::TotalRows() const {
    const auto lock = LockHolder();
    return static_cast<int>(book_.HolderRows());
}

QVariant SourceRowTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) {
        return {};
    }
    const auto lock = LockHolder();
    // With no removed rows on screen a shown row is the holder's row.
    if (role == Qt::ToolTipRole && tips_ && book_.Shown() + book_.Pending() == book_.HolderRows()) {
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

void SourceRowTableModel::BatchWanted() {
    if (QThread::currentThread() == thread()) {
        StartBatch();
        return;
    }
    // One request until the batch is shown, however many changes come.
    if (!batchAsked_) {
        batchAsked_ = true;
        QMetaObject::invokeMethod(this, &SourceRowTableModel::StartBatch, Qt::QueuedConnection);
    }
}

void SourceRowTableModel::CopyCells(std::size_t row, const ShownRowBook::CellSink& cell) const {
    if (texts_) {
        texts_(row, cell);
        return;
    }
    for (const QString& text : reader_(row)) {
        cell(text.toStdString());
    }
}

void SourceRowTableModel::RowAppended(std::optional<std::size_t> row) {
    const auto lock = LockHolder();
    book_.Appended(row.value_or(book_.HolderRows()));
    BatchWanted();
}

void SourceRowTableModel::RowRemoving(int row) {
    const auto lock = LockHolder();
    if (row < 0 || static_cast<std::size_t>(row) >= book_.HolderRows()) {
        return;
    }
    // A full list is shown before this row joins it, while the holder still
    // has the row and so agrees with what the views are told. Elsewhere the
    // batch becomes a reset.
    if (book_.Full() && QThread::currentThread() == thread()) {
        ShowBatch();
    }
    book_.Removing(
        static_cast<std::size_t>(row),
        [this](std::size_t at, const ShownRowBook::CellSink& cell) { CopyCells(at, cell); });
    BatchWanted();
}

void SourceRowTableModel::RowInserted(int row) {
    const auto lock = LockHolder();
    // Until the views are told, shown rows skip the new one.
    book_.BeginInsert(static_cast<std::size_t>(std::max(row, 0)));
    batchTimer_.stop();
    if (ShowBatch()) {
        return;  // the reset showed the new row too
    }
    const int at = std::clamp(row, 0, static_cast<int>(book_.Shown()));
    beginInsertRows({}, at, at);
    book_.InsertShown();
    endInsertRows();
}

void SourceRowTableModel::Reset(std::size_t rows) {
    const auto lock = LockHolder();
    batchTimer_.stop();
    batchAsked_ = false;
    beginResetModel();
    book_.Reset(rows);
    endResetModel();
}

bool SourceRowTableModel::ShowBatch() {
    batchAsked_ = false;
    if (!book_.Dirty()) {
        return false;
    }
    sinceBatch_.start();
    if (book_.BatchIsReset()) {
        beginResetModel();
        book_.Reset(book_.HolderRows());
        endResetModel();
        return true;
    }
    // Bottom run first, so the rows above keep their numbers.
    while (const std::optional<ShownRowBook::Run> run = book_.BottomRun()) {
        beginRemoveRows({}, static_cast<int>(run->first), static_cast<int>(run->last));
        book_.DropBottomRun();
        endRemoveRows();
    }
    if (book_.Pending() > 0) {
        const int first = static_cast<int>(book_.Shown());
        beginInsertRows({}, first, first + static_cast<int>(book_.Pending()) - 1);
        book_.ShowPending();
        endInsertRows();
    }
    return false;
}

void SourceRowTableModel::FlushPending() {
    const auto lock = LockHolder();
    batchTimer_.stop();
    ShowBatch();
}

QString SourceRowTableModel::Cell(int row, int column) const {
    const auto lock = LockHolder();
    if (row < 0 || static_cast<std::size_t>(row) >= book_.HolderRows() || column < 0) {
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
    const auto lock = LockHolder();
    if (row < 0 || static_cast<std::size_t>(row) >= book_.Shown() || column < 0) {
        return {};
    }
    const auto shownRow = static_cast<std::size_t>(row);
    if (const auto copied = book_.CopiedCell(shownRow, static_cast<std::size_t>(column))) {
        return QString::fromUtf8(copied->data(), static_cast<qsizetype>(copied->size()));
    }
    return HolderCell(book_.HolderIndexOf(shownRow), column);
}

}  // namespace qx
