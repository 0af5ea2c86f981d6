#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>

class QTableView;

namespace qx {

class SourceRowTableModel;

// Why a "CONNECTION FAILED" row failed, where a user looks for it: as the
// tool tip of its Result cell, and in status pane 0 while the row is the
// selected one. `reasonOf` gives a scan row's reason ("" for none);
// `showInPane0` writes the pane.
class FailureReasons : public QObject {
public:
    static constexpr int kResultColumn = 2;

    FailureReasons(QTableView* scanView, SourceRowTableModel* scanModel,
                   std::function<std::string(std::size_t row)> reasonOf,
                   std::function<void(const QString&)> showInPane0);

private:
    void RowSelected(int row);

    std::function<std::string(std::size_t row)> reasonOf_;
    std::function<void(const QString&)> showInPane0_;
    bool showing_ = false;  // pane 0 holds a reason, to be put back to "Ready"
};

}  // namespace qx
