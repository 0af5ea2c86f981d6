#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "ui/CPropertyPage.h"

class QAction;
class QPushButton;
class QToolBar;

namespace qx {

class CListEditView;
class RemainingRowsTarget;

// The "Links" page: the user's start URLs with their depth and width, the
// engines loaded from the engines file, and the commands that edit the list,
// exchange it with link files and hand the ticked rows to the search page.
class CToolBarCtrlPage : public CPropertyPage {
    Q_OBJECT
public:
    // Command ids of the toolbar buttons.
    enum Command : int {
        kInsert = 2,
        kDelete = 3,
        kSelectAll = 4,
        kClearAll = 5,
        kLoad = 6,
        kSave = 7,
        kEngines = 8,
    };
    static constexpr int kUrlColumn = 0;
    static constexpr int kDepthColumn = 1;
    static constexpr int kWidthColumn = 2;
    static constexpr const char* kNoLimit = "infinity";

    explicit CToolBarCtrlPage(QWidget* parent = nullptr);
    ~CToolBarCtrlPage() override;

    // The search page; without one, nothing can be handed over.
    void SetRemainingTarget(RemainingRowsTarget* target) { target_ = target; }

    CListEditView* List() const { return list_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QPushButton* ToSearchButton() const { return toSearch_; }
    QAction* CommandAction(int command) const;

    // The list commands.
    void OnInsert();
    void OnDelete();
    void OnSelectAll();
    void OnClearAll();
    void OnLoad();
    void OnSave();
    void OnEngines();
    void OnToSearch();

    // The search page's "SE": every ticked row goes to the Remaining list with
    // the search item in place of its engine marker.
    void SendEngineQueries(const QString& searchItem);

    // Adds one row from a link line after the selection mark (at the end when
    // there is none) and moves the mark to it; the caller's line is trimmed.
    void InsertLinkLine(std::string& line);
    // The same for many lines at once, as one block in their order.
    void InsertLinkLines(std::vector<std::string>& lines);

    // Where the engines file is looked for: in the program folder
    // (ProgramFolder()), or in the current directory when there is none.
    static QStringList EnginesFileCandidates();
    // The first candidate that exists, else the first one.
    static QString EnginesFilePath();

private:
    void BuildToolBar();
    void BuildColumns();
    void HandOverCheckedRows(const std::string* queryWords);
    bool RefuseWhileSearching() const;

    QToolBar* toolBar_;
    CListEditView* list_;
    QPushButton* toSearch_;
    std::vector<QAction*> commands_;
    RemainingRowsTarget* target_ = nullptr;
};

}  // namespace qx
