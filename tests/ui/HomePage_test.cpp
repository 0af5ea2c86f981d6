#include <signal.h>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QtTest>

#include "SessionMatches.h"
#include "UiTestSupport.h"
#include "UrlCatcher.h"
#include "app/CMainWindow.h"
#include "app/CTabPg1.h"
#include "app/CTabPg3.h"
#include "app/CWebBrowser2.h"
#include "core/support/LoopbackSite.h"
#include "core/support/RawServer.h"
#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "search/ui/CTabPg2.h"

#ifdef QX_HAVE_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineView>
#endif

using namespace qx;

namespace {

constexpr int kLoadTimeoutMs = 20000;

QString Url(const test::LoopbackSite& site, const char* path) {
    return QString::fromStdString(site.Url(path));
}

}  // namespace

class HomePageTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<test::TemporaryUserSettings>();
        window_ = std::make_unique<CMainWindow>();
        window_->show();
        home_ = window_->HomePage();
    }
    void cleanup() {
        window_.reset();
        CWebBrowser2::SetEngineDisabled(false);
    }

    void recordingAddsTheFirstUrlOfEachNavigationAsTheSecondRow() {
        RequireEngine();
        test::LoopbackSite site({
            {"/",
             {"<html><body><a id=\"l\" href=\"/frames\" "
              "target=\"_blank\">frames</a></body></html>"}},
            {"/frames",
             {"<html><body><iframe src=\"/f1\"></iframe><iframe src=\"/f2\"></iframe>"
              "</body></html>"}},
            {"/f1", {"one"}},
            {"/f2", {"two"}},
            {"/old", test::LoopbackPage::Redirect("/", 302)},
        });
        CListEditView* list = window_->LinksPage()->List();
        list->InsertItem(0, QStringLiteral("http://seed.example/"));

        LoadAndWait([&] { home_->Navigate(Url(site, "/")); });
        QCOMPARE(list->GetItemCount(), 1);  // the box is not ticked

        home_->RecordBox()->setChecked(true);
        LoadAndWait([&] { ClickLink(QStringLiteral("l")); });
        QCOMPARE(site.Requests("/f2"), 1);
        QCOMPARE(list->GetItemCount(), 2);  // the frames add nothing
        QCOMPARE(list->GetItemText(1, 0), Url(site, "/frames"));
        QCOMPARE(list->GetStateImage(1), static_cast<int>(ListEditModel::kUnchecked));
        QCOMPARE(list->GetItemText(1, 1), QString());
        QCOMPARE(list->currentIndex().row(), 1);

        LoadAndWait([&] { home_->Navigate(Url(site, "/old")); });
        QCOMPARE(list->GetItemCount(), 3);  // the redirect's target adds nothing
        QCOMPARE(list->GetItemText(1, 0), Url(site, "/old"));
        QCOMPARE(list->GetItemText(2, 0), Url(site, "/frames"));
        QCOMPARE(list->GetItemText(0, 0), QStringLiteral("http://seed.example/"));
    }

    void firstBrowseFromHotTrackBuildsTheLinksPageAndStaysHome() {
        RequireEngine();
        test::LoopbackSite site({{"/", {"<html><body>hello</body></html>"}}});
        CTabPg3* results = window_->ResultsPage();
        test::SendMatch(window_->SearchPage()->Session(), "T", Url(site, "/").toStdString(), "r");
        results->Results()->FlushPending();
        results->ResultsView()->selectRow(0);
        QVERIFY(home_->Browser()->HasBorder());
        QList<int> shown;
        connect(window_->Sheet(), &QTabWidget::currentChanged, this, [&](int i) { shown << i; });

        LoadAndWait([&] { results->OnBrowse(); });
        QCOMPARE(site.Requests("/"), 1);
        QCOMPARE(shown, QList<int>({CMainWindow::kHomePage, CMainWindow::kLinksPage,
                                    CMainWindow::kHomePage}));
        QCOMPARE(window_->ActivePage(), CMainWindow::kHomePage);
        QVERIFY(!home_->Browser()->HasBorder());
        QCOMPARE(window_->StatusBar()->PaneText(0), QStringLiteral("Done"));
        QCOMPARE(home_->UrlBox()->text(), Url(site, "/"));
    }

    void recordBoxIsLabelledAndTheStatusTextStaysOnHome() {
        QVERIFY(!home_->RecordBox()->text().isEmpty());
        window_->SetActivePage(CMainWindow::kHomePage);
        emit home_->Browser()->StatusTextChange(QStringLiteral("Done"));
        QCOMPARE(window_->StatusBar()->PaneText(0), QStringLiteral("Done"));
        window_->SetActivePage(CMainWindow::kResultsPage);
        QCOMPARE(window_->StatusBar()->PaneText(0), QStringLiteral("Ready"));
        // A page still loading behind another tab leaves its pane alone.
        emit home_->Browser()->StatusTextChange(QStringLiteral("Loading"));
        QCOMPARE(window_->StatusBar()->PaneText(0), QStringLiteral("Ready"));
        window_->SetActivePage(CMainWindow::kSearchPage);
        window_->StatusBar()->SetPaneText(0, QStringLiteral("a search's own text"));
        window_->SetActivePage(CMainWindow::kLinksPage);
        QCOMPARE(window_->StatusBar()->PaneText(0), QStringLiteral("a search's own text"));
    }

    void navigationRowCommands() {
        RequireEngine();
        test::LoopbackSite site(
            {{"/a", {"<html><body>a</body></html>"}}, {"/b", {"<html><body>b</body></html>"}}});
        // The box is handed over as typed; a missing scheme means http.
        home_->UrlBox()->setText(QStringLiteral("127.0.0.1:%1/a").arg(site.Port()));
        LoadAndWait([&] { home_->OnGo(); });
        QCOMPARE(site.Requests("/a"), 1);
        QCOMPARE(home_->UrlBox()->text(), Url(site, "/a"));
        LoadAndWait([&] { home_->Navigate(Url(site, "/b")); });
        LoadAndWait([&] { home_->OnBack(); });
        QCOMPARE(home_->UrlBox()->text(), Url(site, "/a"));
        LoadAndWait([&] { home_->OnForward(); });
        QCOMPARE(home_->UrlBox()->text(), Url(site, "/b"));
        LoadAndWait([&] { home_->OnRefresh(); });
        QCOMPARE(site.Requests("/b"), 2);

        // A page that never answers is ended by a new navigation, which is
        // recorded, or by "!".
        test::RawServer silent([](test::RawServer::Connection& c) {
            c.ReadRequest();
            c.Wait(std::chrono::seconds(60));
        });
        const QString silentUrl = QStringLiteral("http://127.0.0.1:%1/").arg(silent.Port());
        home_->RecordBox()->setChecked(true);
        home_->Navigate(silentUrl);
        QTRY_VERIFY_WITH_TIMEOUT(silent.Connections() == 1, kLoadTimeoutMs);
        LoadAndWait([&] { home_->Navigate(Url(site, "/a")); }, 2);  // silent's end, then /a's
        QCOMPARE(window_->LinksPage()->List()->GetItemText(1, 0), Url(site, "/a"));
        QSignalSpy complete(home_->Browser(), &CWebBrowser2::NavigateComplete2);
        home_->Navigate(silentUrl);
        QTRY_VERIFY_WITH_TIMEOUT(silent.Connections() == 2, kLoadTimeoutMs);
        QCOMPARE(complete.count(), 0);
        home_->OnStop();
        QTRY_COMPARE_WITH_TIMEOUT(complete.count(), 1, kLoadTimeoutMs);

#ifdef QX_HAVE_WEBENGINE
        // A killed renderer ends its page; the next navigation gets a new one.
        const qint64 renderer = home_->Browser()->View()->page()->renderProcessPid();
        QVERIFY(renderer > 0);
        LoadAndWait([&] { ::kill(static_cast<pid_t>(renderer), SIGKILL); });
        LoadAndWait([&] { home_->Navigate(Url(site, "/a")); });
        QCOMPARE(site.Requests("/a"), 3);
#endif
    }

    void withoutTheEngineBrowseOpensTheDefaultBrowser() {
        window_.reset();
        CWebBrowser2::SetEngineDisabled(true);
        window_ = std::make_unique<CMainWindow>();
        home_ = window_->HomePage();
        test::UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        CTabPg3* results = window_->ResultsPage();
        test::SendMatch(window_->SearchPage()->Session(), "T", "http://a.example/x", "");
        results->Results()->FlushPending();
        results->ResultsView()->selectRow(0);
        results->OnBrowse();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl(QStringLiteral("http://a.example/x"))}));
        QCOMPARE(window_->ActivePage(), CMainWindow::kHomePage);
        QVERIFY(!home_->Browser()->HasView());
        QVERIFY(home_->Browser()->NoticeText().contains(QStringLiteral("default browser")));
    }

    void aRendererThatFailsBeforeAnyPageGivesUpTheEngine() {
        RequireEngine();
#ifdef QX_HAVE_WEBENGINE
        test::UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        home_->Navigate(QStringLiteral("http://a.example/y"));
        emit home_->Browser()->View()->page()->renderProcessTerminated(
            QWebEnginePage::AbnormalTerminationStatus, 1);
        home_->Navigate(QStringLiteral("http://a.example/z"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl(QStringLiteral("http://a.example/y")),
                                            QUrl(QStringLiteral("http://a.example/z"))}));
        QVERIFY(!home_->Browser()->HasView());
        QVERIFY(!home_->Browser()->NoticeText().isEmpty());
#endif
    }

private:
    void RequireEngine() {
        if (!CWebBrowser2::EngineAvailable()) {
            QSKIP("Qt WebEngine cannot run here");
        }
    }

    // Runs `start` and waits for `ends` ends of main frame navigations.
    void LoadAndWait(const std::function<void()>& start, int ends = 1) {
        QSignalSpy complete(home_->Browser(), &CWebBrowser2::NavigateComplete2);
        start();
        QTRY_VERIFY_WITH_TIMEOUT(complete.count() >= ends, kLoadTimeoutMs);
    }

    void ClickLink(const QString& id) {
#ifdef QX_HAVE_WEBENGINE
        home_->Browser()->View()->page()->runJavaScript(
            QStringLiteral("document.getElementById('%1').click()").arg(id));
#else
        Q_UNUSED(id);
#endif
    }

    std::unique_ptr<test::TemporaryUserSettings> settings_;
    std::unique_ptr<CMainWindow> window_;
    CTabPg1* home_ = nullptr;
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CWebBrowser2::PrepareEngine();
    QApplication app(argc, argv);
    HomePageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HomePage_test.moc"
