#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <thread>

#include "SearchPageFixture.h"
#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "app/CTabPg3.h"
#include "core/support/LoopbackSite.h"
#include "core/support/RawServer.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "ui/UserSettings.h"

using namespace qx;

// Crawls through the search page of a real main window: matches reach Hot Track,
// a stopped search's flooding worker does not hold up Start, and closing the
// window during a crawl ends it cleanly.
namespace {

std::string RawResponse(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Links to /PREFIX0.html ... /PREFIX<count-1>.html.
std::string LinkList(const std::string& prefix, int count) {
    std::string links;
    for (int i = 0; i < count; ++i) {
        links += "<a href=\"/" + prefix + std::to_string(i) + ".html\">l</a>";
    }
    return links;
}

void AddRemaining(CTabPg2* page, const std::string& url) {
    page->Session().AppendRemaining({url, "0", "infinity", "infinity"});
    page->remainingModel->FlushPending();
}

}  // namespace

class SearchPageCrawlTest : public QObject, public test::SearchPageFixture {
    Q_OBJECT

private slots:
    void init() { OpenWindow(); }
    void cleanup() { CloseWindow(); }

    void crawlThroughTheWindowFindsTheMatch() {
        test::LoopbackSite site({
            {"/",
             {"<html><head><title>Pets</title></head><body><p>We love cats and dogs."
              "</p><a href=\"/more\">more</a></body></html>"}},
            {"/more", {"<html><body>cats again</body></html>"}},
        });
        QAbstractItemModelTester scanTester(page_->scanModel,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester resultsTester(
            window_->ResultsPage()->Results(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
        window_->show();
        AddRemaining(page_, site.Url("/"));
        page_->searchEdit->setText(QStringLiteral("cats"));
        window_->OnStart();
        QVERIFY(page_->Session().running());
        QCOMPARE(window_->ActivePage(), CMainWindow::kResultsPage);
        SourceRowTableModel* results = window_->ResultsPage()->Results();
        QTRY_VERIFY_WITH_TIMEOUT(results->rowCount() >= 1, 20000);
        QCOMPARE(results->Cell(0, 1), QString::fromStdString(site.Url("/")));
        QCOMPARE(results->Cell(0, 0), QStringLiteral("Pets"));
        // The linked page is crawled too and counted.
        QTRY_VERIFY_WITH_TIMEOUT(window_->StatusBar()->PaneText(1) == QStringLiteral("Scanned: 2"),
                                 20000);
        StopWithYes();
    }

    void closingTheWindowDuringASearchEndsCleanly() {
        test::LoopbackSite site({{"/", {"<html><body>cats</body></html>"}}});
        AddRemaining(page_, site.Url("/"));
        page_->searchEdit->setText(QStringLiteral("cats"));
        window_->show();
        page_->OnStart();
        QVERIFY(page_->Session().running());
        QPointer<CMainWindow> guard(window_.data());
        window_->close();
        QTRY_VERIFY(guard.isNull());
        QVERIFY(LoadPlacementExists());
    }

    void startWhileTheWorkerOfAStoppedSearchStillFloodsThePage() {
        // One slow page of 20,000 links: its worker gets it after Stop has
        // ended the engine, then sends the links one by one to the page
        // while it holds the crawl queue.
        const std::string links = "<p>word</p>" + LinkList("p", 20000);
        test::RawServer server([&links](test::RawServer::Connection& c) {
            c.ReadRequest();
            c.Wait(std::chrono::milliseconds(300));
            c.Send(RawResponse(links));
        });
        StartCrawlOf(server, "word", "1");
        QVERIFY(page_->Session().running());
        QTRY_VERIFY_WITH_TIMEOUT(Counters().ActiveWorkers == 1, 20000);
        StopWithYes();
        QTRY_VERIFY_WITH_TIMEOUT(!page_->Session().EngineAlive(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(page_->Session().Remaining().Size() > 100, 20000);
        // The new search starts no worker. Start must serve the old worker's
        // sends while it waits for the queue the worker holds.
        page_->maxConnectionsEdit->setText(QStringLiteral("0"));
        page_->OnStart();
        QVERIFY(page_->Session().running());
        QCOMPARE(page_->Session().Remaining().Size(), std::size_t{20000});
        StopWithYes();
    }

    void closingTheWindowWithTwoHundredWorkersRunning() {
        test::RawServer server([](test::RawServer::Connection& c) {
            const std::string request = c.ReadRequest();
            std::string body = "<p>slow cats</p>";
            if (request.rfind("GET / ", 0) == 0) {
                body = LinkList("s", 200);
            } else {
                c.Wait(std::chrono::milliseconds(500));
            }
            c.Send(RawResponse(body));
        });
        window_->show();
        StartCrawlOf(server, "cats", "250");
        QVERIFY(page_->Session().running());
        QTRY_VERIFY_WITH_TIMEOUT(Counters().ActiveWorkers >= 150, 20000);
        QPointer<CMainWindow> guard(window_.data());
        QElapsedTimer closing;
        closing.start();
        window_->close();
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 10000);
        // Two seconds in the program; the margin is for slow test machines.
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(LoadPlacementExists());
    }

private:
    static bool LoadPlacementExists() { return OpenUserSettings()->contains(QStringLiteral("x2")); }

    // Starts a search of the server's root with fast engine rounds.
    void StartCrawlOf(const test::RawServer& server, const char* search,
                      const char* maxConnections) {
        AddRemaining(page_, "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
        page_->searchEdit->setText(QString::fromLatin1(search));
        page_->engineTimingCheck->setChecked(true);
        page_->engineRevsEdit->setText(QStringLiteral("10"));
        page_->engineDampEdit->setText(QStringLiteral("1"));
        page_->maxConnectionsCheck->setChecked(true);
        page_->maxConnectionsEdit->setText(QString::fromLatin1(maxConnections));
        page_->OnStart();
    }
};

QTEST_MAIN(SearchPageCrawlTest)
#include "SearchPageCrawl_test.moc"
