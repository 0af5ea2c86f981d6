#pragma once

#include <QStyledItemDelegate>

namespace qx {

class CListEditView;

// Paints the rows of a CListEditView the way a list control draws them: the
// check box at the start of the first column, the highlight by the view's
// highlight mode, every text on one line ending in an ellipsis when it does
// not fit. Edits every cell in a plain line edit.
class ListEditDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ListEditDelegate(CListEditView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    void PaintFirstColumn(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index, bool highlighted) const;
    void PaintOtherColumn(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index, bool highlighted) const;
    void PaintCheckBox(QPainter* painter, const QRect& box, int stateImage) const;

    CListEditView* view_;
};

}  // namespace qx
