#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "app/CPropertyPage.h"
#include "app/RowTableModel.h"

namespace qx {

// The "Hot Track" tab: one row per match, with the match count above the list.
class CTabPg3 : public CPropertyPage {
    Q_OBJECT
public:
    enum Column { kTitle = 0, kUrl = 1, kResult = 2 };

    explicit CTabPg3(QWidget* parent = nullptr);

    // Rows are added by the search page as matches arrive.
    void AppendResult(const QString& title, const QString& url, const QString& result);
    RowTableModel* Results() const { return model_; }
    QTableView* ResultsView() const { return view_; }

    // The match count; the label shows it from the next activation on.
    void SetCountText(const QString& text) { countText_ = text; }
    QString CountLabelText() const { return countLabel_->text(); }

    void OnSetActive() override;

    void OnBrowse();
    void OnLaunch();

private:
    QString SelectedUrl() const;

    RowTableModel* model_;
    QTableView* view_;
    QLabel* countLabel_;
    QPushButton* browse_;
    QPushButton* launch_;
    QString countText_;
};

}  // namespace qx
