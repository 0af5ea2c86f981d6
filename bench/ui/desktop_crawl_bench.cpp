// Crawls a site through the desktop program's search page, as a user would
// with Start: the start URL in the Remaining list, the search item, Engine
// Timing and Max Connections set, then it waits for "Search finished". Prints
// the pages scanned, the time, pages/s and the window thread's CPU time. Run it under Xvfb (or with
// QT_QPA_PLATFORM=offscreen).
//
//   desktop_crawl_bench URL SEARCH CONNECTIONS REVS,DAMP [LIMIT_SECONDS]
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "DesktopCrawlSetup.h"
#include "UiMeters.h"
#include "app/CMainWindow.h"
#include "app/CTabPg3.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "ui/MessageBox.h"

using namespace qx;

namespace {

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
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
    const int limitSeconds = argc > 5 ? std::atoi(argv[5]) : 300;
    bool finished = false;
    SetQxMessageBoxHook([&](const QxMessage& message) {
        if (message.text == QLatin1String("Search finished")) {
            finished = true;
            QMetaObject::invokeMethod(
                &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return int(message.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
    });

    CMainWindow* window = test::OpenWindowForCrawl(argv[1], argv[2], argv[3], timing);
    CTabPg2* page = window->SearchPage();

    PaintCounter scanPaints;
    PaintCounter remainingPaints;
    page->scanView->viewport()->installEventFilter(&scanPaints);
    page->remainingView->viewport()->installEventFilter(&remainingPaints);
    StallMeter stalls;
    TabSwitchMeter tabSwitches(
        [window](bool search) {
            window->SetActivePage(search ? CMainWindow::kSearchPage : CMainWindow::kResultsPage);
        },
        page->scanView->viewport(), window->ResultsPage()->ResultsView()->viewport());
    QTimer::singleShot(limitSeconds * 1000, &app, [] { QCoreApplication::exit(0); });
    const auto start = std::chrono::steady_clock::now();
    const double windowCpuStart = ThreadCpuSeconds();
    page->OnStart();
    app.exec();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double windowCpu = ThreadCpuSeconds() - windowCpuStart;
    const int scanned = Counters().ScannedCount.load();
    std::printf("desktop: %d pages scanned in %.2f s, %.0f pages/s%s\n", scanned, seconds,
                seconds > 0 ? scanned / seconds : 0.0, finished ? "" : " (stopped at the limit)");
    std::printf("repaints: scan list %d, remaining list %d; longest stall %lld ms\n",
                scanPaints.paints, remainingPaints.paints,
                static_cast<long long>(stalls.LongestMs()));
    std::printf("tab switches: %d, slowest painted after %lld ms\n", tabSwitches.Switches(),
                static_cast<long long>(tabSwitches.LongestMs()));
    std::printf("window thread: %.2f CPU s, %.3f CPU s per 1,000 pages\n", windowCpu,
                scanned > 0 ? windowCpu * 1000 / scanned : 0.0);
    page->Shutdown();
    delete window;
    return finished ? 0 : 1;
}
