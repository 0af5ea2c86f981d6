#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QDesktopServices>
#include <QHeaderView>
#include <QtTest>
#include <atomic>
#include <thread>
#include <vector>

#include "SearchPageFixture.h"
#include "UiTestSupport.h"
#include "UrlCatcher.h"
#include "app/CMainWindow.h"
#include "app/CTabPg1.h"
#include "app/CTabPg3.h"
#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"
#include "search/SyncMessageQueue.h"
#include "search/ui/CTabPg2.h"
#include "ui/UserSettings.h"

using namespace qx;

namespace {

const QString kEnterItem =
    QStringLiteral("Before starting the search you must enter an item to search for.");
const QString kEnterUrls = QStringLiteral(
    "Before starting the search you must enter and select URLs under the \"Links\" button.");
const QString kUnderProgress =
    QStringLiteral("Warning: search under progress.\n\nPress \"Stop\" to quit search.");
const QString kTooMany =
    QStringLiteral("Warning: QuillEx is continuing with \"Max Connections:\" greater than 115.");
const QString kNoItem = QStringLiteral("No item selected");
const QString kQuit = QStringLiteral("Are you sure you want to quit the search?");

// A port on which nothing listens: the crawl of it fails at once.
std::string ClosedPortUrl() {
    return "http://127.0.0.1:9/";
}

void AddRemaining(CTabPg2* page, const std::string& url) {
    page->Session().AppendRemaining({url, "0", "infinity", "infinity"});
    page->remainingModel->FlushPending();
}

}  // namespace

// Counts queued calls delivered to an object.
class MetaCallCounter : public QObject {
public:
    int calls = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) {
            ++calls;
        }
        return QObject::eventFilter(watched, event);
    }
};

class SearchPageTest : public QObject, public test::SearchPageFixture {
    Q_OBJECT

private slots:
    void init() { OpenWindow(); }
    void cleanup() { CloseWindow(); }

    void startRefusesWithoutASearchItemBeforeLookingAtTheList() {
        struct Case {
            const char* name;
            const char* search;
            bool withRow;
            QString expected;
        } cases[] = {
            {"empty item, empty list", "", false, kEnterItem},
            {"blank item, a row", "   ", true, kEnterItem},
            {"item, empty list", "cats", false, kEnterUrls},
        };
        for (const Case& c : cases) {
            recorder_->Clear();
            page_->Session().Clear();
            if (c.withRow) {
                AddRemaining(page_, ClosedPortUrl());
            }
            page_->searchEdit->setText(QString::fromLatin1(c.search));
            page_->OnStart();
            QVERIFY2(recorder_->texts == QStringList({c.expected}), c.name);
            QVERIFY2(!page_->Session().running(), c.name);
        }
    }

    void leadingSpacesStayInTheSearchText() {
        AddRemaining(page_, ClosedPortUrl());
        page_->searchEdit->setText(QStringLiteral("  cats"));
        page_->OnStart();
        QVERIFY(page_->Session().running());
        QCOMPARE(Settings().SearchText, std::string("  cats"));
        StopWithYes();
    }

