#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QDesktopServices>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "SessionMatches.h"
#include "UiTestSupport.h"
#include "UrlCatcher.h"
#include "app/CMainWindow.h"
#include "app/CTabPg1.h"
#include "app/CTabPg3.h"
#include "app/HighlightRanges.h"
#include "app/ResultHighlightDelegate.h"
#include "app/ResultsExportFile.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "search/ui/MatchRowsModel.h"
#include "ui/MatchNotifier.h"
#include "ui/UrlLauncher.h"

using namespace qx;

namespace {

// Matches held by the test itself, shown through the model the search page
// shows the session's matches with.
struct HeldMatches {
    explicit HeldMatches(CTabPg3& page)
        : model(NewMatchRowsModel([this] { return &rows; }, &page)) {
        page.SetResults(model);
    }
    void Add(const char* title, const char* url, const std::string& result) {
        rows.push_back({title, url, result, {}, {}});
        model->RowAppended();
    }
    std::vector<MatchRow> rows;
    SourceRowTableModel* model;
};

}  // namespace

class ResultsPageTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<test::TemporaryUserSettings>();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher_, "open");
        catcher_.urls.clear();
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        Settings().SearchText.clear();
        Settings().IncludeText.clear();
    }

    void countLabelFollowsTheCountWhileShown() {
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        window.SetActivePage(CMainWindow::kResultsPage);
        QCOMPARE(page->CountLabelText(), QString());  // no match yet: empty, not "0"
        page->SetCountText(QStringLiteral("3"));
        QCOMPARE(page->CountLabelText(), QStringLiteral("3"));  // a growing list is counted
        window.SetActivePage(CMainWindow::kSearchPage);
        window.SetActivePage(CMainWindow::kResultsPage);
        QCOMPARE(page->CountLabelText(), QStringLiteral("3"));
    }

    void browseAndLaunchRefuseWithoutASelection() {
        test::MessageRecorder recorder;
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        test::SendMatch(window.SearchPage()->Session(), "T", "http://a.example/", "r");
        page->Results()->FlushPending();
        window.SetActivePage(CMainWindow::kResultsPage);
        page->OnBrowse();
        page->OnLaunch();
        QCOMPARE(recorder.texts, QStringList({QStringLiteral("No item selected"),
                                              QStringLiteral("No item selected")}));
        QCOMPARE(window.ActivePage(), CMainWindow::kResultsPage);
        QVERIFY(catcher_.urls.isEmpty());
    }

    void browseShowsTheSelectedUrlOnTheHomePage() {
        test::MessageRecorder recorder;
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        test::SendMatch(window.SearchPage()->Session(), "A", "http://a.example/", "");
        test::SendMatch(window.SearchPage()->Session(), "B", "http://b.example/x", "");
        page->Results()->FlushPending();
        page->ResultsView()->selectRow(1);
        page->OnBrowse();
        QVERIFY(recorder.texts.isEmpty());
        QCOMPARE(window.ActivePage(), CMainWindow::kHomePage);
        QCOMPARE(window.HomePage()->LastNavigatedUrl(), QStringLiteral("http://b.example/x"));
    }

    void launchOpensTheSelectedUrl() {
        test::MessageRecorder recorder;
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        test::SendMatch(window.SearchPage()->Session(), "A", "http://a.example/page", "");
        page->Results()->FlushPending();
        page->ResultsView()->selectRow(0);
        page->OnLaunch();
        QVERIFY(recorder.texts.isEmpty());
        QCOMPARE(catcher_.urls, QList<QUrl>({QUrl(QStringLiteral("http://a.example/page"))}));
    }

    void popupLaunchesAtTheMatchAndCopiesTheClickedRow() {
        test::MessageRecorder recorder;
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        test::SendMatch(window.SearchPage()->Session(), "A", "http://a.example/", "");
        test::SendMatch(window.SearchPage()->Session(), "B", "http://b.example/a b#top", "");
        page->Results()->FlushPending();
        Settings().SearchText = " e-mail, caf\xC3\xA9 & co";
        QStringList launched;
        UrlLauncher::SetHook([&launched](const QString& url) { launched.append(url); });
        page->RunPopupCommand(CTabPg3::kPopupLaunchAtMatch, 1);
        UrlLauncher::SetHook({});
        // The escapes of the text fragment reach the browser as they are.
        QCOMPARE(launched,
                 QStringList{QStringLiteral(
                     "http://b.example/a%20b#:~:text=e%2Dmail%2C%20caf%C3%A9%20%26%20co")});
        page->RunPopupCommand(CTabPg3::kPopupCopy, 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://a.example/"));
        QVERIFY(recorder.texts.isEmpty());
    }

    void exportWritesTheSessionRowsOrRefuses() {
        test::MessageRecorder recorder;
        QTemporaryDir dir;
        CMainWindow window;
        ResultsExportFile::Choice choice{dir.filePath(QStringLiteral("out.jsonl")),
                                         ResultExport::Format::kJsonLines};
        ResultsExportFile::SetHook([&choice](const QString&) { return choice; });
        window.Action(QStringLiteral("exportResults"))->trigger();
        QCOMPARE(recorder.texts, QStringList{QStringLiteral("No item to export")});
        QVERIFY(!QFileInfo::exists(choice.path));

        ResultRecord record;
        record.title = "T, \"x\"";
        record.url = "http://h/";
        record.description = "caf\xE9";  // not UTF-8: read as Latin-1
        window.SearchPage()->Session().HandleMessage(WM_SEARCH_RESULT, kResultMatch,
                                                     reinterpret_cast<std::intptr_t>(&record));
        recorder.Clear();
        window.Action(QStringLiteral("exportResults"))->trigger();
        QVERIFY(recorder.texts.isEmpty());
        QFile written(choice.path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(),
                 QByteArray("{\"title\":\"T, \\\"x\\\"\",\"url\":\"http://h/\",\"result\":"
                            "\"caf\\u00e9\"}\n"));
        written.close();

        // A read-only file and a missing folder fail; the old file stays whole.
        QVERIFY(QFile::setPermissions(choice.path, QFileDevice::ReadOwner));
        choice.format = ResultExport::Format::kCsv;
        window.Action(QStringLiteral("exportResults"))->trigger();
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().startsWith("{\"title\""));
        choice.path = dir.filePath(QStringLiteral("missing/out.csv"));
        window.Action(QStringLiteral("exportResults"))->trigger();
        QCOMPARE(recorder.texts, QStringList({QStringLiteral("Failed to create!"),
                                              QStringLiteral("Failed to create!")}));
        ResultsExportFile::SetHook({});
    }

    void newMatchNoticesAreSpacedAndCounted() {
        std::vector<MatchNotifier::Notice> shown;
        MatchNotifier::SetHook([&shown](const MatchNotifier::Notice& n) { shown.push_back(n); });
        MatchNotifier notifier;
        notifier.SetInterval(100);
        notifier.Offer(QStringLiteral("Shop"), QStringLiteral("http://s/"), QStringLiteral("d1"));
        for (const char* d : {"d2", "d3", "d4"}) {
            notifier.Offer(QStringLiteral(" "), QStringLiteral("http://s/"),
                           QString::fromLatin1(d));
        }
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].summary, QStringLiteral("New match: Shop"));
        QCOMPARE(shown[0].body, QStringLiteral("d1"));
        QTRY_COMPARE(shown.size(), std::size_t{2});
        QCOMPARE(shown[1].summary, QStringLiteral("New match: http://s/"));  // no title
        QCOMPARE(shown[1].body, QStringLiteral("d2\nand 2 more"));
        QTest::qWait(250);
        QCOMPARE(shown.size(), std::size_t{2});
        MatchNotifier::SetHook({});
    }

    // The list shows the session's matches in batches, as the scan list
    // shows its rows, and re-reads them all when it is out of step.
    void hotTrackModelFollowsTheSessionsMatches() {
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        CTabPg2* search = window.SearchPage();
        SourceRowTableModel* model = page->Results();
        QCOMPARE(model, search->resultsModel);
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        Settings().SearchText = "r";
        for (int i = 0; i < 30; ++i) {
            const std::string n = std::to_string(i);
            test::SendMatch(search->Session(), "t" + n, "u" + n, "r" + n);
        }
        QCOMPARE(model->rowCount(), 0);  // waiting for the batch
        QCOMPARE(model->TotalRows(), 30);
        QTRY_COMPARE(model->rowCount(), 30);
        QCOMPARE(model->columnCount(), 3);
        QCOMPARE(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Result"));
        QCOMPARE(model->data(model->index(29, CTabPg3::kUrl), Qt::ToolTipRole).toString(),
                 QStringLiteral("u29"));
        QCOMPARE(page->RowSearchItem(29), QStringLiteral("r"));
        QCOMPARE(page->CountLabelText(), QStringLiteral("%1").arg(Counters().MatchCount.load()));

        search->RowAppended(SessionList::kResults, 99);  // out of step
        QCOMPARE(model->rowCount(), 30);
        QCOMPARE(model->PendingCount(), 0);
        QCOMPARE(model->Cell(0, CTabPg3::kTitle), QStringLiteral("t0"));
    }

    // The model keeps no text of its own: it reads the rows where they are
    // held, hidden cells included, and follows them when they are cleared.
    void matchModelReadsTheHeldRowsAndFollowsAClear() {
        CTabPg3 page;
        HeldMatches held(page);
        QAbstractItemModelTester tester(held.model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        held.Add("T", "http://a/", "found");
        held.rows.back().searchText = "fou";
        held.rows.back().includeText = "nd";
        held.Add("U", "http://b/", "more");
        held.model->FlushPending();
        QCOMPARE(held.model->rowCount(), 2);
        QCOMPARE(page.RowSearchItem(0) + page.RowIncludeText(0), QStringLiteral("found"));
        held.rows[1].title = "renamed";
        QCOMPARE(held.model->data(held.model->index(1, 0), Qt::DisplayRole).toString(),
                 QStringLiteral("renamed"));
        held.rows.clear();
        held.model->Reset(0);
        QCOMPARE(held.model->rowCount(), 0);
        QCOMPARE(held.model->ShownCell(0, CTabPg3::kUrl), QString());
        held.Add("V", "http://c/", "again");
        QTRY_COMPARE(held.model->rowCount(), 1);
    }

    void searchItemRanges() {
        struct Case {
            const char* name;
            const char* text;
            const char* item;
            std::vector<TextRange> expected;
        } cases[] = {
            {"at the very beginning", "cats and dogs", "cats", {{0, 4}}},
            {"absent", "dogs only", "cats", {}},
            {"several", "a cat, a cat", "cat", {{2, 5}, {9, 12}}},
            {"overlapping", "aaaa", "aa", {{0, 2}, {1, 3}, {2, 4}}},
            {"case counts", "Cat cat", "cat", {{4, 7}}},
            {"empty item marks nothing", "abc", "", {}},
            {"empty text", "", "x", {}},
        };
        for (const Case& c : cases) {
            QVERIFY2(SearchItemRanges(QString::fromLatin1(c.text), QString::fromLatin1(c.item)) ==
                         c.expected,
                     c.name);
        }
    }

    void atMostNineteenRangesPerPass() {
        const QString text(50, QLatin1Char('x'));
        QCOMPARE(static_cast<int>(SearchItemRanges(text, QStringLiteral("x")).size()),
                 kMaxHighlightRanges);
        QCOMPARE(static_cast<int>(IncludeWordRanges(text, QStringLiteral("x;xx")).size()),
                 kMaxHighlightRanges);
    }

    void includeWordRanges() {
        struct Case {
            const char* name;
            const char* text;
            const char* include;
            std::vector<TextRange> expected;
        } cases[] = {
            {"empty include highlights quillex", "the quillex page", "", {{4, 11}}},
            {"quillex only in lower case", "QuillEx quillex", "", {{8, 15}}},
            {"two words by comma", "red and blue", "red,blue", {{0, 3}, {8, 12}}},
            {"words are lower-cased, text is not", "Red and red", "RED", {{8, 11}}},
            {"semicolon separates too", "one two", "two;one", {{0, 3}, {4, 7}}},
            {"starts and ends sorted", "blue red", "red,blue", {{0, 4}, {5, 8}}},
            {"empty word between separators", "ab", "a,,b", {{0, 1}, {1, 2}}},
            {"no word found", "nothing", "zzz", {}},
        };
        for (const Case& c : cases) {
            QVERIFY2(IncludeWordRanges(QString::fromLatin1(c.text),
                                       QString::fromLatin1(c.include)) == c.expected,
                     c.name);
        }
    }

    void highlightWords() {
        QCOMPARE(HighlightWords(QString()), QStringList({QStringLiteral("quillex")}));
        QCOMPARE(HighlightWords(QStringLiteral("Red,Blue")),
                 QStringList({QStringLiteral("red"), QStringLiteral("blue")}));
        QCOMPARE(HighlightWords(QStringLiteral("a;")),
                 QStringList({QStringLiteral("a"), QString()}));
    }

    void delegateDrawsYellowThenCyanAndElidesAtTheCellEdge() {
        Settings().SearchText = "cat";
        Settings().IncludeText = "dog";
        CTabPg3 page;
        HeldMatches held(page);
        page.resize(900, 300);
        held.Add("T", "U", "cat dog " + std::string(300, 'z'));
        page.Results()->FlushPending();
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTableView* view = page.ResultsView();
        const QRect cell = view->visualRect(page.Results()->index(0, CTabPg3::kResult));
        const QImage image = view->viewport()->grab().toImage();
        const QFontMetrics metrics(view->font());
        const int margin = metrics.averageCharWidth();
        const int y = cell.center().y();
        auto colourAt = [&](int x) { return image.pixelColor(cell.left() + x, y); };
        auto hasColour = [&](int from, int to, const QColor& colour) {
            for (int x = from; x < to; ++x) {
                if (colourAt(x) == colour) {
                    return true;
                }
            }
            return false;
        };
        const int catWidth = metrics.horizontalAdvance(QStringLiteral("cat"));
        const int dogLeft = margin + metrics.horizontalAdvance(QStringLiteral("cat "));
        const int dogWidth = metrics.horizontalAdvance(QStringLiteral("dog"));
        QVERIFY(hasColour(margin, margin + catWidth, QColor(255, 255, 0)));
        QVERIFY(hasColour(dogLeft, dogLeft + dogWidth, QColor(102, 255, 255)));
        QCOMPARE(colourAt(1), QColor(Qt::white));
    }

    // Each row is drawn with the search item and Include words of the search
    // that found it, selected or not.
    void rowsKeepTheWordsOfTheirSearchAndTheirColoursWhenSelected() {
        CMainWindow window;
        CTabPg3* page = window.ResultsPage();
        window.SetActivePage(CMainWindow::kResultsPage);
        for (const char* words : {"widget|blue|widget blue", "license||widget blue license"}) {
            const QStringList parts = QString::fromLatin1(words).split(QLatin1Char('|'));
            Settings().SearchText = parts[0].toStdString();
            Settings().IncludeText = parts[1].toStdString();
            ResultRecord record;
            record.url = "http://a.example/";
            record.description = parts[2].toStdString();
            window.SearchPage()->Session().HandleMessage(WM_SEARCH_RESULT, kResultMatch,
                                                         reinterpret_cast<std::intptr_t>(&record));
        }
        Settings().SearchText.clear();  // a row found without a search item
        test::SendMatch(window.SearchPage()->Session(), "T", "U", "x");
        Settings().SearchText = "license";
        page->Results()->FlushPending();
        QCOMPARE(page->RowSearchItem(0) + page->RowIncludeText(0), QStringLiteral("widgetblue"));
        QCOMPARE(page->RowSearchItem(1) + page->RowIncludeText(1), QStringLiteral("license"));
        QCOMPARE(page->RowSearchItem(2), QStringLiteral("license"));  // added without: current
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView* view = page->ResultsView();
        view->selectRow(0);
        const QImage image = view->viewport()->grab().toImage();
        const QFontMetrics metrics(view->font());
        // True when `colour` shows under `word` (after `before`) in row `row`.
        const auto colourUnder = [&](int row, const QString& before, const QString& word,
                                     const QColor& colour) {
            const QRect cell = view->visualRect(page->Results()->index(row, CTabPg3::kResult));
            const int left =
                cell.left() + metrics.averageCharWidth() + metrics.horizontalAdvance(before);
            for (int x = left; x < left + metrics.horizontalAdvance(word); ++x) {
                if (image.pixelColor(x, cell.center().y()) == colour) {
                    return true;
                }
            }
            return false;
        };
        const QColor yellow(255, 255, 0);
        const QString tail(20, QLatin1Char(' '));
        QVERIFY(colourUnder(0, QString(), QStringLiteral("widget"), yellow));
        QVERIFY(colourUnder(0, QStringLiteral("widget "), QStringLiteral("blue"),
                            QColor(102, 255, 255)));
        QVERIFY(colourUnder(0, QStringLiteral("widget blue"), tail,
                            view->palette().color(QPalette::Highlight)));
        QVERIFY(!colourUnder(1, QString(), QStringLiteral("widget"), yellow));
        QVERIFY(colourUnder(1, QStringLiteral("widget blue "), QStringLiteral("license"), yellow));
        QVERIFY(colourUnder(1, QStringLiteral("widget blue license"), tail, Qt::white));
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
    test::UrlCatcher catcher_;
};

QTEST_MAIN(ResultsPageTest)
#include "ResultsPage_test.moc"
