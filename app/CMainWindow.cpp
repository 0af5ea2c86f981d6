#include "app/CMainWindow.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTabBar>
#include <QUrl>
#include <QWindow>

#include "app/CAboutDlg.h"
#include "app/CNetworkLink.h"
#include "app/CPref1.h"
#include "app/CPrefSheet.h"
#include "app/CTabPg1.h"
#include "app/CTabPg3.h"
#include "app/Resources.h"
#include "app/ResultsExportFile.h"
#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "search/CrawlTally.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "search/ui/SearchSummaryWindow.h"
#include "ui/GroupBoxTitle.h"
#include "ui/MessageBox.h"
#include "ui/UserSettings.h"

namespace qx {

namespace {

QStringList InitialPaneTexts() {
    return {QString::fromLatin1(CModelessMain::kIdlePrompt), QStringLiteral("Scanned: 0        "),
            QStringLiteral("Remaining: 0        "), QStringLiteral("Searches: 0        ")};
}

}  // namespace

CMainWindow::CMainWindow(QWidget* parent)
    : CModelessMain(InitialPaneTexts(), parent),
      sheet_(new QTabWidget(this)),
      home_(new CTabPg1(this)),
      search_(new CTabPg2(this)),
      results_(new CTabPg3(this)),
      links_(new CToolBarCtrlPage(this)),
      summary_(
          new SearchSummaryWindow([] { return Tally().Snapshot(Counters().RemainingCount.load()); },
                                  [this] { return search_->Session().EngineAlive(); }, this)) {
    InitResources();
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/idle.png")));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kDefaultWidth, kDefaultHeight);
    BuildMenu();
    BuildTabs();
    ConnectPages();
    PutTitlesInBorders(this);
    SetCentralWidget(sheet_);
    SetActivePage(kSearchPage);
}

CMainWindow::~CMainWindow() = default;

void CMainWindow::BuildTabs() {
    home_->SetOwner(this);
    search_->SetOwner(this);
    results_->SetOwner(this);
    links_->SetOwner(this);
    links_->SetRemainingTarget(search_);
    sheet_->setDocumentMode(false);
    sheet_->tabBar()->setExpanding(false);
    sheet_->setContentsMargins(11, 9, 1, 0);
    sheet_->addTab(home_, QIcon(QStringLiteral(":/icons/tab_home.png")), QStringLiteral("Home"));
    sheet_->addTab(search_, QIcon(QStringLiteral(":/icons/tab_search.png")),
                   QStringLiteral("Search"));
    sheet_->addTab(results_, QIcon(QStringLiteral(":/icons/tab_results.png")),
                   QStringLiteral("Hot Track"));
    sheet_->addTab(links_, QIcon(QStringLiteral(":/icons/tab_links.png")), QStringLiteral("Links"));
    connect(sheet_, &QTabWidget::currentChanged, this, &CMainWindow::OnPageChanged);
}

// The search page tells what happened; the other pages and the window's own
// parts act on it here, so that no page reaches another.
void CMainWindow::ConnectPages() {
    static_assert(CTabPg2::kPageIndex == kSearchPage);
    results_->SetResults(search_->resultsModel);
    connect(search_, &CTabPg2::PageRequested, this, &CMainWindow::SetActivePage);
    connect(search_, &CTabPg2::StatusTextChanged, this,
            [this](int pane, const QString& text) { StatusBar()->SetPaneText(pane, text); });
    connect(search_, &CTabPg2::RunningChanged, this, &CMainWindow::SetSmallIcon);
    connect(search_, &CTabPg2::MatchCountChanged, results_, &CTabPg3::SetCountText);
    connect(search_, &CTabPg2::BrowseRequested, this, &CMainWindow::BrowseOnHomePage);
    connect(search_, &CTabPg2::EngineQueriesRequested, links_,
            &CToolBarCtrlPage::SendEngineQueries);
    connect(search_, &CTabPg2::OfferedToLinks, this, &CMainWindow::AddOfferedLink);
}

void CMainWindow::BrowseOnHomePage(const QString& url) {
    SetActivePage(kHomePage);
    home_->Navigate(url);
}

void CMainWindow::AddOfferedLink(const QString& url) {
    // An unchecked row with its box drawn, holding the focus; the links
    // list's selection mark stays where the user put it.
    CListEditView* links = links_->List();
    const int row = links->InsertItem(links->GetItemCount(), url);
    links->SetStateImage(row, ListEditModel::kUnchecked);
    links->SetItemFocused(row);
}

QAction* CMainWindow::AddCommand(QMenu* menu, const QString& text, const QString& prompt,
                                 const QString& name, void (CMainWindow::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setStatusTip(prompt);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void CMainWindow::BuildMenu() {
    QMenu* file = AddMenu(QStringLiteral("&File"), MenuBar());
    AddCommand(file, QStringLiteral("&Connect"), QStringLiteral("Connect to the internet"),
               QStringLiteral("connect"), &CMainWindow::OnConnect);
    AddCommand(file, QStringLiteral("&Disconnect"), QStringLiteral("Disconnect from the internet"),
               QStringLiteral("disconnect"), &CMainWindow::OnDisconnect);
    file->addSeparator();
    AddCommand(file, QStringLiteral("Export &Results..."),
               QStringLiteral("Export the Hot Track results to a CSV or JSON Lines file"),
               QStringLiteral("exportResults"), &CMainWindow::OnExportResults);
    AddCommand(file, QStringLiteral("Export &Scan List..."),
               QStringLiteral("Export the search page's scan list to a CSV or JSON Lines file"),
               QStringLiteral("exportScanList"), &CMainWindow::OnExportScanList);
    file->addSeparator();
    AddCommand(file, QStringLiteral("&Preferences..."),
               QStringLiteral("Display and set Quillex preferences"), QStringLiteral("preferences"),
               &CMainWindow::OnPreferences);
    file->addSeparator();
    AddCommand(file, QStringLiteral("&Exit"), QStringLiteral("Exit"), QStringLiteral("exit"),
               &CMainWindow::OnExit);

    QMenu* actions = AddMenu(QStringLiteral("&Actions"), MenuBar());
    AddCommand(actions, QStringLiteral("&Start"), QStringLiteral("Start search"),
               QStringLiteral("start"), &CMainWindow::OnStart);
    AddCommand(actions, QStringLiteral("S&top"), QStringLiteral("Stop search"),
               QStringLiteral("stop"), &CMainWindow::OnStop);
    actions->addSeparator();
    AddCommand(actions, QStringLiteral("Search S&ummary..."),
               QStringLiteral("Show the figures of the search and a chart of its pace"),
               QStringLiteral("searchSummary"), &CMainWindow::OnSearchSummary);

    // The Help menu sits at the right end of the menu bar.
    auto* helpBar = new QMenuBar(MenuBar());
    QMenu* help = AddMenu(QStringLiteral("&Help"), helpBar);
    AddCommand(help, QStringLiteral("&Help"), QStringLiteral("Display Quillex help"),
               QStringLiteral("help"), &CMainWindow::OnHelp);
    help->addSeparator();
    AddCommand(help, QStringLiteral("&About Quillex"),
               QStringLiteral("Display program information, version number and copyright"),
               QStringLiteral("about"), &CMainWindow::OnAbout);
    MenuBar()->setCornerWidget(helpBar, Qt::TopRightCorner);
}

QAction* CMainWindow::Action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void CMainWindow::SetActivePage(int index) {
    if (index < 0 || index >= sheet_->count()) {
        return;
    }
    if (sheet_->currentIndex() == index) {
        OnPageChanged(index);
    } else {
        sheet_->setCurrentIndex(index);
    }
}

void CMainWindow::OnPageChanged(int index) {
    // The browser's status text ("Done") belongs to the Home tab only.
    if (shownPage_ == kHomePage && index != kHomePage) {
        StatusBar()->SetPaneText(0, QString::fromLatin1(kIdlePrompt));
    }
    shownPage_ = index;
    if (auto* page = qobject_cast<CPropertyPage*>(sheet_->widget(index))) {
        page->OnSetActive();
    }
}

void CMainWindow::OnConnect() {
    if (CNetworkLink::IsConnected()) {
        QxMessageBox(QStringLiteral("You are already connected to the internet!"));
        return;
    }
    CNetworkLink::Dial();
}

void CMainWindow::OnDisconnect() {
    if (!CNetworkLink::IsConnected()) {
        QxMessageBox(QStringLiteral("You are not connected to the internet!"));
        return;
    }
    CNetworkLink::HangUp();
}

void CMainWindow::OnExportResults() {
    std::vector<ExportRow> rows;
    std::unique_lock held = search_->Session().LockRows();  // workers may be appending
    for (const MatchRow& row : search_->Session().MatchRows()) {
        rows.push_back({row.title, row.url, row.description});
    }
    held.unlock();  // the file dialog must not keep the workers waiting
    ResultsExportFile::Run(this, rows, QStringLiteral("results"));
}

void CMainWindow::OnExportScanList() {
    std::vector<ExportRow> rows;
    std::unique_lock held = search_->Session().LockRows();  // workers may be appending
    for (const ScanRow& row : search_->Session().ScanRows()) {
        rows.push_back({row.title, row.url, row.result, row.reason});
    }
    held.unlock();
    ResultsExportFile::Run(this, rows, QStringLiteral("scan-list"), true);
}

void CMainWindow::OnPreferences() {
    CPrefSheet sheet(this);
    sheet.exec();
}

void CMainWindow::ApplyPrefs(const CPref1& page) {
    const int onTop = page.AlwaysOnTop();
    Prefs().AlwaysOnTop = onTop;
    SetStayOnTop(onTop == 1);
    Prefs().UseRobotExclusion = page.UseRobotExclusion();
    const QString identity = page.IdentityText();
    if (!identity.isEmpty()) {
        Prefs().SetIdentity(identity.toStdString());
    }
    Prefs().ObeyRobots = page.ObeyRobots();
    Prefs().PerHostOn = page.PerHostOn();
    Prefs().PerHost = page.PerHost();
    Prefs().SlowDown = page.SlowDown();
    SavePolitePrefs();
}

void CMainWindow::SetStayOnTop(bool onTop) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (flags == windowFlags()) {
        return;
    }
    QWindow* handle = windowHandle();
    if (handle == nullptr) {
        setWindowFlags(flags);
        return;
    }
    // setWindowFlags would destroy and re-create the shown window: the open
    // Preferences dialog would lose its owner and fall behind the now topmost
    // window while still blocking it. The window system takes the new state
    // on the window as it is.
    overrideWindowFlags(flags);
    handle->setFlags(flags);
}

void CMainWindow::OnExit() {
    close();
}

void CMainWindow::OnStart() {
    search_->OnStart();
    SetActivePage(kResultsPage);
}

void CMainWindow::OnStop() {
    search_->OnStop();
}

void CMainWindow::OnSearchSummary() {
    summary_->show();
    summary_->raise();
    summary_->activateWindow();
}

void CMainWindow::OnHelp() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFilePath()));
}

