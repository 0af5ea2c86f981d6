// Floods the search page the way a large crawl does: worker threads send
// WM_ADD_REMAINING for N distinct URLs and then a result for each, so the
// Remaining list grows to N rows and every result removes one by URL while
// the scan list grows to N rows. Prints the user-interface thread's CPU time,
// the wall time, peak RSS, and how often the lists were repainted and
// scrolled meanwhile.
//
//   search_page_messages_bench [N] [THREADS]     (defaults 200000, 8)
#include <sys/resource.h>

#include <QApplication>
#include <QEvent>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UiMeters.h"
#include "app/CMainWindow.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchItem.h"
#include "search/SearchSession.h"
#include "search/SyncMessageQueue.h"
#include "search/ThreadPriority.h"
#include "search/ui/CTabPg2.h"
#include "ui/MessageBox.h"

using namespace qx;

namespace {

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string UrlOf(int i) {
    return "http://bench.example/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
           ".html";
}

// One worker's share: every add first, then every result.
void Flood(PageWindow& page, int first, int count, int step) {
    for (int i = first; i < count; i += step) {
        SearchItem item;
        item.url = UrlOf(i);
        item.depth = 1;
        page.SendMessage(WM_ADD_REMAINING, 0, reinterpret_cast<std::intptr_t>(&item));
    }
    for (int i = first; i < count; i += step) {
        ResultRecord record;
        record.url = UrlOf(i);
        record.title = "Page " + std::to_string(i);
        page.SendMessage(WM_SEARCH_RESULT, kResultNoMatch,
                         reinterpret_cast<std::intptr_t>(&record));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    const int threads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    SetQxMessageBoxHook([](const QxMessage&) { return int(QMessageBox::Ok); });

    // The main window deletes itself when closed, as the program's does;
    // leaving the loop with exit() rather than quit() keeps it open.
    auto* window = new CMainWindow;
    window->resize(1000, 700);
    window->show();
    window->SetActivePage(CMainWindow::kSearchPage);
    CTabPg2* page = window->SearchPage();
    PaintCounter scanPaints;
    PaintCounter remainingPaints;
    page->scanView->viewport()->installEventFilter(&scanPaints);
    page->remainingView->viewport()->installEventFilter(&remainingPaints);
    app.processEvents();

    StallMeter stalls;
    int scrolls = 0;
    QTimer scroller;
    QObject::connect(&scroller, &QTimer::timeout, [&] {
        page->scanView->scrollToBottom();
        page->remainingView->scrollToBottom();
        ++scrolls;
    });
    scroller.start(100);

    std::atomic<int> running{threads};
    std::vector<std::thread> workers;
    const double cpuStart = ThreadCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    PageWindow& target = page->Session().Queue();
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            SetCurrentThreadPriority(ThreadPriority::kLowest);  // as crawl workers run
            Flood(target, t, count, threads);
            if (--running == 0) {
                QMetaObject::invokeMethod(
                    &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
            }
        });
    }
    app.exec();
    for (std::thread& worker : workers) {
        worker.join();
    }
    page->scanModel->FlushPending();
    page->remainingModel->FlushPending();
    app.processEvents();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    std::printf("%d adds and %d results from %d threads\n", count, count, threads);
    std::printf("user-interface thread CPU %.2f s, wall %.2f s, peak RSS %.1f MB\n", cpu, wall,
                PeakRssMb());
    std::printf(
        "scan rows %d, remaining rows %d; repaints: scan list %d, remaining list %d; "
        "scrolls %d; longest stall %lld ms\n",
        page->scanModel->rowCount(), page->remainingModel->rowCount(), scanPaints.paints,
        remainingPaints.paints, scrolls, static_cast<long long>(stalls.LongestMs()));
    const bool complete =
        page->scanModel->rowCount() == count && page->remainingModel->rowCount() == 0;
    page->Shutdown();
    delete window;
    if (!complete) {
        std::printf("FAILED: the lists do not hold what was sent\n");
    }
    return complete ? 0 : 1;
}
