// The "Search Summary" window: its figures, what Copy gives, and its chart.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "search/ui/CTabPg2.h"
#include "search/ui/SearchSummaryWindow.h"

using namespace qx;

class SearchSummaryTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        figures_ = SearchSummary();
        running_ = true;
        window_ = std::make_unique<SearchSummaryWindow>([this] { return figures_; },
                                                        [this] { return running_; });
    }
    void cleanup() { window_.reset(); }

    void copyPutsEveryFigureOnTheClipboard() {
        figures_.pagesFetched = 12;
        figures_.pagesFailed = 3;
        figures_.failures = {{"HTTP 404", 2}, {"not text", 1}};
        figures_.linksSeen = 40;
        figures_.linksQueued = 15;
        figures_.dropped[static_cast<std::size_t>(DropReason::kWidth)] = 25;
        figures_.elapsedSeconds = 4;
        window_->Sample();
        window_->findChild<QPushButton*>(QStringLiteral("copy"))->click();
        const QString copied = QGuiApplication::clipboard()->text();
        for (const char* line :
             {"Pages fetched: 12", "    HTTP 404: 2", "    not text: 1", "Links seen: 40",
              "Links queued: 15", "Links dropped: 25", "  width: 25", "Pages per second: 3.0"}) {
            QVERIFY2(copied.contains(QLatin1String(line)), line);
        }
        QCOMPARE(copied, window_->CopyText());
    }

    void theChartFollowsTheRunningSearchAndMarksFailures() {
        const int before = window_->PointCount();  // the window samples as it opens
        for (int second = 1; second <= 3; ++second) {
            figures_.elapsedSeconds = second;
            figures_.pagesFetched = 10 * second;
            figures_.pagesFailed = second >= 2 ? 1 : 0;
            figures_.remaining = 100 - second;
            window_->Sample();
        }
        QCOMPARE(window_->PointCount(), before + 3);
        QCOMPARE(window_->FailureMarks(), 1);  // only the second in which one failed
        running_ = false;
        figures_.elapsedSeconds = 4;
        window_->Sample();
        QCOMPARE(window_->PointCount(), before + 3);
        // A new search starts the chart over.
        running_ = true;
        figures_ = SearchSummary();
        figures_.elapsedSeconds = 1;
        window_->Sample();
        QCOMPARE(window_->PointCount(), 1);
        QCOMPARE(window_->FailureMarks(), 0);
    }

    void aLongSearchKeepsABoundedChart() {
        for (int second = 1; second <= SearchSummaryWindow::kMaxPoints + 10; ++second) {
            figures_.elapsedSeconds = second;
            figures_.pagesFetched = second;
            window_->Sample();
        }
        QVERIFY(window_->PointCount() <= SearchSummaryWindow::kMaxPoints);
        QVERIFY(window_->PointCount() > SearchSummaryWindow::kMaxPoints / 3);
    }

    void theActionsMenuOpensItWithoutBlockingTheMainWindow() {
        test::TemporaryUserSettings settings;
        test::MessageRecorder recorder;
        auto* main = new CMainWindow;
        QAction* action = main->Action(QStringLiteral("searchSummary"));
        QVERIFY(action != nullptr);
        QCOMPARE(action->text().remove(QLatin1Char('&')), QStringLiteral("Search Summary..."));
        action->trigger();
        QVERIFY(main->SummaryWindow()->isVisible());
        QVERIFY(!main->SummaryWindow()->isModal());
        main->SearchPage()->Shutdown();
        delete main;
    }

private:
    SearchSummary figures_;
    bool running_ = true;
    std::unique_ptr<SearchSummaryWindow> window_;
};

QTEST_MAIN(SearchSummaryTest)
#include "SearchSummary_test.moc"