void CMainWindow::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainWindow::SetSmallIcon(bool running) {
    setWindowIcon(QIcon(running ? QStringLiteral(":/icons/running.png")
                                : QStringLiteral(":/icons/idle.png")));
}

QRect CMainWindow::CurrentPlacement() const {
    if (isMinimized() || isMaximized() || isFullScreen()) {
        return normalGeometry();
    }
    return geometry();
}

void CMainWindow::RestorePlacement() {
    std::optional<QRect> placement = LoadPlacement();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableVirtualGeometry() : QRect();
    if (placement) {
        placement->setWidth(std::max(placement->width(), kMinWidth));
        placement->setHeight(std::max(placement->height(), kMinHeight));
        // A window saved on a screen that is gone would open out of reach.
        if (available.isValid() && !available.intersects(*placement)) {
            placement.reset();
        }
    }
    if (placement) {
        setGeometry(*placement);
        return;
    }
    QRect centred(0, 0, kDefaultWidth, kDefaultHeight);
    if (available.isValid()) {
        centred.moveCenter(available.center());
    }
    setGeometry(centred);
}

void CMainWindow::showEvent(QShowEvent* event) {
    CModelessMain::showEvent(event);
    if (!placementRestored_ && !event->spontaneous()) {
        placementRestored_ = true;
        RestorePlacement();
    }
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        SavePlacement(CurrentPlacement());
        search_->Shutdown();
    }
    CModelessMain::closeEvent(event);
}

void CMainWindow::reject() {
    // Escape in a box of a page must not close the program with its search.
}

}  // namespace qx
