#include "search/ui/FailureReasons.h"

#include <QItemSelectionModel>
#include <QTableView>

#include "ui/SourceRowTableModel.h"

namespace qx {

FailureReasons::FailureReasons(QTableView* scanView, SourceRowTableModel* scanModel,
                               std::function<std::string(std::size_t row)> reasonOf,
                               std::function<void(const QString&)> showInPane0)
    : QObject(scanView), reasonOf_(std::move(reasonOf)), showInPane0_(std::move(showInPane0)) {
    scanModel->SetToolTips([this](std::size_t row, int column) {
        return column == kResultColumn ? QString::fromStdString(reasonOf_(row)) : QString();
    });
    connect(scanView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { RowSelected(current.row()); });
}

void FailureReasons::RowSelected(int row) {
    const std::string reason = row >= 0 ? reasonOf_(static_cast<std::size_t>(row)) : "";
    if (!reason.empty()) {
        showInPane0_(QString::fromStdString(reason));
        showing_ = true;
    } else if (showing_) {
        showInPane0_(QStringLiteral("Ready"));
        showing_ = false;
    }
}

}  // namespace qx
