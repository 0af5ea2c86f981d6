// The search page while a crawl's workers change its lists from their own
// threads: the commands, a tab switch and closing the window in the middle
// of it, with the lists' models checked on every change they announce.
#include <QAbstractItemModelTester>
#include <QtTest>
#include <random>

#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "core/support/RawServer.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"

using namespace qx;

namespace {

std::string Links(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::string links = "<p>cats</p>";
    for (int i = 0; i < count; ++i) {
        links += "<a href=\"/s" + std::to_string(random() % 3000) + ".html\">l</a>";
    }
    return links;
}

}  // namespace

class SearchPageThreadsTest : public QObject {
    Q_OBJECT

private slots:
    void commandsAndClosingWhileWorkersChangeTheLists() {
        test::TemporaryUserSettings settings;
        test::MessageRecorder recorder;
        Counters().ActiveWorkers = 0;
        test::RawServer server([](test::RawServer::Connection& c) {
            const std::string request = c.ReadRequest();
            const bool root = request.rfind("GET / ", 0) == 0;
            c.Wait(std::chrono::milliseconds(root ? 0 : 20));
            const std::string body = Links(root ? 300 : 6, static_cast<unsigned>(request.size()));
            c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        });
        QPointer<CMainWindow> window = new CMainWindow;
        CTabPg2* page = window->SearchPage();
        QAbstractItemModelTester scanTester(page->scanModel,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester remainingTester(
            page->remainingModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        window->show();
        page->searchEdit->setText(QStringLiteral("cats"));
        page->maxConnectionsCheck->setChecked(true);
        page->maxConnectionsEdit->setText(QStringLiteral("250"));
        page->engineTimingCheck->setChecked(true);
        page->engineRevsEdit->setText(QStringLiteral("10"));
        const std::string start = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";

        for (int round = 0; round < 4; ++round) {
            page->Session().AppendRemaining({start, "0", "infinity", "infinity"});
            page->OnStart();
            QVERIFY(page->Session().running());
            QTest::qWait(300);
            window->SetActivePage(CMainWindow::kResultsPage);
            QTest::qWait(50);
            window->SetActivePage(CMainWindow::kSearchPage);
            recorder.answers.push_back(QMessageBox::Yes);
            page->OnStop();
            // The stopped search's workers still report meanwhile.
            page->remainingView->selectRow(0);
            page->OnDelete();
            page->remainingView->selectRow(0);
            page->OnToLinks();
            QTest::qWait(30);
            {
                const auto rows = page->Session().LockRows();
                page->remainingModel->FlushPending();
                page->scanModel->FlushPending();
                QCOMPARE(static_cast<std::size_t>(page->remainingModel->rowCount()),
                         page->Session().Remaining().Size());
                QCOMPARE(static_cast<std::size_t>(page->scanModel->rowCount()),
                         page->Session().ScanRows().size());
            }
            if (round % 2 == 1) {
                page->OnClear();
            }
        }
        page->Session().AppendRemaining({start, "0", "infinity", "infinity"});
        page->OnStart();
        QTest::qWait(300);
        QElapsedTimer closing;
        closing.start();
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
    }
};

QTEST_MAIN(SearchPageThreadsTest)
#include "SearchPageThreads_test.moc"
