#include "app/RowTableModel.h"

#include <algorithm>

namespace qx {

RowTableModel::RowTableModel(QStringList headings, QObject* parent)
    : QAbstractTableModel(parent), headings_(std::move(headings)) {
    batchTimer_.setSingleShot(true);
    batchTimer_.setInterval(kBatchDelayMs);
    connect(&batchTimer_, &QTimer::timeout, this, &RowTableModel::FlushPending);
}

int RowTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant RowTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) {
        return {};
    }
    const QStringList& row = rows_[static_cast<size_t>(index.row())];
    return index.column() < row.size() ? row[index.column()] : QString();
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 &&
        section < headings_.size()) {
        return headings_[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void RowTableModel::Append(QStringList row) {
    while (row.size() < headings_.size()) {
        row.append(QString());
    }
    pending_.push_back(std::move(row));
    if (!batchTimer_.isActive()) {
        batchTimer_.start();
    }
}

void RowTableModel::FlushPending() {
    batchTimer_.stop();
    if (pending_.empty()) {
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(pending_.size()) - 1);
    for (QStringList& row : pending_) {
        rows_.push_back(std::move(row));
    }
    pending_.clear();
    endInsertRows();
}

QString RowTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= TotalRows() || column < 0) {
        return {};
    }
    const size_t shown = rows_.size();
    const QStringList& cells = static_cast<size_t>(row) < shown
                                   ? rows_[static_cast<size_t>(row)]
                                   : pending_[static_cast<size_t>(row) - shown];
    return column < cells.size() ? cells[column] : QString();
}

void RowTableModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= TotalRows() || column < 0 || column >= headings_.size()) {
        return;
    }
    const size_t shown = rows_.size();
    if (static_cast<size_t>(row) >= shown) {
        pending_[static_cast<size_t>(row) - shown][column] = text;
        return;
    }
    rows_[static_cast<size_t>(row)][column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed);
}

void RowTableModel::RemoveRowAt(int row) {
    if (row < 0 || row >= TotalRows()) {
        return;
    }
    const size_t shown = rows_.size();
    if (static_cast<size_t>(row) >= shown) {
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(row - shown));
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void RowTableModel::InsertRowAt(int row, QStringList cells) {
    FlushPending();
    const int at = std::clamp(row, 0, static_cast<int>(rows_.size()));
    beginInsertRows({}, at, at);
    rows_.insert(rows_.begin() + at, std::move(cells));
    endInsertRows();
}

void RowTableModel::Clear() {
    batchTimer_.stop();
    pending_.clear();
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    endResetModel();
}

}  // namespace qx
