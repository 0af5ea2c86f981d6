#include "ui/RowTableModel.h"

#include <QVarLengthArray>
#include <algorithm>

namespace qx {

namespace {

// Cell lengths as base-128 digits, low first, the last digit without its
// high bit: one byte for any cell under 128 bytes.
void AppendLength(QByteArray& out, qsizetype length) {
    auto value = static_cast<quint64>(length);
    while (value >= 0x80) {
        out.append(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.append(static_cast<char>(value));
}

// Reads a length at `at` and moves past it; false at the end of the row.
bool ReadLength(const QByteArray& row, qsizetype& at, qsizetype& length) {
    quint64 value = 0;
    for (int shift = 0; at < row.size() && shift < 64; shift += 7) {
        const auto digit = static_cast<unsigned char>(row[at++]);
        value |= static_cast<quint64>(digit & 0x7F) << shift;
        if ((digit & 0x80) == 0) {
            length = static_cast<qsizetype>(std::min<quint64>(value, row.size() - at));
            return true;
        }
    }
    return false;
}

}  // namespace

RowTableModel::PackedRow RowTableModel::Pack(QStringList cells) const {
    while (cells.size() < headings_.size()) {
        cells.append(QString());
    }
    QVarLengthArray<QByteArray, 4> bytes;
    qsizetype size = 0;
    for (const QString& cell : cells) {
        bytes.append(cell.toUtf8());
        size += bytes.back().size() + 1;
    }
    PackedRow row;
    row.reserve(size + 8);  // lengths of 128 bytes and more take a few more
    for (const QByteArray& cell : bytes) {
        AppendLength(row, cell.size());
        row.append(cell);
    }
    return row;
}

QString RowTableModel::CellOf(const PackedRow& row, int column) {
    qsizetype at = 0;
    qsizetype length = 0;
    for (int i = 0; ReadLength(row, at, length); ++i) {
        if (i == column) {
            return QString::fromUtf8(row.constData() + at, length);
        }
        at += length;
    }
    return {};
}

QStringList RowTableModel::CellsOf(const PackedRow& row) {
    QStringList cells;
    qsizetype at = 0;
    qsizetype length = 0;
    while (ReadLength(row, at, length)) {
        cells.append(QString::fromUtf8(row.constData() + at, length));
        at += length;
    }
    return cells;
}

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
    return CellOf(rows_[static_cast<size_t>(index.row())], index.column());
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 &&
        section < headings_.size()) {
        return headings_[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void RowTableModel::Append(QStringList row) {
    pending_.push_back(Pack(std::move(row)));
    StartBatch();
}

void RowTableModel::StartBatch() {
    if (!batchTimer_.isActive()) {
        batchTimer_.start();
    }
}

std::size_t RowTableModel::ShownIndexOf(std::size_t row) const {
    // Skip every removed row at or before the place reached so far.
    std::size_t shown = row;
    for (std::size_t removed : removed_) {
        if (removed > shown) {
            break;
        }
        ++shown;
    }
    return shown;
}

void RowTableModel::ShowRemovals() {
    if (removed_.empty()) {
        return;
    }
    std::size_t runs = 1;
    for (std::size_t i = 1; i < removed_.size(); ++i) {
        runs += removed_[i] != removed_[i - 1] + 1;
    }
    if (runs <= kMaxSignalledRuns) {
        // Bottom run first, so the rows above keep their numbers.
        std::size_t end = removed_.size();
        while (end > 0) {
            std::size_t begin = end - 1;
            while (begin > 0 && removed_[begin - 1] + 1 == removed_[begin]) {
                --begin;
            }
            const auto first = static_cast<int>(removed_[begin]);
            const auto last = static_cast<int>(removed_[end - 1]);
            beginRemoveRows({}, first, last);
            rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
            endRemoveRows();
            end = begin;
        }
        removed_.clear();
        return;
    }
    beginResetModel();
    std::deque<PackedRow> kept;
    std::size_t next = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (next < removed_.size() && removed_[next] == i) {
            ++next;
            continue;
        }
        kept.push_back(std::move(rows_[i]));
    }
    rows_ = std::move(kept);
    removed_.clear();
    endResetModel();
}

void RowTableModel::FlushPending() {
    batchTimer_.stop();
    ShowRemovals();
    if (pending_.empty()) {
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(pending_.size()) - 1);
    for (PackedRow& row : pending_) {
        rows_.push_back(std::move(row));
    }
    pending_.clear();
    endInsertRows();
}

QString RowTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= TotalRows() || column < 0) {
        return {};
    }
    const size_t shown = rows_.size() - removed_.size();
    const PackedRow& cells = static_cast<size_t>(row) < shown
                                 ? rows_[ShownIndexOf(static_cast<size_t>(row))]
                                 : pending_[static_cast<size_t>(row) - shown];
    return CellOf(cells, column);
}

QString RowTableModel::ShownCell(int row, int column) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size() || column < 0) {
        return {};
    }
    return CellOf(rows_[static_cast<size_t>(row)], column);
}

void RowTableModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= TotalRows() || column < 0 || column >= headings_.size()) {
        return;
    }
    const auto replaceCell = [&](PackedRow& packed) {
        QStringList cells = CellsOf(packed);
        cells[column] = text;
        packed = Pack(std::move(cells));
    };
    const size_t shown = rows_.size() - removed_.size();
    if (static_cast<size_t>(row) >= shown) {
        replaceCell(pending_[static_cast<size_t>(row) - shown]);
        return;
    }
    const size_t at = ShownIndexOf(static_cast<size_t>(row));
    replaceCell(rows_[at]);
    const QModelIndex changed = index(static_cast<int>(at), column);
    emit dataChanged(changed, changed);
}

void RowTableModel::RemoveRowAt(int row) {
    if (row < 0 || row >= TotalRows()) {
        return;
    }
    const size_t shown = rows_.size() - removed_.size();
    if (static_cast<size_t>(row) >= shown) {
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(row - shown));
        return;
    }
    const size_t at = ShownIndexOf(static_cast<size_t>(row));
    removed_.insert(std::lower_bound(removed_.begin(), removed_.end(), at), at);
    if (removed_.size() >= kMaxRemovedRows) {
        FlushPending();
    } else {
        StartBatch();
    }
}

void RowTableModel::InsertRowAt(int row, QStringList cells) {
    FlushPending();
    const int at = std::clamp(row, 0, static_cast<int>(rows_.size()));
    beginInsertRows({}, at, at);
    rows_.insert(rows_.begin() + at, Pack(std::move(cells)));
    endInsertRows();
}

void RowTableModel::Clear() {
    batchTimer_.stop();
    pending_.clear();
    removed_.clear();
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    endResetModel();
}

}  // namespace qx
