// A crawl at many connections whose handlers run on the sending threads, as
// on the desktop, while the owner thread reads the rows, shows them in
// batches and gives the page's commands. Run under ThreadSanitizer: the rows
// are read only under the session's lock, the bookkeeping of the shown rows
// keeps step with them, message boxes show on the owner thread, and nothing
// deadlocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/support/RawServer.h"
#include "search/MatchedRoots.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"
#include "search/ShownRowBook.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

// A list as a view shows it: the book, and the rows the view was told of.
struct ShownList {
    ShownRowBook book{1};
    std::vector<std::string> view;
};

// A view whose row calls come from the handlers, under the session's lock,
// and whose boxes and commands belong to the owner thread.
class ThreadedView : public SearchSessionView {
public:
    explicit ThreadedView(std::thread::id owner) : owner_(owner) {}
    SearchSession* session = nullptr;

    void ShowMessage(const std::string& text, MessageKind) override {
        if (std::this_thread::get_id() != owner_) {
            boxesOffOwner.fetch_add(1);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes.push_back(text);
        }
        // The box's own event loop paints: whoever sent it must not hold
        // the rows' lock while it waits.
        Paint();
    }
    DialogAnswer AskYesNoCancel(const std::string&) override { return DialogAnswer::kYes; }
    void SetStatusText(int pane, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        status[pane] = text;
    }
    void RowAppended(SessionList list, std::size_t index) override {
        if (ShownList* shown = Shown(list)) {
            shown->book.Appended(index);
        }
    }
    void RowRemoving(SessionList list, std::size_t index) override {
        if (ShownList* shown = Shown(list)) {
            shown->book.Removing(index, [this, list](std::size_t row, const auto& cell) {
                cell(HolderText(list, row));
            });
        }
    }
    void RowsReset(SessionList list) override {
        if (ShownList* shown = Shown(list)) {
            shown->book.Reset(HolderRows(list));
            shown->view = HolderTexts(list);
        }
    }

    // What the owner thread does on its batch timer: under the rows' lock,
    // the shown rows are those the view was told of until the batch, and the
    // holder's rows after it.
    void Paint() {
        const auto rows = session->LockRows();
        for (SessionList list : {SessionList::kScan, SessionList::kRemaining}) {
            ShownList& shown = *Shown(list);
            if (!shown.book.BatchIsReset()) {
                ASSERT_EQ(shown.book.Shown(), shown.view.size());
                for (std::size_t row = 0; row < shown.view.size(); ++row) {
                    ASSERT_EQ(ShownText(list, row), shown.view[row]) << "shown row " << row;
                }
            }
            shown.book.Reset(HolderRows(list));
            shown.view = HolderTexts(list);
        }
        ++paints;
    }

    std::atomic<int> boxesOffOwner{0};
    std::atomic<int> paints{0};
    std::vector<std::string> boxes;
    std::map<int, std::string> status;

private:
    ShownList* Shown(SessionList list) {
        switch (list) {
            case SessionList::kScan:
                return &scan_;
            case SessionList::kRemaining:
                return &remaining_;
            default:
                return nullptr;
        }
    }
    std::size_t HolderRows(SessionList list) const {
        return list == SessionList::kScan ? session->ScanRows().size()
                                          : session->Remaining().Size();
    }
    std::string HolderText(SessionList list, std::size_t row) const {
        return list == SessionList::kScan ? session->ScanRows()[row].url
                                          : session->Remaining().At(row).url;
    }
    std::vector<std::string> HolderTexts(SessionList list) const {
        std::vector<std::string> texts;
        for (std::size_t row = 0; row < HolderRows(list); ++row) {
            texts.push_back(HolderText(list, row));
        }
        return texts;
    }
    std::string ShownText(SessionList list, std::size_t row) {
        const ShownList& shown = *Shown(list);
        if (const auto copied = shown.book.CopiedCell(row, 0)) {
            return std::string(*copied);
        }
        const std::size_t at = shown.book.HolderIndexOf(row);
        return at < HolderRows(list) ? HolderText(list, at) : "(past the holder's rows)";
    }

    std::thread::id owner_;
    std::mutex mutex_;
    ShownList scan_;
    ShownList remaining_;
};

class HandlersOnSenderTest : public testing::Test {
protected:
    static constexpr int kPages = 500;
    static constexpr int kLinksPerPage = 12;
    // A slow page whose worker, after Stop, queues its links one by one while
    // it holds QueueLock.
    static constexpr int kFloodLinks = 20000;

