#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

#include "links/ui/ListEditModel.h"

namespace qx {

class ListEditDelegate;

// A report-style list whose cells can all be edited in place and whose rows
// carry a check box. A click on the check box toggles it; a click into a cell
// of the row that is already selected edits that cell in a box over it. The
// edited text is written back however the edit ends (Enter, Escape or focus
// loss), so nothing typed is ever lost.
class CListEditView : public QTableView {
    Q_OBJECT
public:
    // Highlight modes: the first column's text, all columns, or the whole row
    // up to the right edge of the list.
    static constexpr int kHighlightLabel = 0;
    static constexpr int kHighlightAllColumns = 1;
    static constexpr int kHighlightRow = 2;
    // Room for the check box at the start of the first column.
    static constexpr int kStateImageWidth = 20;

    explicit CListEditView(QWidget* parent = nullptr);
    ~CListEditView() override;

    ListEditModel* Model() const { return model_; }

    // Returns the previous mode; a mode above 2 is ignored.
    int SetHighlightType(int mode);
    int GetHighlightType() const { return m_nHighlight; }

    // --- list operations --------------------------------------------------
    int InsertColumn(int column, const QString& header, int width,
                     Qt::Alignment alignment = Qt::AlignLeft);
    void DeleteAllColumns();
    int GetItemCount() const { return model_->rowCount(); }
    // Inserts an empty-but-for-column-0 row (clamped to the end); returns its index.
    int InsertItem(int row, const QString& text);
    bool DeleteItem(int row);
    void DeleteAllItems();
    QString GetItemText(int row, int column) const { return model_->Text(row, column); }
    bool SetItemText(int row, int column, const QString& text);
    int GetStateImage(int row) const { return model_->StateImage(row); }
    bool SetStateImage(int row, int image) { return model_->SetStateImage(row, image); }
    bool IsChecked(int row) const { return GetStateImage(row) == ListEditModel::kChecked; }

    // The row that list commands act on: set by a click that selects a row
    // and by the commands themselves; -1 when there is none (or it no longer
    // names a row).
    int GetSelectionMark() const;
    int SetSelectionMark(int row);
    // Gives a row the focus without selecting it.
    void SetItemFocused(int row);

    // --- in-place editing --------------------------------------------------
    // The column being edited; -1 when no edit is under way.
    int EditColumn() const { return m_nEditColumn; }
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    // The column an edit would start in for a click at `pos` (viewport
    // coordinates): -1 right of the last column or on the check box.
    int EditColumnAt(const QPoint& pos) const;
    // Starts editing a cell; false when there is nothing to edit.
    bool BeginEdit(int row, int column);

    // --- drawing -----------------------------------------------------------
    QRect CheckBoxRect(int row) const;
    // The text as the cell shows it: cut to the cell, ending in an ellipsis.
    QString DisplayedText(int row, int column) const;
    QString ElideToWidth(const QString& text, int width) const;
    int TextMargin() const;
    bool IsRowHighlighted(int row) const;

    virtual void RepaintSelectedItems();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool IsOnCheckBox(const QModelIndex& index, const QPoint& pos) const;
    void ToggleCheckBox(int row);
    void PaintHighlightBand();
    void WriteBackEdit(QWidget* editor);

    ListEditModel* model_;
    ListEditDelegate* delegate_;
    int m_nEditColumn = -1;
    int m_nHighlight = kHighlightLabel;
    int selectionMark_ = -1;
    QPersistentModelIndex editIndex_;
};

}  // namespace qx
