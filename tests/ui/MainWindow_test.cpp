#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QtTest>

#include "UiTestSupport.h"
#include "UrlCatcher.h"
#include "app/CMainApp.h"
#include "app/CMainWindow.h"
#include "app/CNetworkLink.h"
#include "app/CTabPg3.h"
#include "links/ui/LinksFileDialog.h"
#include "search/ui/CTabPg2.h"
#include "ui/CStatusPanes.h"
#include "ui/UserSettings.h"

using namespace qx;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { settings_ = std::make_unique<test::TemporaryUserSettings>(); }
    void cleanup() {
        CNetworkLink::SetConnectedProbe({});
        settings_.reset();
    }

    void tabsComeInPageOrderWithTheirTextsAndIcons() {
        CMainWindow window;
        struct Case {
            int index;
            const char* text;
        } cases[] = {{CMainWindow::kHomePage, "Home"},
                     {CMainWindow::kSearchPage, "Search"},
                     {CMainWindow::kResultsPage, "Hot Track"},
                     {CMainWindow::kLinksPage, "Links"}};
        QCOMPARE(window.Sheet()->count(), 4);
        for (const Case& c : cases) {
            QVERIFY2(window.Sheet()->tabText(c.index) == QLatin1String(c.text), c.text);
            QVERIFY2(!window.Sheet()->tabIcon(c.index).availableSizes().isEmpty(), c.text);
        }
        QCOMPARE(window.Sheet()->widget(CMainWindow::kSearchPage), window.SearchPage());
        QCOMPARE(window.Sheet()->widget(CMainWindow::kResultsPage), window.ResultsPage());
    }

    void picturesAreBuiltIn() {
        CMainWindow window;
        for (const char* name : {"idle", "running", "quillex", "tab_home", "tab_search",
                                 "tab_results", "tab_links", "home", "prefs", "splash"}) {
            const QString path = QStringLiteral(":/icons/%1.png").arg(QLatin1String(name));
            QVERIFY2(!QPixmap(path).isNull(), name);
        }
    }

    void opensOnTheSearchPageAndSetActivePageSwitches() {
        CMainWindow window;
        QCOMPARE(window.ActivePage(), CMainWindow::kSearchPage);
        for (int index : {3, 0, 2, 1}) {
            window.SetActivePage(index);
            QCOMPARE(window.ActivePage(), index);
        }
        window.SetActivePage(7);
        QCOMPARE(window.ActivePage(), CMainWindow::kSearchPage);
    }

    void titleMinimumSizeAndInitialPanes() {
        CMainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("QuillEx 1.0.2.0"));
        QCOMPARE(window.minimumSize(), QSize(500, 300));
        const char* panes[] = {"Ready", "Scanned: 0        ", "Remaining: 0        ",
                               "Searches: 0        "};
        QCOMPARE(window.StatusBar()->PaneCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(window.StatusBar()->PaneText(i), QString::fromLatin1(panes[i]));
        }
    }

    void aBurstOfCountsShowsItsFirstAndThenItsLastText() {
        CMainWindow window;
        CStatusPanes& panes = *window.StatusBar();
        QTest::qWait(CStatusPanes::kRefreshMs + 10);  // nothing shown lately
        for (int i = 1; i <= 1000; ++i) {
            panes.SetPaneText(2, QStringLiteral("Remaining: %1").arg(i));
        }
        QCOMPARE(panes.ShownPaneText(2), QStringLiteral("Remaining: 1"));
        QCOMPARE(panes.PaneText(2), QStringLiteral("Remaining: 1000"));
        QTRY_COMPARE_WITH_TIMEOUT(panes.ShownPaneText(2), QStringLiteral("Remaining: 1000"),
                                  CStatusPanes::kRefreshMs * 10);
        QCOMPARE(panes.ShownPaneText(1), QStringLiteral("Scanned: 0        "));
    }

    void menuItemsShowTheirPromptsAndReadyWhenTheMenuCloses() {
        CMainWindow window;
        struct Case {
            const char* action;
            const char* prompt;
        } cases[] = {{"connect", "Connect to the internet"},
                     {"disconnect", "Disconnect from the internet"},
                     {"preferences", "Display and set Quillex preferences"},
                     {"exit", "Exit"},
                     {"start", "Start search"},
                     {"stop", "Stop search"},
                     {"help", "Display Quillex help"}};
        for (const Case& c : cases) {
            QAction* action = window.Action(QString::fromLatin1(c.action));
            QVERIFY2(action != nullptr, c.action);
            auto* menu = qobject_cast<QMenu*>(action->parent());
            QVERIFY2(menu != nullptr, c.action);
            emit menu->hovered(action);
            QVERIFY2(window.StatusBar()->PaneText(0) == QLatin1String(c.prompt), c.action);
            emit menu->aboutToHide();
            QVERIFY2(window.StatusBar()->PaneText(0) == QLatin1String("Ready"), c.action);
        }
    }

    void separatorsLeaveThePromptAlone() {
        CMainWindow window;
        QAction* connect = window.Action(QStringLiteral("connect"));
        auto* menu = qobject_cast<QMenu*>(connect->parent());
        emit menu->hovered(connect);
        const QList<QAction*> items = menu->actions();
        auto separator =
            std::find_if(items.begin(), items.end(), [](QAction* a) { return a->isSeparator(); });
        QVERIFY(separator != items.end());
        emit menu->hovered(*separator);
        QCOMPARE(window.StatusBar()->PaneText(0), QStringLiteral("Connect to the internet"));
    }

    void connectAndDisconnectRefusals() {
        test::MessageRecorder recorder;
        CMainWindow window;
        CNetworkLink::SetConnectedProbe([] { return true; });
        window.OnConnect();
        CNetworkLink::SetConnectedProbe([] { return false; });
        window.OnDisconnect();
        QCOMPARE(recorder.texts,
                 QStringList({QStringLiteral("You are already connected to the internet!"),
                              QStringLiteral("You are not connected to the internet!")}));
    }

    void dialUpConnectionsFromNmcliOutput() {
        struct Case {
            const char* name;
            const char* output;
            QStringList expected;
        } cases[] = {
            {"ethernet only", "Wired connection 1:802-3-ethernet\n", {}},
            {"mobile and wifi", "Home:802-11-wireless\nMy Carrier:gsm\n", {"My Carrier"}},
            {"cdma and ppp", "A:cdma\nB:ppp\n", {"A", "B"}},
            {"escaped colon in the name", "Dial\\:Up:gsm\n", {"Dial:Up"}},
            {"empty output", "", {}},
            {"garbage line", "nonsense\n", {}},
        };
        for (const Case& c : cases) {
            QVERIFY2(CNetworkLink::DialUpConnections(QString::fromUtf8(c.output)) == c.expected,
                     c.name);
        }
    }

    // Disconnect asks nmcli for the active lines without waiting for it: the
    // window goes on while nmcli is slow, and the dial-up line is taken down
    // when the answer comes.
    void disconnectDoesNotWaitForNmcli() {
        QTemporaryDir bin;
        const QString gate = bin.filePath(QStringLiteral("answer"));
        const QString log = bin.filePath(QStringLiteral("log"));
        {
            QFile script(bin.filePath(QStringLiteral("nmcli")));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral(R"(#!/bin/sh
if [ "$1" = -t ]; then
  for i in $(seq 200); do [ -e '%1' ] && break; sleep 0.05; done
  printf 'Wired:802-3-ethernet\nModem:gsm\n'; exit 0
fi
echo "$*" >> '%2'
)")
                             .arg(gate, log)
                             .toUtf8());
            script.setPermissions(script.permissions() | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ':' + path);
        CNetworkLink::SetConnectedProbe([] { return true; });
        CMainWindow window;
        window.OnDisconnect();  // returns while nmcli still waits for its answer
        QFile(gate).open(QIODevice::WriteOnly);
        // The stand-in creates its log before it writes the line: wait for the line.
        auto logged = [&log] {
            QFile written(log);
            return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
        };
        QTRY_COMPARE(logged(), QByteArray("connection down id Modem\n"));
        qputenv("PATH", path);
    }

    // Every dialog and message box belongs to the main window, so that it
    // stays above the window kept on top even while another window is active.
    void dialogsBelongToTheTopmostWindow() {
        CMainWindow window;
        window.SetStayOnTop(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        auto inspectTheDialog = [&](const char* name) {
            QTimer::singleShot(0, [&window, name] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr)
                    return;
                const bool owned = dialog->parentWidget() == &window;
                const bool above = !test::UnderWindowManager() || QTest::qWaitFor([&] {
                    return test::StackedAbove(dialog, &window);
                });
                dialog->reject();
                QVERIFY2(owned, name);
                QVERIFY2(above, name);
            });
        };
        inspectTheDialog("message box");
        QxMessageBox(QStringLiteral("Search finished"));
        inspectTheDialog("file dialog");
        QCOMPARE(LinksFileDialog::Ask(LinksFileDialog::Kind::Open), QString());
    }

    void placementIsSavedOnCloseAndRestoredOnShow() {
        const QRect saved(40, 50, 640, 420);
        {
            auto* window = new CMainWindow;
            window->show();
            window->setGeometry(saved);
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QPointer<CMainWindow> guard(window);
            window->close();  // deletes itself
            QTRY_VERIFY(guard.isNull());
        }
        const std::optional<QRect> stored = LoadPlacement();
        QVERIFY(stored.has_value());
        QCOMPARE(*stored, saved);

        CMainWindow second;
        second.show();
        QCOMPARE(second.geometry(), saved);
    }

    void firstRunIsCentredAtTheDefaultSize() {
        CMainWindow window;
        window.show();
        QCOMPARE(window.size(), QSize(CMainWindow::kDefaultWidth, CMainWindow::kDefaultHeight));
    }

    void unusablePlacementsFallBackToSaneOnes() {
        SavePlacement(QRect(100, 100, 120, 80));
        {
            CMainWindow window;
            window.show();
            QCOMPARE(window.size(), QSize(500, 300));
            QCOMPARE(window.geometry().topLeft(), QPoint(100, 100));
        }
        SavePlacement(QRect(-90000, -90000, 600, 400));
        CMainWindow window;
        window.show();
        QCOMPARE(window.size(), QSize(CMainWindow::kDefaultWidth, CMainWindow::kDefaultHeight));
    }

    void programFolderComesFromSettingsElseNone() {
        // The test program's folder holds no engines file or help page.
        QCOMPARE(ProgramFolder(), QString());
        OpenUserSettings()->setValue(QStringLiteral("Main/Path"), QStringLiteral("/opt/quillex"));
        QCOMPARE(ProgramFolder(), QStringLiteral("/opt/quillex"));
    }

    void helpOpensTheHelpPageOfTheProgramFolder() {
        QTemporaryDir folder;
        QFile page(folder.filePath(QStringLiteral("qxhlp.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        OpenUserSettings()->setValue(QStringLiteral("Main/Path"), folder.path());
        QCOMPARE(HelpFilePath(), page.fileName());
        test::UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        CMainWindow window;
        window.Action(QStringLiteral("help"))->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(page.fileName())}));
    }

    // A second desktop or an ssh -X login of the same user is another session
    // or display, so it gets a channel of its own.
    void oneInstancePerLoginSessionAndDisplay() {
        struct Case {
            const char* runtimeDir;
            const char* display;
            qulonglong uid;
            const char* expected;
        } cases[] = {
            {"/run/user/1000", ":0", 1000, "/run/user/1000/quillex-instance-:0"},
            {"/run/user/1000", "localhost:10.0", 1000,
             "/run/user/1000/quillex-instance-localhost:10.0"},
            {"", ":1", 1000, "quillex-instance-1000-:1"},
            {"", "", 7, "quillex-instance-7-nodisplay"},
            {"/run/user/5", "/tmp/launch-q/org.x:0", 5,
             "/run/user/5/quillex-instance-_tmp_launch-q_org.x:0"},
        };
        for (const Case& c : cases) {
            QVERIFY2(
                CMainApp::InstanceServerName(QLatin1String(c.runtimeDir), QLatin1String(c.display),
                                             c.uid) == QLatin1String(c.expected),
                c.expected);
        }
    }

    void smallMessageBoxesShowTheWholeCaption() {
        int width = 0;
        int needed = 0;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                width = box->width();
                needed = CaptionWidthNeeded(*box);
                box->accept();
            }
        });
        poll.start(10);
        QxMessageBox(QStringLiteral("No item selected"));
        QVERIFY(needed > kTitleBarButtonsWidth);
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    }

    void atTheMinimumSizeWithAdvancedBothListsKeepThreeRows() {
        CMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CTabPg2* page = window.SearchPage();
        page->advancedButton->click();
        window.resize(window.minimumSize());
        QTRY_COMPARE(window.size(), QSize(500, 300));
        QCoreApplication::processEvents();
        const struct {
            const char* name;
            QTableView* list;
        } lists[] = {{"scan", page->scanView}, {"Remaining", page->remainingView}};
        for (const auto& l : lists) {
            const int rows =
                l.list->viewport()->height() / l.list->verticalHeader()->defaultSectionSize();
            QVERIFY2(rows >= 3,
                     qPrintable(QStringLiteral("%1 list shows %2 rows").arg(l.name).arg(rows)));
        }
        // What does not fit scrolls.
        auto* scroller = page->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(scroller != nullptr);
        QVERIFY(scroller->verticalScrollBar()->maximum() > 0);
    }

    void startFromTheMenuShowsTheResultsPage() {
        test::MessageRecorder recorder;
        CMainWindow window;
        window.Action(QStringLiteral("start"))->trigger();
        QCOMPARE(window.ActivePage(), CMainWindow::kResultsPage);
    }

    void exitClosesTheWindow() {
        auto* window = new CMainWindow;
        window->show();
        QPointer<CMainWindow> guard(window);
        window->Action(QStringLiteral("exit"))->trigger();
        QTRY_VERIFY(guard.isNull());
        QVERIFY(LoadPlacement().has_value());
    }

private:
    std::unique_ptr<test::TemporaryUserSettings> settings_;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindow_test.moc"