    void startSettingsFollowTheControls() {
        struct Case {
            const char* name;
            std::function<void(CTabPg2*)> set;
            std::function<bool()> check;
            bool warns;
        } cases[] = {
            {"max connections unchecked gives 25",
             [](CTabPg2* p) { p->maxConnectionsEdit->setText(QStringLiteral("200")); },
             [] { return Settings().MaxConnections == 25; }, false},
            {"max connections 200 warns",
             [](CTabPg2* p) {
                 p->maxConnectionsCheck->setChecked(true);
                 p->maxConnectionsEdit->setText(QStringLiteral("200"));
             },
             [] { return Settings().MaxConnections == 200; }, true},
            {"engine revs raised to 10",
             [](CTabPg2* p) {
                 p->engineTimingCheck->setChecked(true);
                 p->engineRevsEdit->setText(QStringLiteral("5"));
                 p->engineDampEdit->setText(QStringLiteral("0"));
             },
             [] { return Settings().EngineRevs == 10 && Settings().EngineDamp == 1; }, false},
            {"max depth checked and empty is unlimited",
             [](CTabPg2* p) { p->maxDepthCheck->setChecked(true); },
             [] { return Settings().MaxDepth == -1; }, false},
            {"describe values",
             [](CTabPg2* p) {
                 p->describeCheck->setChecked(true);
                 p->describeForwardEdit->setText(QStringLiteral("10"));
                 p->describeBackwardEdit->setText(QStringLiteral("2"));
             },
             [] { return Settings().DescribeForward == 10 && Settings().DescribeBackward == 2; },
             false},
            {"match mode from target, include and exclude with item include",
             [](CTabPg2* p) {
                 p->targetEdit->setText(QStringLiteral("5"));
                 p->includeEdit->setText(QStringLiteral("red"));
                 p->excludeEdit->setText(QStringLiteral("blue"));
                 p->itemIncludeCheck->setChecked(true);
             },
             [] { return Settings().MatchMode == 7 && Settings().TargetValue == 5; }, false},
        };
        for (const Case& c : cases) {
            delete window_.data();
            window_ = new CMainWindow;
            page_ = window_->SearchPage();
            recorder_->Clear();
            AddRemaining(page_, ClosedPortUrl());
            page_->searchEdit->setText(QStringLiteral("cats"));
            c.set(page_);
            page_->OnStart();
            QVERIFY2(c.check(), c.name);
            QVERIFY2(recorder_->texts.contains(kTooMany) == c.warns, c.name);
            if (c.warns) {
                QVERIFY2(recorder_->messages.front().icon == QxIcon::Exclamation, c.name);
            }
            StopWithYes();
        }
    }

    void commandsRefuseWhileRunning() {
        StartOnClosedPort();
        recorder_->Clear();
        page_->remainingView->selectRow(0);
        page_->OnStart();
        page_->OnClear();
        page_->OnDelete();
        page_->OnToLinks();
        QCOMPARE(recorder_->texts,
                 QStringList({kUnderProgress,
                              QStringLiteral("Cannot clear items while searching.\nPress the "
                                             "\"Stop\" button to stop search and then \"Clear\" "
                                             "to clear items."),
                              QStringLiteral("Cannot delete items while searching.\nPress the "
                                             "\"Stop\" button to stop search and then "
                                             "\"Delete\" to remove items."),
                              QStringLiteral("Cannot move items to \"Links\" while "
                                             "searching.\nPress the \"Stop\" button to stop "
                                             "search and then try again.")}));
        StopWithYes();
    }

    void stopAsksAndOnlyYesStops() {
        StartOnClosedPort();
        struct Case {
            const char* name;
            int answer;
            bool stillRunning;
        } cases[] = {{"no", QMessageBox::No, true},
                     {"cancel", QMessageBox::Cancel, true},
                     {"yes", QMessageBox::Yes, false}};
        for (const Case& c : cases) {
            recorder_->Clear();
            recorder_->answers.push_back(c.answer);
            page_->OnStop();
            QVERIFY2(recorder_->texts == QStringList({kQuit}), c.name);
            QVERIFY2(recorder_->messages.front().defaultButton == QMessageBox::No, c.name);
            QVERIFY2(page_->Session().running() == c.stillRunning, c.name);
        }
        recorder_->Clear();
        page_->OnStop();  // a stop is pending: no question
        QVERIFY(recorder_->texts.isEmpty());
    }

    void stopWhenIdleAsksNothing() {
        page_->OnStop();
        QVERIFY(recorder_->texts.isEmpty());
    }