    // Page /pN links to kLinksPerPage others; /flood to kFloodLinks, late.
    static void Serve(test::RawServer::Connection& c) {
        const std::string request = c.ReadRequest();
        const bool flood = request.rfind("GET /flood ", 0) == 0;
        std::mt19937 random(static_cast<unsigned>(std::hash<std::string>{}(request)));
        std::string body = "<p>a word</p>";
        for (int link = 0; link < (flood ? kFloodLinks : kLinksPerPage); ++link) {
            body += "<a href=\"/" + std::string(flood ? "f" : "p") +
                    std::to_string(flood ? link : static_cast<int>(random() % kPages)) + "\">l</a>";
        }
        if (flood && !c.Wait(600ms)) {
            return;
        }
        c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    }

    void SetUp() override {
        SearchCounters& c = Counters();
        c.ActiveWorkers = 0;
        c.ScannedCount = 0;
        c.RemainingCount = 0;
        c.MatchCount = 0;
        view.session = session.get();
        session->SetMatchedRoots(roots);
        session->SetShutdownWait(3000ms);
        session->RunHandlersOnSender(SearchSession::MessageBoxThread::kOwner);
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(site.Port()) + path;
    }
    std::size_t RemainingRows() const {
        const auto rows = session->LockRows();
        return session->Remaining().Size();
    }
    // The flood's worker is queueing its links.
    bool Flooding() const {
        const auto rows = session->LockRows();
        const std::size_t size = session->Remaining().Size();
        return size > 0 && session->Remaining().At(size - 1).url.find("/f") != std::string::npos;
    }
    void Crawl(const std::vector<std::string>& starts = {"/p0", "/p97", "/p194"}) {
        for (const std::string& start : starts) {
            session->AppendRemaining({Url(start), "", "infinity", "infinity"});
        }
        SearchControls c;
        c.search = "word";
        c.engineTimingOn = true;
        c.engineRevs = "10";
        c.engineDamp = "1";
        c.maxConnectionsOn = true;
        c.maxConnections = "200";
        session->Start(c);
    }
    // The owner thread's loop: message boxes, and a paint every 20 ms.
    void RunFor(std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            session->WaitAndPumpMessages(20ms);
            view.Paint();
        }
    }

    test::RawServer site{Serve};
    MatchedRoots roots;
    ThreadedView view{std::this_thread::get_id()};
    std::unique_ptr<SearchSession> session = std::make_unique<SearchSession>(view);
};

TEST_F(HandlersOnSenderTest, CommandsWhileWorkersReportKeepRowsAndViewInStep) {
    Crawl({"/p0", "/flood"});
    RunFor(300ms);
    ASSERT_GT(RemainingRows(), 0u) << "nothing crawled";

    // Stop and, while the stopped search's workers still report, the
    // commands that change the lists.
    session->Stop();
    EXPECT_FALSE(session->running());
    session->Delete(0);
    session->ToLinks(0);
    session->Clear();
    view.Paint();
    // A new search while the flood's worker holds QueueLock and reports.
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!Flooding() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(200us);
    }
    ASSERT_TRUE(Flooding()) << "the flood did not come";
    Crawl();
    RunFor(300ms);
    session->Stop();
    Crawl();  // waits for the stopped engine, pumping its boxes
    RunFor(300ms);

    // Closing the window in full flight ends it promptly.
    const auto closing = std::chrono::steady_clock::now();
    session->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
    view.Paint();
    EXPECT_EQ(view.boxesOffOwner.load(), 0);
    EXPECT_GT(view.paints.load(), 5);
}

// A search that ends by itself shows "Search finished" on the owner thread;
// the engine waits for it, holding none of the page's locks.
TEST_F(HandlersOnSenderTest, SearchFinishedShowsOnTheOwnerThread) {
    Crawl();
    const auto end = std::chrono::steady_clock::now() + 150s;
    const auto finished = [&] {
        return std::count(view.boxes.begin(), view.boxes.end(), "Search finished");
    };
    while (finished() == 0 && std::chrono::steady_clock::now() < end) {
        RunFor(20ms);
    }
    ASSERT_EQ(finished(), 1);
    EXPECT_EQ(view.boxesOffOwner.load(), 0);
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_EQ(session->ScanRows().size(), static_cast<std::size_t>(Counters().ScannedCount));
}

}  // namespace
}  // namespace qx
