#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <vector>

namespace qx {

// A table of text rows for the program's list views. Appends and removals are
// collected and shown in batches (after a short delay) so that a fast crawl
// does not make the views relayout for every row: a view's cost for one
// signalled removal grows with the rows it holds. Until a batch is shown, a
// removed row stays on screen; the row numbers taken and returned by Cell,
// SetCell, RemoveRowAt, InsertRowAt and TotalRows are those of the rows as
// they are (removed rows gone, queued rows counted), while views and
// ShownCell use the rows as shown.
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

    // Rows as they are: shown ones not removed, plus those still queued.
    int TotalRows() const {
        return static_cast<int>(rows_.size() - removed_.size() + pending_.size());
    }
    QString Cell(int row, int column) const;
    // The text a view shows at its row `row`.
    QString ShownCell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
    void RemoveRowAt(int row);
    // Inserts a row before `row` (at the end when past it); pending rows are
    // shown first.
    void InsertRowAt(int row, QStringList cells);
    void Clear();

private:
    // More removals than this are shown at once, whatever the delay.
    static constexpr std::size_t kMaxRemovedRows = 4096;
    // A batch with more separate runs of removed rows is shown as a reset.
    static constexpr std::size_t kMaxSignalledRuns = 8;

    // The shown row of a row as it is (row < shown rows not removed).
    std::size_t ShownIndexOf(std::size_t row) const;
    void StartBatch();
    void ShowRemovals();

    // A row's cells in one block: each cell's UTF-8 bytes after its length.
    // A large crawl keeps hundreds of thousands of mostly ASCII rows, which
    // take about a quarter of the memory they took as lists of strings. The
    // texts come from UTF-8, so the round trip keeps them; a lone surrogate
    // (never produced from UTF-8) would not survive it.
    using PackedRow = QByteArray;
    PackedRow Pack(QStringList cells) const;
    static QString CellOf(const PackedRow& row, int column);
    static QStringList CellsOf(const PackedRow& row);

    QStringList headings_;
    // Deques: rows leave mostly near the top (the oldest queued URLs get
    // their results first), where a deque erases without moving the rest.
    std::deque<PackedRow> rows_;
    std::deque<PackedRow> pending_;
    std::vector<std::size_t> removed_;  // shown rows removed but still shown, ascending
    QTimer batchTimer_;
};

}  // namespace qx
