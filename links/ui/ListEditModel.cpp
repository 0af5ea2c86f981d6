#include "links/ui/ListEditModel.h"

#include <algorithm>
#include <iterator>

namespace qx {

int ListEditModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListEditModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListEditModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()))
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return Text(index.row(), index.column());
        case kStateImageRole:
            return StateImage(index.row());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
        default:
            return {};
    }
}

bool ListEditModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid())
        return false;
    if (role == kStateImageRole)
        return SetStateImage(index.row(), value.toInt());
    if (role == Qt::EditRole || role == Qt::DisplayRole)
        return SetText(index.row(), index.column(), value.toString());
    return false;
}

QVariant ListEditModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].header;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[section].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ListEditModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ListEditModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
    return true;
}

int ListEditModel::InsertColumn(int column, const QString& header, Qt::Alignment alignment) {
    column = std::clamp(column, 0, static_cast<int>(columns_.size()));
    beginInsertColumns(QModelIndex(), column, column);
    columns_.insert(columns_.begin() + column, Column{header, alignment});
    for (Row& row : rows_) {
        if (column < row.texts.size())
            row.texts.insert(column, QString());
    }
    endInsertColumns();
    return column;
}

bool ListEditModel::RemoveAllColumns() {
    if (columns_.empty())
        return false;
    beginRemoveColumns(QModelIndex(), 0, static_cast<int>(columns_.size()) - 1);
    columns_.clear();
    endRemoveColumns();
    return true;
}

Qt::Alignment ListEditModel::ColumnAlignment(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size()))
        return Qt::AlignLeft;
    return columns_[column].alignment;
}

int ListEditModel::InsertRows(int row, std::vector<Row> rows) {
    row = std::clamp(row, 0, rowCount());
    if (rows.empty())
        return row;
    beginInsertRows(QModelIndex(), row, row + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.begin() + row, std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    endInsertRows();
    return row;
}

void ListEditModel::RemoveAllRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

QString ListEditModel::Text(int row, int column) const {
    if (!IsRow(row) || column < 0 || column >= rows_[row].texts.size())
        return {};
    return rows_[row].texts[column];
}

bool ListEditModel::SetText(int row, int column, const QString& text) {
    if (!IsRow(row) || column < 0 || column >= columnCount())
        return false;
    QStringList& texts = rows_[row].texts;
    while (texts.size() <= column)
        texts.append(QString());
    if (texts[column] == text)
        return true;
    texts[column] = text;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

int ListEditModel::StateImage(int row) const {
    return IsRow(row) ? rows_[row].stateImage : kNoStateImage;
}

bool ListEditModel::SetStateImage(int row, int image) {
    if (!IsRow(row))
        return false;
    rows_[row].stateImage = image;
    emit dataChanged(index(row, 0), index(row, 0), {kStateImageRole});
    return true;
}

void ListEditModel::SetAllStateImages(int image) {
    if (rows_.empty())
        return;
    for (Row& row : rows_)
        row.stateImage = image;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {kStateImageRole});
}

}  // namespace qx
