#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "search/ui/MatchRowsModel.h"
#include "ui/CPropertyPage.h"
#include "ui/SourceRowTableModel.h"

namespace qx {

// The "Hot Track" tab: one row per match, with the match count above the list.
class CTabPg3 : public CPropertyPage {
    Q_OBJECT
public:
    enum Column { kTitle = kMatchTitle, kUrl = kMatchUrl, kResult = kMatchResult };
    // Cells of a row that no column shows: the texts its highlights use.
    enum HiddenCell { kSearchItemCell = kMatchSearchItem, kIncludeCell = kMatchInclude };

    explicit CTabPg3(QWidget* parent = nullptr);

    // The list shows the search session's matches through the search page's
    // model, which follows them as they arrive; the main window hands it
    // over once. A row without its search's texts is highlighted with the
    // current search's.
    void SetResults(SourceRowTableModel* model);
    // The search item and Include text that the shown row `row` is drawn with.
    QString RowSearchItem(int row) const;
    QString RowIncludeText(int row) const;
    SourceRowTableModel* Results() const { return model_; }
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
    QString ShownCell(int row, int column) const;
    void ShowPopup(const QPoint& position);

    SourceRowTableModel* model_ = nullptr;
    QTableView* view_;
    QLabel* countLabel_;
    QPushButton* browse_;
    QPushButton* launch_;
    QString countText_;
};

}  // namespace qx
