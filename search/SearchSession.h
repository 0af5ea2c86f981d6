#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "search/HttpFetcher.h"
#include "search/NewMatchWatch.h"
#include "search/RemainingRow.h"
#include "search/RemainingRows.h"
#include "search/SearchControls.h"
#include "search/SearchSessionView.h"

namespace qx {

class CrawlState;
class MatchedRoots;
class SyncMessageQueue;

// The search page's logic: one search at a time. Start reads the controls into
// the process-wide settings, turns the Remaining rows into crawl items and
// starts the engine thread; the engine and its workers report back only
// through the session's message queue, whose handlers update the rows and the
// view on the owner thread.
//
// Create, use and destroy it on one thread (the user-interface thread), and
// run its queue from that thread's loop: call PumpMessages() whenever the
// notifier fires (or poll WaitAndPumpMessages()).
class SearchSession {
public:
    explicit SearchSession(SearchSessionView& view);
    ~SearchSession();  // Shutdown()
    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    // --- the page's commands -------------------------------------------
    // False when Start was refused (the view was told why).
    bool Start(const SearchControls& controls);
    void Stop();
    void Clear();
    // Deletes the selected Remaining row (-1 or out of range: no selection).
    // False when refused; the view should put the selection on the same index.
    bool Delete(int selectedRow);
    // The text for a new links-page row from the selected Remaining row, or
    // nothing when refused (the view was told why).
    std::optional<std::string> ToLinks(int selectedRow);
    // Appends a row to the Remaining list ("To Search", "SE"): URL, depth, max
    // depth and width texts. Rows added while a search runs are queued by the
    // next Start.
    void AppendRemaining(RemainingRow row);
    // Inserts a row before Remaining row `index` (at the bottom when past the
    // last): "To Search" and "SE" put their rows on top in links-list order.
    void InsertRemaining(std::size_t index, RemainingRow row);
    // Ends the search for good (window closing, process ending): stops the
    // engine, releases every thread waiting on the page, asks transfers to
    // abort and waits a bounded time for the threads. Idempotent.
    void Shutdown();

    // --- state for models and status -----------------------------------
    bool running() const { return running_; }
    bool stopPending() const { return stopPending_; }
    // True while an engine thread of this session has not yet ended.
    bool EngineAlive() const;
    const std::vector<ScanRow>& ScanRows() const { return scanRows_; }
    const RemainingRows& Remaining() const { return remaining_; }
    const std::vector<MatchRow>& MatchRows() const { return matchRows_; }
    // Hold this while reading the rows on one thread when handlers may change
    // them on others (RunHandlersOnSender); it is the page's lock, so take
    // it before nothing but QueueLock and never wait for a handler under it.
    std::unique_lock<std::recursive_mutex> LockRows() const {
        return std::unique_lock<std::recursive_mutex>(PageLock);
    }

    // --- the message queue ----------------------------------------------
    // Called from any thread when a message waits for the owner thread.
    void SetNotifier(std::function<void()> notifier);
    // Owner thread: handles the waiting messages, and those arriving
    // meanwhile, until none waits or `until` has passed; returns how many.
    // Messages left waiting fire the notifier again.
    using Clock = std::chrono::steady_clock;
    std::size_t PumpMessages(Clock::time_point until = Clock::time_point::max());
    std::size_t WaitAndPumpMessages(std::chrono::microseconds timeout,
                                    Clock::time_point until = Clock::time_point::max());
    // The page as engine and workers see it.
    SyncMessageQueue& Queue() { return *queue_; }

    // Handles one message (WM_WORKER_DONE, WM_SEARCH_RESULT, WM_ADD_REMAINING,
    // WM_REPEAT_COUNTDOWN, WM_REMOVE_REMAINING); the queue calls it on the
    // owner thread.
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    // --- tuning (tests, headless runs) ---------------------------------------
    // For a view without widgets: engine and workers run the handlers
    // themselves, one at a time under the page's lock, instead of waiting for
    // the owner thread. The view is then called from those threads. Call it
    // before Start. With kOwner the message boxes ("Search finished") still
    // show on the owner thread while their sender waits, so the queue must
    // be pumped as without direct delivery.
    enum class MessageBoxThread { kSender, kOwner };
    void RunHandlersOnSender(MessageBoxThread boxes = MessageBoxThread::kSender);
    void SetFetcherLimits(const FetcherLimits& limits);
    // Where Stop on Match records matched roots (the process-wide list by
    // default).
    void SetMatchedRoots(MatchedRoots& roots);
    // How long Shutdown waits for the threads.
    void SetShutdownWait(std::chrono::milliseconds wait) { shutdownWait_ = wait; }

    // The Result column text of a described row: CR and LF dropped and the
    // entity names &nbsp &amp &quot &lt &gt &reg &copy (or a lone '&') removed
    // when the text holds a '&'; the ';' after a name stays.
    static std::string CleanDescription(const std::string& description);

private:
    std::intptr_t OnWorkerDone(std::intptr_t lParam);
    std::intptr_t OnSearchResult(std::uintptr_t kind, std::intptr_t lParam);
    std::intptr_t OnAddRemaining(std::intptr_t lParam);
    std::intptr_t OnRepeatCountdown(std::uintptr_t secondsLeft);
    // Entries the engine marked done without a fetch leave the Remaining list
    // as if their results had come.
    std::intptr_t OnRemoveRemaining(std::intptr_t lParam);
    // Removes the Remaining row of a URL (under PageLock); false when none.
    bool RemoveRemainingRow(std::string_view url);

    void FixUpRemainingRow(std::size_t row, bool repeat);
    void QueueStartRows(bool repeat);
    bool StartEngine();
    void WaitForEngineEnd();
    void MarkCarriedOver();
    void ShowStatus(int pane, const char* format, long value);
    void Refuse(const std::string& text);

    SearchSessionView& view_;
    std::shared_ptr<SyncMessageQueue> queue_;
    std::shared_ptr<CrawlState> crawl_;
    std::thread engine_;

    mutable std::recursive_mutex PageLock;
    std::vector<ScanRow> scanRows_;
    RemainingRows remaining_;
    std::vector<MatchRow> matchRows_;
    NewMatchWatch newMatches_;

    bool running_ = false;
    bool stopPending_ = false;
    bool firstStartDone_ = false;
    bool shutDown_ = false;
    int noRemoveCopy_ = 0;
    DialogAnswer stopAnswer_ = DialogAnswer::kNo;
    std::chrono::milliseconds shutdownWait_{5000};
};

}  // namespace qx
