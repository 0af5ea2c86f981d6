#pragma once

#include <QTableView>
#include <initializer_list>

namespace qx {

// A report-style list view with grid lines and whole-row single selection.
// Column widths are given in average character widths of the view's font.
QTableView* MakeReportView(QWidget* parent);

// Sets the column widths; call after the model is set.
void SizeReportColumns(QTableView* view, std::initializer_list<int> columnChars);

// The row the user last selected, or -1 when no row is selected.
int SelectedRow(const QTableView* view);

}  // namespace qx
