#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/ShownRowBook.h"

namespace qx {

// A table over rows held elsewhere (a search session's list), for lists too
// long to copy: it keeps no text of its own, only how many rows the views
// show, and reads the cells from the holder when a view asks. Changes are
// shown in batches after a short delay, and with the
// same row numbers: Cell, TotalRows and the row arguments of the change calls
// count the rows as the holder has them, views and ShownCell the rows as
// shown. A row removed from the holder stays on screen until its batch, from
// a copy taken when the holder announces the removal.
//
// Tell the model of every change of the holder's rows, in order:
// RowAppended after a row was appended at the bottom, RowRemoving before a
// row is removed (while it can still be read), RowInserted after a row was
// inserted, Reset after the rows were rewritten.
//
// A holder whose rows change on other threads gives its lock (SetHolderLock):
// RowAppended and RowRemoving may then be called on any thread under that
// lock, and the model takes it whenever it reads the holder or shows a batch.
// RowInserted and Reset stay on the model's thread.
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

    // The lock that guards the holder's rows; empty when they change only on
    // the model's thread.
    using HolderLock = std::function<std::unique_lock<std::recursive_mutex>()>;
    void SetHolderLock(HolderLock lock) { lock_ = std::move(lock); }

    // Tool tips other than a cell's own text, for a holder that only appends
    // rows (so a shown row is the holder's row of that number): the function
    // gets the row and the column and gives "" to keep the cell's text.
    using ToolTips = std::function<QString(std::size_t row, int column)>;
    void SetToolTips(ToolTips tips) { tips_ = std::move(tips); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The holder appended its row `row` (by default the one after the rows
    // the model knows); it shows with the next batch.
    void RowAppended(std::optional<std::size_t> row = std::nullopt);
    // The holder is about to remove its row `row`.
    void RowRemoving(int row);
    // The holder inserted a row at `row`; waiting changes are shown first.
    void RowInserted(int row);
    // The holder's rows were rewritten; they all show now.
    void Reset(std::size_t rows);
    // Shows every waiting change now.
    void FlushPending();
    int PendingCount() const;

    int TotalRows() const;
    QString Cell(int row, int column) const;
    QString ShownCell(int row, int column) const;

private:
    std::unique_lock<std::recursive_mutex> LockHolder() const;
    // After a change of the book: the batch timer starts on the model's
    // thread, and is asked for from any other.
    void BatchWanted();
    void StartBatch();
    // Under the holder's lock; true when the batch was a reset.
    bool ShowBatch();
    // Column `column` of the holder's row `row`.
    QString HolderCell(std::size_t row, int column) const;
    void CopyCells(std::size_t row, const ShownRowBook::CellSink& cell) const;

    QStringList headings_;
    RowReader reader_;
    RowTexts texts_;
    ToolTips tips_;
    HolderLock lock_;
    ShownRowBook book_;
    // A batch was asked for from another thread and has not been shown yet
    // (under the holder's lock).
    bool batchAsked_ = false;
    QTimer batchTimer_;
    QElapsedTimer sinceBatch_;  // since the last batch shown
};

}  // namespace qx
