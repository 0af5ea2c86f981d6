#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace qx {

// Rows of an editable list: the texts of every column and a check state,
// kept as the state image index of a list control (0 none, 1 unchecked,
// 2 checked).
class ListEditModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kStateImageRole = Qt::UserRole + 1;
    static constexpr int kNoStateImage = 0;
    static constexpr int kUnchecked = 1;
    static constexpr int kChecked = 2;

    struct Row {
        int stateImage = kNoStateImage;
        QStringList texts;  // as many as the row has been given; missing ones read empty
        // The row came from 8-bit text that is not UTF-8: its texts hold the
        // bytes as Latin-1 characters, and go back to a file as such.
        bool latin1 = false;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Inserts a column header at `column` (clamped to the end); returns its index.
    int InsertColumn(int column, const QString& header, Qt::Alignment alignment);
    bool RemoveAllColumns();
    Qt::Alignment ColumnAlignment(int column) const;

    // Inserts rows at `row` (clamped to the end) in one block; returns the
    // index of the first.
    int InsertRows(int row, std::vector<Row> rows);
    void RemoveAllRows();

    QString Text(int row, int column) const;
    bool SetText(int row, int column, const QString& text);
    bool IsLatin1(int row) const { return IsRow(row) && rows_[row].latin1; }
    int StateImage(int row) const;
    bool SetStateImage(int row, int image);
    // Gives every row the same state image in one change.
    void SetAllStateImages(int image);

private:
    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }

    struct Column {
        QString header;
        Qt::Alignment alignment;
    };
    std::vector<Column> columns_;
    std::vector<Row> rows_;
};

}  // namespace qx