    void deleteAndToLinksNeedASelection() {
        AddRemaining(page_, "http://a.example/");
        AddRemaining(page_, "http://b.example/");
        AddRemaining(page_, "c.example");
        page_->OnDelete();
        page_->OnToLinks();
        QCOMPARE(recorder_->texts, QStringList({kNoItem, kNoItem}));

        recorder_->Clear();
        page_->remainingView->selectRow(0);
        page_->OnDelete();
        QCOMPARE(page_->remainingModel->rowCount(), 2);
        QCOMPARE(page_->remainingModel->Cell(0, 0), QStringLiteral("http://b.example/"));
        QCOMPARE(SelectedRowOf(page_->remainingView), 0);  // the row now at that index
        CListEditView* links = window_->LinksPage()->List();
        links->SetSelectionMark(links->InsertItem(0, QStringLiteral("kept.example")));
        page_->OnToLinks();
        QCOMPARE(page_->LastToLinks(), QStringLiteral("b.example/"));
        QCOMPARE(links->GetItemCount(), 2);
        QCOMPARE(links->GetItemText(1, 0), QStringLiteral("b.example/"));
        // Unchecked with its box drawn, focused; the user's mark stays put.
        QCOMPARE(links->GetStateImage(1), int(ListEditModel::kUnchecked));
        QCOMPARE(links->currentIndex().row(), 1);
        QCOMPARE(links->GetSelectionMark(), 0);
        QVERIFY(recorder_->texts.isEmpty());
    }

