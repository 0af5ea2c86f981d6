#include "links/ui/CListEditView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "links/ui/ListEditDelegate.h"

namespace qx {

CListEditView::CListEditView(QWidget* parent)
    : QTableView(parent), model_(new ListEditModel(this)), delegate_(new ListEditDelegate(this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Edits start only where this class decides (see mousePressEvent).
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setShowGrid(true);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

CListEditView::~CListEditView() = default;

int CListEditView::SetHighlightType(int mode) {
    const int previous = m_nHighlight;
    if (mode < kHighlightLabel || mode > kHighlightRow)
        return previous;
    m_nHighlight = mode;
    viewport()->update();
    return previous;
}

int CListEditView::InsertColumn(int column, const QString& header, int width,
                                Qt::Alignment alignment) {
    const int at = model_->InsertColumn(column, header, alignment);
    setColumnWidth(at, width);
    return at;
}

void CListEditView::DeleteAllColumns() {
    model_->RemoveAllColumns();
}

int CListEditView::InsertItem(int row, const QString& text) {
    ListEditModel::Row item;
    item.texts = QStringList{text};
    return model_->InsertRows(row, {std::move(item)});
}

bool CListEditView::DeleteItem(int row) {
    return model_->removeRows(row, 1);
}

void CListEditView::DeleteAllItems() {
    model_->RemoveAllRows();
    selectionMark_ = -1;
}

bool CListEditView::SetItemText(int row, int column, const QString& text) {
    return model_->SetText(row, column, text);
}

int CListEditView::GetSelectionMark() const {
    return selectionMark_ >= 0 && selectionMark_ < GetItemCount() ? selectionMark_ : -1;
}

int CListEditView::SetSelectionMark(int row) {
    const int previous = GetSelectionMark();
    selectionMark_ = row < 0 ? -1 : row;
    return previous;
}

void CListEditView::SetItemFocused(int row) {
    const QModelIndex cell = model_->index(row, 0);
    if (cell.isValid())
        selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
}

int CListEditView::EditColumnAt(const QPoint& pos) const {
    const QModelIndex cell = indexAt(pos);
    if (!cell.isValid() || IsOnCheckBox(cell, pos))
        return -1;
    return cell.column();
}

bool CListEditView::BeginEdit(int row, int column) {
    const QModelIndex cell = model_->index(row, column);
    if (!cell.isValid())
        return false;
    m_nEditColumn = column;
    editIndex_ = cell;
    edit(cell);
    if (state() != QAbstractItemView::EditingState) {
        m_nEditColumn = -1;
        editIndex_ = QPersistentModelIndex();
        return false;
    }
    return true;
}

void CListEditView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint) {
    const bool wasEditing = m_nEditColumn >= 0;
    WriteBackEdit(editor);
    // Tab or Enter must not walk on into the next cell: each edit is chosen
    // by a click.
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (wasEditing) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

void CListEditView::WriteBackEdit(QWidget* editor) {
    if (m_nEditColumn < 0)
        return;
    const auto* edit = qobject_cast<QLineEdit*>(editor);
    const QString text = edit ? edit->text() : QString();
    if (editIndex_.isValid())
        model_->SetText(editIndex_.row(), m_nEditColumn, text);
    m_nEditColumn = -1;
    editIndex_ = QPersistentModelIndex();
}

QRect CListEditView::CheckBoxRect(int row) const {
    const QRect cell = visualRect(model_->index(row, 0));
    if (!cell.isValid())
        return {};
    const int side = std::min(16, cell.height() - 2);
    return QRect(cell.left() + 2, cell.top() + (cell.height() - side) / 2, side, side);
}

bool CListEditView::IsOnCheckBox(const QModelIndex& index, const QPoint& pos) const {
    if (index.column() != 0)
        return false;
    const QRect cell = visualRect(index);
    return pos.x() < cell.left() + kStateImageWidth;
}

int CListEditView::TextMargin() const {
    return 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

QString CListEditView::ElideToWidth(const QString& text, int width) const {
    return fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, width));
}

QString CListEditView::DisplayedText(int row, int column) const {
    const QString text = GetItemText(row, column);
    const int margin = TextMargin();
    int room = columnWidth(column) - 2 * margin;
    if (column == 0)
        room = columnWidth(0) - kStateImageWidth - margin / 2 - margin;
    return ElideToWidth(text, room);
}

bool CListEditView::IsRowHighlighted(int row) const {
    // The list always shows its selection, with or without the focus.
    return selectionModel() && selectionModel()->isRowSelected(row, QModelIndex());
}

void CListEditView::ToggleCheckBox(int row) {
    const int image = GetStateImage(row) == ListEditModel::kUnchecked ? ListEditModel::kChecked
                                                                      : ListEditModel::kUnchecked;
    SetStateImage(row, image);
}

void CListEditView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex cell = indexAt(pos);
    if (event->button() != Qt::LeftButton || !cell.isValid()) {
        if (event->button() == Qt::LeftButton)
            selectionMark_ = -1;
        QTableView::mousePressEvent(event);
        return;
    }
    const bool wasSelected = selectionModel()->isRowSelected(cell.row(), QModelIndex());
    const bool onCheckBox = IsOnCheckBox(cell, pos);
    if (onCheckBox)
        ToggleCheckBox(cell.row());
    else
        selectionMark_ = -1;
    QTableView::mousePressEvent(event);
    selectionMark_ = cell.row();
    if (wasSelected && !onCheckBox) {
        const int column = EditColumnAt(pos);
        if (column >= 0)
            BeginEdit(cell.row(), column);
    }
}

void CListEditView::keyPressEvent(QKeyEvent* event) {
    QTableView::keyPressEvent(event);
    // Moving through the list with the keys carries the mark along.
    if (currentIndex().isValid() && state() != QAbstractItemView::EditingState)
        selectionMark_ = currentIndex().row();
}

void CListEditView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (m_nHighlight == kHighlightRow)
        PaintHighlightBand();
}

void CListEditView::PaintHighlightBand() {
    const int columns = model_->columnCount();
    if (columns == 0)
        return;
    const int lastRight = columnViewportPosition(columns - 1) + columnWidth(columns - 1);
    if (lastRight >= viewport()->width())
        return;
    QPainter painter(viewport());
    const QColor highlight = palette().color(QPalette::Active, QPalette::Highlight);
    for (const QModelIndex& selected : selectionModel()->selectedRows()) {
        const int top = rowViewportPosition(selected.row());
        if (top < 0 && top + rowHeight(selected.row()) < 0)
            continue;
        painter.fillRect(
            QRect(lastRight, top, viewport()->width() - lastRight, rowHeight(selected.row())),
            highlight);
    }
}

void CListEditView::RepaintSelectedItems() {
    const int columns = model_->columnCount();
    if (columns == 0)
        return;
    auto repaintRow = [this](int row) {
        const int top = rowViewportPosition(row);
        viewport()->update(QRect(0, top, viewport()->width(), rowHeight(row)));
    };
    if (currentIndex().isValid())
        repaintRow(currentIndex().row());
    for (const QModelIndex& selected : selectionModel()->selectedRows())
        repaintRow(selected.row());
}

void CListEditView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    RepaintSelectedItems();
}

void CListEditView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    // Focus going to the list's own edit box needs no repaint of the rows.
    QWidget* next = QApplication::focusWidget();
    if (next && isAncestorOf(next))
        return;
    RepaintSelectedItems();
}

}  // namespace qx
