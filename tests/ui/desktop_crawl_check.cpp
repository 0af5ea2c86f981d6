// Crawls a site through the desktop program's main window as a user would
// (start URL in the Remaining list, search item, Max Connections and Engine
// Timing set, Start) and checks how it ends: "Search finished", Remaining 0 in
// the status bar and in the list, and the window still up and answering.
// Prints what it found; exit 0 when all holds.
//
//   desktop_crawl_check URL SEARCH CONNECTIONS REVS,DAMP [LIMIT_SECONDS]
//
// With QX_CRAWL_SCREENSHOT=FILE.png it also saves the screen as it ends.
// With QX_SUMMARY_SCREENSHOT=FILE.png it opens Actions > Search Summary...,
// keeps the crawl to 127.0.0.1 with Include URL, and saves the summary
// window every second while pages remain: the last picture shows it during
// the crawl.
#include <QApplication>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "DesktopCrawlSetup.h"
#include "app/CMainWindow.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "search/ui/SearchSummaryWindow.h"
#include "ui/CStatusPanes.h"
#include "ui/MessageBox.h"

using namespace qx;

namespace {

bool Check(bool holds, const char* what, const QString& seen) {
    std::printf("%s %s (%s)\n", holds ? "ok:  " : "FAIL:", what, qPrintable(seen));
    return holds;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s URL SEARCH CONNECTIONS REVS,DAMP [LIMIT_SECONDS]\n",
                     argv[0]);
        return 2;
    }
    const QString timing = QString::fromLocal8Bit(argv[4]);
    const int limitSeconds = argc > 5 ? std::atoi(argv[5]) : 120;
    bool finished = false;
    QStringList otherMessages;
    SetQxMessageBoxHook([&](const QxMessage& message) {
        if (message.text == QLatin1String("Search finished")) {
            finished = true;
            // A second later, so that what the finish leaves behind is seen.
            QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); });
        } else {
            otherMessages << message.text;
        }
        return int(message.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
    });

    CMainWindow* window = test::OpenWindowForCrawl(argv[1], argv[2], argv[3], timing);
    CTabPg2* page = window->SearchPage();
    const QString summaryShot = qEnvironmentVariable("QX_SUMMARY_SCREENSHOT");
    QTimer summaryTimer;
    if (!summaryShot.isEmpty()) {
        page->includeEdit->setText(QStringLiteral("127.0.0.1"));
        page->includeUrlCheck->setChecked(true);
        window->Action(QStringLiteral("searchSummary"))->trigger();
        window->SummaryWindow()->move(window->geometry().topLeft() + QPoint(120, 160));
        QObject::connect(&summaryTimer, &QTimer::timeout, [&] {
            if (Counters().RemainingCount > 0) {
                window->SummaryWindow()->grab().save(summaryShot);
            }
        });
        summaryTimer.start(1000);
    }
    QTimer::singleShot(limitSeconds * 1000, &app, [] { QCoreApplication::exit(0); });
    page->OnStart();
    app.exec();

    // What the screen shows at the end, for a person to look at.
    if (const char* shot = std::getenv("QX_CRAWL_SCREENSHOT"); shot != nullptr && *shot != 0) {
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shot));
    }
    const QString remainingPane = window->StatusBar()->ShownPaneText(2);
    const int remainingRows = page->remainingView->model()->rowCount();
    bool all = Check(finished, "the search finished by itself",
                     QString("after at most %1 s").arg(limitSeconds));
    all &= Check(remainingPane == QLatin1String("Remaining: 0"), "status pane 2", remainingPane);
    all &= Check(remainingRows == 0, "rows left in the Remaining list",
                 QString::number(remainingRows));
    all &= Check(Counters().RemainingCount == remainingRows, "the count matches the rows",
                 QString::number(Counters().RemainingCount));
    all &= Check(window->isVisible(), "the window is still shown", window->windowTitle());
    all &= Check(otherMessages.isEmpty(), "no other message box", otherMessages.join(" | "));
    std::printf("scanned %d pages, %lld scan rows\n", Counters().ScannedCount.load(),
                static_cast<long long>(page->Session().ScanRows().size()));
    page->Shutdown();
    delete window;
    return all ? 0 : 1;
}
