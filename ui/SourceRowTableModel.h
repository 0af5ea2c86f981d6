#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// A table over rows held elsewhere (a search session's list), for lists too
// long to copy: it keeps no text of its own, only how many rows the views
// show, and reads the cells from the holder when a view asks. Changes are
// shown in batches after a short delay, as RowTableModel does, and with the
// same row numbers: Cell, TotalRows and the row arguments of the change calls
// count the rows as the holder has them, views and ShownCell the rows as
// shown. A row removed from the holder stays on screen until its batch, from
// a copy taken when the holder announces the removal.
//
// Tell the model of every change of the holder's rows, in order:
// RowAppended after a row was appended at the bottom, RowRemoving before a
// row is removed (while it can still be read), RowInserted after a row was
// inserted, Reset after the rows were rewritten.
class SourceRowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBatchDelayMs = 50;
    // While changes keep coming, batches are at least this far apart: each
    // one costs the views a pass over their rows and a repaint, and a crawl
    // changes the lists hundreds of times a second.
    static constexpr int kBatchGapMs = 100;
    // The holder's row `row`, all columns.
    using RowReader = std::function<QStringList(std::size_t row)>;

    // The holder's row `row`, each column's text in turn, as UTF-8.
    using RowTexts =
        std::function<void(std::size_t row, const std::function<void(std::string_view)>& cell)>;

    SourceRowTableModel(QStringList headings, RowReader reader, QObject* parent = nullptr);

    // A holder that keeps its texts as UTF-8 gives them here: cells are then
    // read one at a time, and a removed row is copied without converting it.
    void SetRowTexts(RowTexts texts) { texts_ = std::move(texts); }

    // Tool tips other than a cell's own text, for a holder that only appends
    // rows (so a shown row is the holder's row of that number): the function
    // gets the row and the column and gives "" to keep the cell's text.
    using ToolTips = std::function<QString(std::size_t row, int column)>;
    void SetToolTips(ToolTips tips) { tips_ = std::move(tips); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The holder appended a row; it shows with the next batch.
    void RowAppended();
    // The holder is about to remove its row `row`.
    void RowRemoving(int row);
    // The holder inserted a row at `row`; waiting changes are shown first.
    void RowInserted(int row);
    // The holder's rows were rewritten; they all show now.
    void Reset(std::size_t rows);
    // Shows every waiting change now.
    void FlushPending();
    int PendingCount() const { return static_cast<int>(pending_); }

    int TotalRows() const { return static_cast<int>(shown_ - removed_.size() + pending_); }
    QString Cell(int row, int column) const;
    QString ShownCell(int row, int column) const;

private:
    // More removals than this are shown at once, whatever the delay.
    static constexpr std::size_t kMaxRemovedRows = 4096;
    // A batch with more separate runs of removed rows is shown as a reset.
    static constexpr std::size_t kMaxSignalledRuns = 8;

    // A shown row the holder no longer has, and where its cells start in
    // copyEnds_. Small, as every removal looks through the list.
    struct RemovedRow {
        std::uint32_t shownRow;
        std::uint32_t copy;
    };
    std::size_t ShownIndexOf(std::size_t row) const;
    // The holder's row for shown row `shownRow`, which is not a removed one.
    std::size_t HolderIndexOf(std::size_t shownRow) const;
    const RemovedRow* RemovedAt(std::size_t shownRow) const;
    void StartBatch();
    void ShowRemovals();
    // Copies the holder's row `row`; returns where its cells start.
    std::uint32_t CopyRow(std::size_t row);
    void DropCopies();
    // Column `column` of the holder's row `row`.
    QString HolderCell(std::size_t row, int column) const;

    QStringList headings_;
    RowReader reader_;
    std::size_t shown_ = 0;            // rows the views have
    std::size_t pending_ = 0;          // the holder's bottom rows not shown yet
    std::vector<RemovedRow> removed_;  // ascending by shownRow
    // The removed rows' cells, UTF-8 one after another, and where each
    // ends; emptied with removed_.
    std::string copyText_;
    std::vector<std::uint32_t> copyEnds_;
    RowTexts texts_;
    ToolTips tips_;
    // A row the holder has inserted and the views do not have yet.
    std::optional<std::size_t> unannounced_;
    QTimer batchTimer_;
    QElapsedTimer sinceBatch_;  // since the last batch shown
};

}  // namespace qx
