#pragma once

#include <QAction>
#include <QPointer>
#include <QTabWidget>

#include "app/CModelessMain.h"
#include "ui/MessageBox.h"

namespace qx {

class CPref1;
class CPropertyPage;
class CTabPg1;
class CTabPg2;
class CTabPg3;
class CToolBarCtrlPage;
class SearchSummaryWindow;

// The program's main window: four tabs (browser, search, results, links), the
// menu and the status bar. It saves its placement when it closes and ends the
// program.
class CMainWindow : public CModelessMain {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "QuillEx 1.0.2.0";
    static constexpr int kHomePage = 0;
    static constexpr int kSearchPage = 1;
    static constexpr int kResultsPage = 2;
    static constexpr int kLinksPage = 3;
    static constexpr int kMinWidth = 500;
    static constexpr int kMinHeight = 300;
    static constexpr int kDefaultWidth = 760;
    static constexpr int kDefaultHeight = 640;

    explicit CMainWindow(QWidget* parent = nullptr);
    ~CMainWindow() override;

    QTabWidget* Sheet() const { return sheet_; }
    void SetActivePage(int index);
    int ActivePage() const { return sheet_->currentIndex(); }
    CTabPg1* HomePage() const { return home_; }
    CTabPg2* SearchPage() const { return search_; }
    CTabPg3* ResultsPage() const { return results_; }
    CToolBarCtrlPage* LinksPage() const { return links_; }
    SearchSummaryWindow* SummaryWindow() const { return summary_; }

    // The menu's commands.
    void OnConnect();
    void OnDisconnect();
    void OnExportResults();
    void OnExportScanList();
    void OnPreferences();
    void OnExit();
    void OnStart();
    void OnStop();
    void OnSearchSummary();
    void OnHelp();
    void OnAbout();

    // Applies the values of an open preferences page (WM_APPLY_PREFS).
    void ApplyPrefs(const CPref1& page);
    // Keeps the window above all others, or not, without re-creating it.
    void SetStayOnTop(bool onTop);

    // The placement that closing stores: the normal (not minimised or
    // maximised) geometry of the window.
    QRect CurrentPlacement() const;
    void RestorePlacement();
    void SetSmallIcon(bool running);
    // Shows `url` in the browser page, which becomes the current page.
    void BrowseOnHomePage(const QString& url);

    QAction* Action(const QString& objectName) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void BuildMenu();
    void BuildTabs();
    void ConnectPages();
    // A row the search page gave up to the links list.
    void AddOfferedLink(const QString& url);
    QAction* AddCommand(QMenu* menu, const QString& text, const QString& prompt,
                        const QString& name, void (CMainWindow::*handler)());
    void OnPageChanged(int index);

    QTabWidget* sheet_;
    CTabPg1* home_;
    CTabPg2* search_;
    CTabPg3* results_;
    CToolBarCtrlPage* links_;
    SearchSummaryWindow* summary_;
    bool placementRestored_ = false;
    bool closing_ = false;
    int shownPage_ = -1;  // the page whose tab was shown last
    DialogOwnerRegistration dialogOwner_{this};
};

}  // namespace qx
