#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <memory>
#include <mutex>

#include "search/PostedViewCalls.h"
#include "search/SearchControls.h"
#include "search/SearchSession.h"
#include "search/SearchSessionView.h"
#include "ui/CPropertyPage.h"
#include "ui/MatchNotifier.h"
#include "ui/RemainingRowsTarget.h"
#include "ui/SourceRowTableModel.h"

namespace qx {

// The "Search" tab: the search controls, the scan list and the Remaining list,
// shown over a search session. The engine and the workers run the session's
// handlers themselves, which change only the session's rows under its lock;
// the lists show those rows in batches, and the handlers' other view calls
// are posted to the user-interface thread. Message boxes of the engine still
// wait for this thread, through the session's queue, which this page pumps.
// The page reaches no other page: it tells what happened through its
// signals, and the main window passes it on.
class CTabPg2 : public CPropertyPage, public SearchSessionView, public RemainingRowsTarget {
    Q_OBJECT
public:
    // The page's place among the main window's tabs.
    static constexpr int kPageIndex = 1;

    explicit CTabPg2(QWidget* parent = nullptr);
    ~CTabPg2() override;

    // The page's commands (buttons, and Start and Stop of the Actions menu).
    void OnStart();
    void OnStop();
    void OnClear();
    void OnDelete();
    void OnToLinks();
    void OnAdvanced();
    void OnSE();

    // Ends a running search for good before the window goes away.
    void Shutdown();

    bool AdvancedShown() const { return advancedShown_; }
    QString LastToLinks() const { return lastToLinks_; }
    SearchSession& Session() { return *session_; }
    // The controls as the session reads them at Start.
    SearchControls ReadControls() const;

    // The right-click menu's commands on a URL.
    enum PopupCommand { kPopupBrowse = 0, kPopupLaunch = 1, kPopupCopy = 2 };
    void RunPopupCommand(int command, const QString& url);
    // The URL of a row of one of the lists (scan: "Scanned URL", Remaining:
    // "Remaining URL").
    QString PopupUrl(const QTableView* view, int row) const;

    // True once any search of this process has started; its threads may then
    // outlive the page by a little.
    static bool SearchEverStarted();

    // RemainingRowsTarget: the links page hands over start rows.
    bool SearchRunning() const override;
    void ShowSearchPage() override;
    void InsertRemainingRow(int index, const RemainingRow& row) override;

    // SearchSessionView
    void ShowMessage(const std::string& text, MessageKind kind) override;
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void SetStatusText(int pane, const std::string& text) override;
    void SetRunningIcon(bool running) override;
    void SetResultCountText(const std::string& text) override;
    void ActivatePage(int index) override;
    void SetWaitCursor(bool on) override;
    void AlertNewMatch(const std::string& title, const std::string& url,
                       const std::string& description) override;
    void RowAppended(SessionList list, std::size_t index) override;
    void RowInserted(SessionList list, std::size_t index) override;
    void RowRemoving(SessionList list, std::size_t index) override;
    void RowRemoved(SessionList list, std::size_t index) override;
    void RowsReset(SessionList list) override;

    // Controls, for the links page, the command-line search and tests.
    QLineEdit* searchEdit;
    QLineEdit* targetEdit;
    QLineEdit* includeEdit;
    QLineEdit* excludeEdit;
    QPushButton* startButton;
    QPushButton* stopButton;
    QPushButton* clearButton;
    QPushButton* advancedButton;
    QPushButton* seButton;
    QPushButton* deleteButton;
    QPushButton* toLinksButton;
    QCheckBox* repeatCheck;
    QLineEdit* repeatEdit;
    QCheckBox* stopOnMatchCheck;
    QCheckBox* maxDepthCheck;
    QLineEdit* maxDepthEdit;
    QCheckBox* widthDepthCheck;
    QLineEdit* widthDepthEdit;
    QCheckBox* maxConnectionsCheck;
    QLineEdit* maxConnectionsEdit;
    QCheckBox* defaultWidthCheck;
    QLineEdit* defaultWidthEdit;
    QCheckBox* itemIncludeCheck;
    QCheckBox* describeCheck;
    QLineEdit* describeForwardEdit;
    QLineEdit* describeBackwardEdit;
    QGroupBox* engineTimingGroup;
    QCheckBox* engineTimingCheck;
    QLineEdit* engineRevsEdit;
    QLineEdit* engineDampEdit;
    QCheckBox* noRemoveCheck;
    QCheckBox* maxRemainingCheck;
    QLineEdit* maxRemainingEdit;
    QCheckBox* excludeUrlCheck;
    QCheckBox* includeUrlCheck;

    QTableView* scanView;
    QTableView* remainingView;
    // The lists show the session's rows without a copy: a long crawl holds
    // hundreds of thousands of them.
    SourceRowTableModel* scanModel;
    SourceRowTableModel* remainingModel;
    // The session's matches, for the results page, which shows this model:
    // they follow the session exactly as the scan list does.
    SourceRowTableModel* resultsModel;

signals:
    // The user asked to see `url` in the program's own browser page.
    void BrowseRequested(const QString& url);
    // "To Links" took `url` off the Remaining list for the links page.
    void OfferedToLinks(const QString& url);
    // "SE": the links page builds a start URL per engine from these words.
    void EngineQueriesRequested(const QString& words);
    void StatusTextChanged(int pane, const QString& text);
    void RunningChanged(bool running);
    // The results page's match count text.
    void MatchCountChanged(const QString& text);
    // A page of the main window is to become the current one.
    void PageRequested(int index);

private:
    // Who may receive the queue's wake-ups: the page while it lives. Worker
    // threads read it under the lock; the page clears it before it goes.
    struct PumpTarget {
        std::mutex lock;
        CTabPg2* page = nullptr;
        // A call to PumpQueue is posted and has not started yet: one is
        // enough, however many sends arrive before it runs.
        bool posted = false;
    };

    QWidget* BuildAdvancedControls();
    QLineEdit* NumericEdit();
    static int TextBoxWidth(const QLineEdit* edit, int characters);
    void ConnectCommands();
    void ConnectPopup(QTableView* view);
    void ShowPopup(QTableView* view, const QPoint& position);
    void PumpQueue();
    // Lets the handlers run on the sending threads: the lists read the
    // session's rows under its lock, and view calls off this thread wait in
    // posted_ for ShowPostedCalls.
    void ShareRowsWithHandlers();
    // Off this thread: keeps a call for later and returns true. On it:
    // forgets an older kept one of the same kind and returns false.
    bool PostedStatus(int pane, const std::string& text);
    bool PostedCountText(const std::string& text);
    bool PostedAlert(const std::string& title, const std::string& url,
                     const std::string& description);
    // Any thread: asks for ShowPostedCalls when `ask` is true.
    void AskForPostedCalls(bool ask);
    void ShowPostedCalls();
    bool OnPageThread() const;
    // The model over a list of the session's.
    SourceRowTableModel* SessionModelOf(SessionList list) const;
    std::size_t SessionRowCount(SessionList list) const;
    QStringList SessionRow(SessionList list, std::size_t index) const;

    // The last row that "To Links" handed over.
    QString lastToLinks_;
    QWidget* advanced_ = nullptr;
    bool advancedShown_ = false;
    int waitCursors_ = 0;
    MatchNotifier* matchNotifier_;
    std::shared_ptr<PumpTarget> pumpTarget_;
    PostedViewCalls posted_;
    QTimer* postedTimer_ = nullptr;
    std::unique_ptr<SearchSession> session_;
};

}  // namespace qx
