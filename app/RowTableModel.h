#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTimer>
#include <vector>

namespace qx {

// A table of text rows for the program's list views. Appends are collected and
// shown in batches (one insertion per batch, after a short delay) so that a
// fast crawl does not make the view relayout for every row; removals and
// changes are signalled at once.
class RowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBatchDelayMs = 50;

    explicit RowTableModel(QStringList headings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Queues a row; it shows with the next batch.
    void Append(QStringList row);
    // Shows every queued row now.
    void FlushPending();
    int PendingCount() const { return static_cast<int>(pending_.size()); }

    // Rows as shown plus those still queued, in order.
    int TotalRows() const { return static_cast<int>(rows_.size() + pending_.size()); }
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
    void RemoveRowAt(int row);
    // Inserts a row before `row` (at the end when past it); pending rows are
    // shown first.
    void InsertRowAt(int row, QStringList cells);
    void Clear();

private:
    QStringList headings_;
    std::vector<QStringList> rows_;
    std::vector<QStringList> pending_;
    QTimer batchTimer_;
};

}  // namespace qx
