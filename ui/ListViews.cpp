#include "ui/ListViews.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "ui/PlainTextDelegate.h"

namespace qx {

QTableView* MakeReportView(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setShowGrid(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setItemDelegate(new PlainTextDelegate(view));
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

void SizeReportColumns(QTableView* view, std::initializer_list<int> columnChars) {
    const int average = view->fontMetrics().averageCharWidth();
    int column = 0;
    for (int chars : columnChars) {
        view->setColumnWidth(column++, (chars + 2) * average);
    }
}

int SelectedRow(const QTableView* view) {
    const QItemSelectionModel* selection = view->selectionModel();
    if (selection == nullptr) {
        return -1;
    }
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex())) {
        return current.row();
    }
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

}  // namespace qx
