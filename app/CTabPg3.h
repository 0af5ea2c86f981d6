#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "search/RemainingRow.h"
#include "ui/CPropertyPage.h"
#include "ui/RowTableModel.h"

namespace qx {

// The "Hot Track" tab: one row per match, with the match count above the list.
class CTabPg3 : public CPropertyPage {
    Q_OBJECT
public:
    enum Column { kTitle = 0, kUrl = 1, kResult = 2 };
    // Cells of a row that no column shows: the texts its highlights use.
    enum HiddenCell { kSearchItemCell = 3, kIncludeCell = 4 };

    explicit CTabPg3(QWidget* parent = nullptr);

    // Rows are added by the search page as matches arrive. A row added
    // without its search's texts is highlighted with the current search's.
    void AppendResult(const QString& title, const QString& url, const QString& result);
    // A match's cells, the texts of its search included.
    static QStringList RowCells(const MatchRow& row);
    // The search item and Include text that the shown row `row` is drawn with.
    QString RowSearchItem(int row) const;
    QString RowIncludeText(int row) const;
    RowTableModel* Results() const { return model_; }
    QTableView* ResultsView() const { return view_; }

    // The match count. The label follows it at once, so that a user watching
    // the list grow reads the number of rows it holds.
    void SetCountText(const QString& text);
    QString CountLabelText() const { return countLabel_->text(); }

    void OnSetActive() override;

    void OnBrowse();
    void OnLaunch();
    // Opens the selected row's page in the default browser at the first
    // occurrence of the search item (a text fragment).
    void OnLaunchAtMatch();
    // Puts the selected row's URL on the clipboard.
    void OnCopy();

    // The right-click menu's commands, from the top; each acts on the
    // clicked row, which the click selects.
    enum PopupCommand { kPopupBrowse, kPopupLaunch, kPopupCopy, kPopupLaunchAtMatch };
    void RunPopupCommand(int command, int row);

private:
    QString SelectedUrl() const;
    void ShowPopup(const QPoint& position);

    RowTableModel* model_;
    QTableView* view_;
    QLabel* countLabel_;
    QPushButton* browse_;
    QPushButton* launch_;
    QString countText_;
};

}  // namespace qx
