#include <QSignalSpy>
#include <QtTest>
#include <functional>

#include "SessionMatches.h"
#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"

using namespace qx;

namespace {

void AddRemaining(CTabPg2& page, const std::string& url) {
    page.Session().AppendRemaining({url, "0", "infinity", "infinity"});
    page.remainingModel->FlushPending();
}

QImage IconImage(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

}  // namespace

// The search page reaches no other page: it tells what happened, and the main
// window passes it on to the page or part that acts on it.
class PageWiringTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<test::TemporaryUserSettings>();
        recorder_ = std::make_unique<test::MessageRecorder>();
        test::ResetSearchSettingsAndCounters();
    }
    void cleanup() {
        recorder_.reset();
        settings_.reset();
    }

    void searchPageAloneTellsWhatHappened() {
        CTabPg2 page;  // no main window
        AddRemaining(page, "http://offered.example/");
        QSignalSpy browse(&page, &CTabPg2::BrowseRequested);
        QSignalSpy offered(&page, &CTabPg2::OfferedToLinks);
        QSignalSpy engines(&page, &CTabPg2::EngineQueriesRequested);
        QSignalSpy status(&page, &CTabPg2::StatusTextChanged);
        QSignalSpy count(&page, &CTabPg2::MatchCountChanged);
        QSignalSpy pages(&page, &CTabPg2::PageRequested);
        struct Case {
            const char* name;
            std::function<void()> act;
            QSignalSpy* spy;
            QVariantList args;
        } cases[] = {
            {"popup Browse",
             [&] { page.RunPopupCommand(CTabPg2::kPopupBrowse, QStringLiteral("http://b/")); },
             &browse,
             {QStringLiteral("http://b/")}},
            {"SE",
             [&] {
                 page.searchEdit->setText(QStringLiteral("cats dogs"));
                 page.OnSE();
             },
             &engines,
             {QStringLiteral("cats dogs")}},
            {"To Links",
             [&] {
                 page.remainingView->selectRow(0);
                 page.OnToLinks();
             },
             &offered,
             {QStringLiteral("offered.example/")}},
            {"a match",
             [&] { test::SendMatch(page.Session(), "T", "http://m/", "d"); },
             &count,
             {QStringLiteral("1")}},
            {"Clear", [&] { page.OnClear(); }, &status, {1, QStringLiteral("Scanned: 0")}},
            {"rows for the Remaining list",
             [&] { page.ShowSearchPage(); },
             &pages,
             {CMainWindow::kSearchPage}},
        };
        for (const Case& c : cases) {
            const qsizetype before = c.spy->count();
            c.act();
            QVERIFY2(c.spy->mid(before).contains(c.args), c.name);
        }
        QVERIFY(recorder_->texts.isEmpty());
    }

    // The rest of the wiring is seen in the search, results and links
    // pages' own tests (Browse, To Links, SE, status panes, the count).
    void mainWindowShowsTheRequestedPageAndTheRunningIcon() {
        CMainWindow window;
        CTabPg2* page = window.SearchPage();
        emit page->PageRequested(CMainWindow::kLinksPage);
        QCOMPARE(window.ActivePage(), CMainWindow::kLinksPage);
        for (const auto& [running, icon] :
             {std::pair{true, ":/icons/running.png"}, std::pair{false, ":/icons/idle.png"}}) {
            emit page->RunningChanged(running);
            QVERIFY2(IconImage(window.windowIcon()) == IconImage(QIcon(QString::fromLatin1(icon))),
                     icon);
        }
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
    std::unique_ptr<test::MessageRecorder> recorder_;
};

QTEST_MAIN(PageWiringTest)
#include "PageWiring_test.moc"