    void linksPageHandsRowsToTheRemainingList() {
        RemainingRowsTarget& target = *page_;
        QVERIFY(!target.SearchRunning());
        window_->SetActivePage(CMainWindow::kLinksPage);
        target.ShowSearchPage();
        QCOMPARE(window_->ActivePage(), CMainWindow::kSearchPage);
        QAbstractItemModelTester tester(page_->remainingModel,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        AddRemaining(page_, "http://old.example/");
        // Handed-over rows go on top, in the order given, before older rows.
        target.InsertRemainingRow(0, {"http://one.example/", "", "infinity", "-1"});
        target.InsertRemainingRow(1, {"http://two.example/", "", "3", "2"});
        page_->remainingModel->FlushPending();
        QCOMPARE(page_->remainingModel->rowCount(), 3);
        QCOMPARE(page_->remainingModel->Cell(0, 0), QStringLiteral("http://one.example/"));
        QCOMPARE(page_->remainingModel->Cell(1, 0), QStringLiteral("http://two.example/"));
        QCOMPARE(page_->remainingModel->Cell(1, 2), QStringLiteral("3"));
        QCOMPARE(page_->remainingModel->Cell(2, 0), QStringLiteral("http://old.example/"));
        StartOnClosedPort();
        QVERIFY(target.SearchRunning());
        StopWithYes();
    }

    void clearEmptiesBothListsAndResetsThePanes() {
        QAbstractItemModelTester scanTester(page_->scanModel,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        AddRemaining(page_, "http://a.example/");
        SendResult(kResultNoMatch, "http://x.example/", "", "T");
        page_->scanModel->FlushPending();
        QCOMPARE(page_->scanModel->rowCount(), 1);
        page_->OnClear();
        QCOMPARE(page_->scanModel->rowCount(), 0);
        QCOMPARE(page_->remainingModel->rowCount(), 0);
        QCOMPARE(window_->StatusBar()->PaneText(1), QStringLiteral("Scanned: 0"));
        QCOMPARE(window_->StatusBar()->PaneText(2), QStringLiteral("Remaining: 0"));
    }

    void resultHandlersFillTheListsAndTheResultsPage() {
        QAbstractItemModelTester remainingTester(
            page_->remainingModel, QAbstractItemModelTester::FailureReportingMode::QtTest);
        AddRemaining(page_, "http://m.example/page");
        AddRemaining(page_, "http://n.example/");
        SendResult(kResultDescribed, "http://m.example/page/", "a&amp;b R&D", "Title M");
        SendResult(kResultMatch, "http://m.example/page/", "a&amp;b", "Title M");
        SendResult(kResultConnectionFailed, "http://q.example/", "", " ");
        page_->scanModel->FlushPending();
        // Matches reach the results page from the handler's thread a moment
        // later.
        QTRY_COMPARE(window_->ResultsPage()->Results()->TotalRows(), 1);
        window_->ResultsPage()->Results()->FlushPending();
        page_->remainingModel->FlushPending();

        QCOMPARE(page_->scanModel->rowCount(), 2);
        QCOMPARE(page_->scanModel->Cell(0, 2), QStringLiteral("a;b RD"));
        QCOMPARE(page_->scanModel->Cell(1, 2), QStringLiteral("CONNECTION FAILED"));
        QCOMPARE(page_->remainingModel->rowCount(), 1);
        QCOMPARE(page_->remainingModel->Cell(0, 0), QStringLiteral("http://n.example/"));
        SourceRowTableModel* results = window_->ResultsPage()->Results();
        QCOMPARE(results->rowCount(), 1);
        QCOMPARE(results->Cell(0, 0), QStringLiteral("Title M"));
        window_->SetActivePage(CMainWindow::kResultsPage);
        QTRY_COMPARE(window_->ResultsPage()->CountLabelText(), QStringLiteral("1"));
    }

    // The list reads the session's rows: the row of a page whose result came
    // stays in view, as it was, until the batch.
    void remainingRowStaysInViewUntilItsBatch() {
        AddRemaining(page_, "http://m.example/page");
        AddRemaining(page_, "http://n.example/");
        ResultRecord record;
        record.url = "http://m.example/page/";
        page_->Session().HandleMessage(WM_SEARCH_RESULT, kResultNoMatch,
                                       reinterpret_cast<std::intptr_t>(&record));
        SourceRowTableModel* model = page_->remainingModel;
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("http://m.example/page"));
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("http://n.example/"));
        QCOMPARE(model->Cell(0, 0), QStringLiteral("http://n.example/"));
        model->FlushPending();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("http://n.example/"));
    }

    void addRemainingAndCountdownHandlers() {
        SearchItem item;
        item.url = "http://queued.example/dir/";
        item.depth = 2;
        item.maxDepth = -1;
        item.width = 3;
        page_->Session().HandleMessage(WM_ADD_REMAINING, 0, reinterpret_cast<std::intptr_t>(&item));
        page_->remainingModel->FlushPending();
        QCOMPARE(page_->remainingModel->rowCount(), 1);
        QCOMPARE(page_->remainingModel->Cell(0, 0), QStringLiteral("http://queued.example/dir"));
        QCOMPARE(page_->remainingModel->Cell(0, 2), QStringLiteral("infinity"));
        QCOMPARE(page_->remainingModel->Cell(0, 3), QStringLiteral("3"));
        page_->Session().HandleMessage(WM_REPEAT_COUNTDOWN, 42, 0);
        QCOMPARE(window_->StatusBar()->PaneText(2), QStringLiteral("Remaining: 42"));
    }

    void sendsWaitingMeanwhileShareOnePostedPumpCall() {
        // A worker's status text that finds none waiting asks this thread
        // for one posted call. Until it runs, further texts must not post
        // more: a busy crawl
        // would otherwise pile up calls in the event loop faster than it runs
        // them, and painting and timers would wait behind them for minutes.
        MetaCallCounter counter;
        page_->installEventFilter(&counter);
        constexpr int kSends = 5;
        std::atomic<int> answered{0};
        std::thread worker([&] {
            for (int i = 0; i < kSends; ++i) {
                page_->Session().Queue().SendMessage(WM_REPEAT_COUNTDOWN, 7, 0);
                ++answered;
            }
        });
        // Served without the event loop: every send finds the queue empty.
        while (answered < kSends) {
            page_->Session().PumpMessages();
        }
        worker.join();
        QTRY_COMPARE(window_->StatusBar()->PaneText(2), QStringLiteral("Remaining: 7"));
        QCOMPARE(counter.calls, 1);
        // Once the call has run, the next send asks again.
        std::thread late([&] { page_->Session().Queue().SendMessage(WM_REPEAT_COUNTDOWN, 3, 0); });
        QTRY_COMPARE(window_->StatusBar()->PaneText(2), QStringLiteral("Remaining: 3"));
        late.join();
        QCOMPARE(counter.calls, 2);
        page_->removeEventFilter(&counter);
    }

    void advancedShowsAndHidesTheAdvancedControls() {
        window_->show();
        QVERIFY(!page_->maxDepthCheck->isVisible());
        QVERIFY(page_->searchEdit->isVisible());
        page_->advancedButton->click();
        QVERIFY(page_->maxDepthCheck->isVisible());
        QVERIFY(page_->engineRevsEdit->isVisible());
        QCOMPARE(page_->advancedButton->text(), QStringLiteral("Advanced"));
        page_->advancedButton->click();
        QVERIFY(!page_->targetEdit->isVisible());
    }

    // The advanced controls: every label whole and beside its box at the
    // smallest window and at a wide one; with them shown, both lists still
    // show six rows at the default size.
    void advancedControlsFitTheWindow() {
        window_->show();
        page_->advancedButton->click();
        const std::pair<QCheckBox*, QLineEdit*> pairs[] = {
            {page_->maxDepthCheck, page_->maxDepthEdit},
            {page_->widthDepthCheck, page_->widthDepthEdit},
            {page_->maxConnectionsCheck, page_->maxConnectionsEdit},
            {page_->defaultWidthCheck, page_->defaultWidthEdit},
            {page_->repeatCheck, page_->repeatEdit},
            {page_->maxRemainingCheck, page_->maxRemainingEdit},
            {page_->describeCheck, page_->describeForwardEdit}};
        for (const QSize size : {QSize(500, 300), QSize(1600, 700)}) {
            window_->resize(size);
            QTest::qWait(50);
            for (QWidget* text : page_->findChildren<QWidget*>()) {
                const bool labelled =
                    qobject_cast<QLabel*>(text) != nullptr || qobject_cast<QCheckBox*>(text);
                QVERIFY2(
                    !labelled || !text->isVisible() || text->width() >= text->sizeHint().width(),
                    qPrintable(text->property("text").toString()));
            }
            for (const auto& [check, box] : pairs) {
                const QRect label(check->mapTo(window_, QPoint()), check->size());
                const QRect edit(box->mapTo(window_, QPoint()), box->size());
                QVERIFY2(edit.left() > label.right() && edit.left() - label.right() <= 10 &&
                             qAbs(edit.center().y() - label.center().y()) <= 4,
                         qPrintable(check->text()));
            }
        }
        window_->resize(CMainWindow::kDefaultWidth, CMainWindow::kDefaultHeight);
        QTest::qWait(50);
        for (const QTableView* list : {page_->scanView, page_->remainingView}) {
            QVERIFY(list->viewport()->height() >= 6 * list->verticalHeader()->defaultSectionSize());
        }
    }

    void popupCommands() {
        test::UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        AddRemaining(page_, "http://popup.example/");
        const QString url = page_->PopupUrl(page_->remainingView, 0);
        QCOMPARE(url, QStringLiteral("http://popup.example/"));
        QCOMPARE(page_->PopupUrl(page_->scanView, 0), QString());
        page_->RunPopupCommand(CTabPg2::kPopupCopy, url);
        QCOMPARE(QGuiApplication::clipboard()->text(), url);
        page_->RunPopupCommand(CTabPg2::kPopupLaunch, url);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl(url)}));
        page_->RunPopupCommand(CTabPg2::kPopupBrowse, url);
        QCOMPARE(window_->ActivePage(), CMainWindow::kHomePage);
        QCOMPARE(window_->HomePage()->LastNavigatedUrl(), url);
        page_->RunPopupCommand(CTabPg2::kPopupLaunch, QString());  // nothing captured
        QCOMPARE(catcher.urls.size(), 1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

private:
    static int SelectedRowOf(const QTableView* view) {
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    void SendResult(int kind, const std::string& url, const std::string& description,
                    const std::string& title) {
        ResultRecord record;
        record.url = url;
        record.description = description;
        record.title = title;
        record.matched = kind == kResultMatch ? 1 : 0;
        // A worker's send from a thread of its own: it returns only after the
        // page has run the handler on this thread.
        std::atomic<bool> sent{false};
        std::thread worker([&] {
            page_->Session().Queue().SendMessage(WM_SEARCH_RESULT,
                                                 static_cast<std::uintptr_t>(kind),
                                                 reinterpret_cast<std::intptr_t>(&record));
            sent = true;
        });
        QTRY_VERIFY(sent.load());
        worker.join();
    }

    void StartOnClosedPort() {
        AddRemaining(page_, ClosedPortUrl());
        page_->searchEdit->setText(QStringLiteral("cats"));
        page_->OnStart();
        QVERIFY(page_->Session().running());
    }
};

QTEST_MAIN(SearchPageTest)
#include "SearchPage_test.moc"
