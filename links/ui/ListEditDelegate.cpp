#include "links/ui/ListEditDelegate.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "links/ui/CListEditView.h"

namespace qx {

ListEditDelegate::ListEditDelegate(CListEditView* view) : QStyledItemDelegate(view), view_(view) {}

void ListEditDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    painter->setFont(option.font);
    const bool highlighted = view_->IsRowHighlighted(index.row());
    if (index.column() == 0)
        PaintFirstColumn(painter, option, index, highlighted);
    else
        PaintOtherColumn(painter, option, index, highlighted);
    painter->restore();
}

void ListEditDelegate::PaintFirstColumn(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index, bool highlighted) const {
    const QPalette& palette = view_->palette();
    const int margin = view_->TextMargin();
    const QString text = view_->DisplayedText(index.row(), 0);
    QRect label = option.rect.adjusted(CListEditView::kStateImageWidth, 0, 0, 0);

    QRect band = label;
    if (view_->GetHighlightType() != CListEditView::kHighlightAllColumns &&
        view_->GetHighlightType() != CListEditView::kHighlightRow) {
        const int textRight = label.left() + option.fontMetrics.horizontalAdvance(text) + margin;
        band.setRight(std::min(band.right(), textRight));
    }
    painter->fillRect(option.rect, palette.color(QPalette::Active, QPalette::Base));
    painter->fillRect(band, highlighted ? palette.color(QPalette::Active, QPalette::Highlight)
                                        : palette.color(QPalette::Active, QPalette::Base));

    PaintCheckBox(painter, view_->CheckBoxRect(index.row()),
                  index.data(ListEditModel::kStateImageRole).toInt());

    painter->setPen(highlighted ? palette.color(QPalette::Active, QPalette::HighlightedText)
                                : palette.color(QPalette::Active, QPalette::Text));
    const QRect textRect = label.adjusted(margin / 2, 0, -margin, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void ListEditDelegate::PaintOtherColumn(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index, bool highlighted) const {
    const QPalette& palette = view_->palette();
    const int margin = view_->TextMargin();
    const bool wholeRow = view_->GetHighlightType() == CListEditView::kHighlightAllColumns ||
                          view_->GetHighlightType() == CListEditView::kHighlightRow;
    const bool lit = highlighted && wholeRow;
    painter->fillRect(option.rect, lit ? palette.color(QPalette::Active, QPalette::Highlight)
                                       : palette.color(QPalette::Active, QPalette::Base));
    const QString text = view_->DisplayedText(index.row(), index.column());
    if (text.isEmpty())
        return;
    painter->setPen(lit ? palette.color(QPalette::Active, QPalette::HighlightedText)
                        : palette.color(QPalette::Active, QPalette::Text));
    Qt::Alignment horizontal = Qt::AlignLeft;
    const Qt::Alignment columnAlignment = view_->Model()->ColumnAlignment(index.column());
    if (columnAlignment & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    else if (columnAlignment & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    painter->drawText(option.rect.adjusted(margin, 0, -margin, 0),
                      horizontal | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void ListEditDelegate::PaintCheckBox(QPainter* painter, const QRect& box, int stateImage) const {
    if (stateImage != ListEditModel::kUnchecked && stateImage != ListEditModel::kChecked)
        return;
    QStyleOptionButton check;
    check.rect = box;
    check.state = QStyle::State_Enabled |
                  (stateImage == ListEditModel::kChecked ? QStyle::State_On : QStyle::State_Off);
    QStyle* style = view_->style() ? view_->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &check, painter, view_);
}

QWidget* ListEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(true);
    return editor;
}

void ListEditDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    // The box covers the cell's label; the check box of the first column
    // stays in sight and clickable.
    QRect box = option.rect;
    if (index.column() == 0)
        box.setLeft(box.left() + CListEditView::kStateImageWidth);
    editor->setGeometry(box);
}

void ListEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->setText(index.data(Qt::EditRole).toString());
}

void ListEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

}  // namespace qx
