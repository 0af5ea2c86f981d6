#include "search/SearchSession.h"

#include "search/ThreadPriority.h"

#include <charconv>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "search/CSearchThread.h"
#include "search/ControlSettings.h"
#include "search/CrawlEngine.h"
#include "search/CrawlState.h"
#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"
#include "search/SyncMessageQueue.h"

namespace qx {

namespace {

constexpr const char* kSearchUnderProgress =
    "Warning: search under progress.\n\nPress \"Stop\" to quit search.";
constexpr const char* kEnterItem =
    "Before starting the search you must enter an item to search for.";
constexpr const char* kEnterUrls =
    "Before starting the search you must enter and select URLs under the \"Links\" button.";
constexpr const char* kTooManyConnections =
    "Warning: QuillEx is continuing with \"Max Connections:\" greater than 115.";
constexpr const char* kCannotStartThread = "Cannot Start New Thread";
constexpr const char* kQuitQuestion = "Are you sure you want to quit the search?";
constexpr const char* kCannotClear =
    "Cannot clear items while searching.\nPress the \"Stop\" button to stop search and then "
    "\"Clear\" to clear items.";
constexpr const char* kCannotDelete =
    "Cannot delete items while searching.\nPress the \"Stop\" button to stop search and then "
    "\"Delete\" to remove items.";
constexpr const char* kCannotMove =
    "Cannot move items to \"Links\" while searching.\nPress the \"Stop\" button to stop search "
    "and then try again.";
constexpr const char* kNoItemSelected = "No item selected";

constexpr int kStatusScanned = 1;
constexpr int kStatusRemaining = 2;
constexpr int kStatusSearches = 3;
constexpr const char* kInfinity = "infinity";

std::string_view WithoutTrailingSlash(std::string_view url) {
    if (!url.empty() && url.back() == '/') {
        url.remove_suffix(1);
    }
    return url;
}

std::string LimitText(int value) {
    return value == -1 ? kInfinity : std::to_string(value);
}

bool IsUnlimited(const std::string& column) {
    return column == kInfinity || column == "-1";
}

}  // namespace

SearchSession::SearchSession(SearchSessionView& view)
    : view_(view),
      queue_(std::make_shared<SyncMessageQueue>(
          [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
              return HandleMessage(msg, wParam, lParam);
          },
          [this](const std::string& text) { view_.ShowMessage(text, MessageKind::kPlain); })),
      crawl_(std::make_shared<CrawlState>(queue_, MatchedRoots::Instance())) {}

SearchSession::~SearchSession() {
    Shutdown();
}

void SearchSession::SetNotifier(std::function<void()> notifier) {
    queue_->SetNotifier(std::move(notifier));
}

std::size_t SearchSession::PumpMessages(Clock::time_point until) {
    return queue_->Pump(until);
}

std::size_t SearchSession::WaitAndPumpMessages(std::chrono::microseconds timeout,
                                               Clock::time_point until) {
    return queue_->WaitAndPump(timeout, until);
}

void SearchSession::RunHandlersOnSender(MessageBoxThread boxes) {
    queue_->SetDirectDelivery(true, boxes == MessageBoxThread::kOwner);
}

void SearchSession::SetFetcherLimits(const FetcherLimits& limits) {
    crawl_->SetFetcherLimits(limits);
}

void SearchSession::SetMatchedRoots(MatchedRoots& roots) {
    crawl_->SetRoots(roots);
}

bool SearchSession::EngineAlive() const {
    return crawl_->EngineRunning();
}

void SearchSession::Refuse(const std::string& text) {
    view_.ShowMessage(text, MessageKind::kPlain);
}

void SearchSession::ShowStatus(int pane, const char* format, long value) {
    // Sent for every queued link: the text goes through a buffer of the
    // thread's own instead of a new string each time, and a format that only
    // ends in the number ("Remaining: %ld") is filled without printf.
    thread_local std::string buffer;
    const std::string_view pattern(format);
    const std::size_t mark = pattern.find('%');
    if (mark != std::string_view::npos && pattern.substr(mark) == "%ld") {
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
        buffer.assign(pattern.substr(0, mark));
        buffer.append(digits, end);
    } else {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        buffer.assign(text);
    }
    view_.SetStatusText(pane, buffer);
}

// --- Start -------------------------------------------------------------------

bool SearchSession::Start(const SearchControls& controls) {
    if (shutDown_) {
        return false;
    }
    if (running_) {
        Refuse(kSearchUnderProgress);
        return false;
    }
    // The engine of a stopped search must be gone before the run flags are
    // reset, or it would carry on as part of the new search.
    WaitForEngineEnd();

    SearchCounters& counters = Counters();
    stopPending_ = false;
    counters.SearchActive = 1;
    counters.StopRequested = 0;
    Settings().RepeatSeconds = -1;

    // Workers of the earlier search may hold QueueLock while they wait for
    // this thread, so their messages are handled while we wait for it. It is
    // taken before PageLock, as a worker sending under QueueLock takes them,
    // for handlers that run on the sending thread.
    auto queueLock = queue_->LockWhilePumping(crawl_->QueueLock);
    std::unique_lock<std::recursive_mutex> pageLock(PageLock);
    // A refusal box waits for the user: the last workers of a stopped search
    // must not wait with it for the queue or the rows.
    const auto refuseUnlocked = [&](const char* text) {
        pageLock.unlock();
        queueLock.unlock();
        Refuse(text);
        return false;
    };
    MarkCarriedOver();
    ReadControlSettings(controls, Settings());
    noRemoveCopy_ = Settings().NoRemove;
    if (TooManyConnections(Settings())) {
        view_.ShowMessage(kTooManyConnections, MessageKind::kExclamation);
    }
    if (!ReadControlTexts(controls, Settings())) {
        return refuseUnlocked(kEnterItem);
    }
    if (remaining_.Empty()) {
        return refuseUnlocked(kEnterUrls);
    }

    running_ = true;
    newMatches_.Begin(Settings().RepeatSeconds >= 0);
    view_.SetRunningIcon(true);
    view_.SetWaitCursor(true);
    if (!firstStartDone_) {
        view_.ActivatePage(2);
        view_.ActivatePage(1);
        firstStartDone_ = true;
    }
    QueueStartRows(controls.repeatOn);
    const bool engineStarted = StartEngine();
    view_.SetWaitCursor(false);
    return engineStarted;
}

void SearchSession::MarkCarriedOver() {
    for (auto& item : crawl_->PendingQueue) {
        item.carriedOver = 1;
        if (item.running == 0) {
            item.done = 1;
        }
    }
}

void SearchSession::FixUpRemainingRow(std::size_t index, bool repeat) {
    const SearchSettings& s = Settings();
    RemainingRow row = remaining_.At(index);
    if (row.url.find("http") == std::string::npos) {
        row.url.insert(0, "http://");
    }
    row.depth = "0";
    const auto unlimited = [repeat](const std::string& column) {
        return repeat ? column == kInfinity : IsUnlimited(column);
    };
    if (unlimited(row.maxDepth) && s.MaxDepth >= 0) {
        row.maxDepth = std::to_string(s.MaxDepth);
    }
    if (unlimited(row.width) && s.DefaultWidth >= 0) {
        row.width = std::to_string(s.DefaultWidth);
    }
    remaining_.Set(index, std::move(row));
}

void SearchSession::QueueStartRows(bool repeat) {
    const SearchSettings& s = Settings();
    const std::size_t rows = repeat ? 1 : remaining_.Size();
    for (std::size_t i = 0; i < rows; ++i) {
        FixUpRemainingRow(i, repeat);
    }
    view_.RowsReset(SessionList::kRemaining);
    for (std::size_t i = 0; i < rows; ++i) {
        const RemainingRow row = remaining_.At(i);
        SearchItem& item = crawl_->PendingQueue.emplace_back();
        item.pageWindow = queue_.get();
        item.url = row.url;
        item.depth = 0;
        item.maxDepth = row.maxDepth == kInfinity ? s.MaxDepth : Atoi(row.maxDepth);
        item.width = row.width == kInfinity ? s.DefaultWidth : Atoi(row.width);
        item.rootId = item.width != -1 || s.StopOnMatch == 1 ? static_cast<int>(i) : -1;
        item.widthDepth = s.WidthDepth;
        item.levelsLeft = s.WidthDepth;
        item.levelsLimited = s.WidthDepth != -1 ? 1 : 0;
        item.matchMode = static_cast<std::int8_t>(s.MatchMode);
        ShowStatus(kStatusRemaining, "Remaining: %ld", ++Counters().RemainingCount);
    }
}

bool SearchSession::StartEngine() {
    auto settings = std::make_shared<const SearchSettings>(Settings());
    crawl_->EngineStarting();
    try {
        engine_ = std::thread([crawl = crawl_, settings] {
            SetCurrentThreadPriority(ThreadPriority::kBelowNormal);
            CrawlEngine(crawl, settings).EngineProc();
            crawl->EngineEnded();
        });
    } catch (const std::exception&) {
        crawl_->EngineEnded();
        Refuse(kCannotStartThread);
        return false;
    }
    return true;
}

void SearchSession::WaitForEngineEnd() {
    while (crawl_->EngineRunning()) {
        queue_->WaitAndPump(std::chrono::milliseconds(5));
    }
    if (engine_.joinable()) {
        engine_.join();
    }
}

// --- Stop, Clear, Delete, To Links ---------------------------------------------

void SearchSession::Stop() {
    if (running_ && !stopPending_) {
        stopAnswer_ = view_.AskYesNoCancel(kQuitQuestion);
    }
    if (stopAnswer_ == DialogAnswer::kYes || stopPending_) {
        Counters().SearchActive = 0;
        Counters().StopRequested = 1;
        stopPending_ = true;
        running_ = false;
        view_.SetRunningIcon(false);
        crawl_->Wake();
    }
}

void SearchSession::Clear() {
    if (running_) {
        Refuse(kCannotClear);
        return;
    }
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    scanRows_.clear();
    remaining_.Clear();
    view_.RowsReset(SessionList::kScan);
    view_.RowsReset(SessionList::kRemaining);
    Counters().RemainingCount = 0;
    ShowStatus(kStatusRemaining, "Remaining: %ld", 0);
    Counters().ScannedCount = 0;
    ShowStatus(kStatusScanned, "Scanned: %ld", 0);
}

bool SearchSession::Delete(int selectedRow) {
    if (running_) {
        Refuse(kCannotDelete);
        return false;
    }
    {
        std::lock_guard<std::recursive_mutex> pageLock(PageLock);
        if (selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < remaining_.Size()) {
            view_.RowRemoving(SessionList::kRemaining, static_cast<std::size_t>(selectedRow));
            remaining_.RemoveAt(static_cast<std::size_t>(selectedRow));
            view_.RowRemoved(SessionList::kRemaining, static_cast<std::size_t>(selectedRow));
            return true;
        }
    }
    // Shown without the rows' lock: handlers may still be running.
    Refuse(kNoItemSelected);
    return false;
}

std::optional<std::string> SearchSession::ToLinks(int selectedRow) {
    if (running_) {
        Refuse(kCannotMove);
        return std::nullopt;
    }
    std::optional<std::string> row;
    {
        std::lock_guard<std::recursive_mutex> pageLock(PageLock);
        if (selectedRow >= 0 && static_cast<std::size_t>(selectedRow) < remaining_.Size()) {
            row = remaining_.At(static_cast<std::size_t>(selectedRow)).url;
        }
    }
    if (!row) {
        // Shown without the rows' lock: handlers may still be running.
        Refuse(kNoItemSelected);
        return std::nullopt;
    }
    std::string url = std::move(*row);
    if (url.find("http://") != std::string::npos) {
        url.erase(0, 7);
    }
    return url;
}

void SearchSession::AppendRemaining(RemainingRow row) {
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    const std::size_t index = remaining_.Append(std::move(row));
    view_.RowAppended(SessionList::kRemaining, index);
}

void SearchSession::InsertRemaining(std::size_t index, RemainingRow row) {
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    const std::size_t position = remaining_.Insert(index, std::move(row));
    view_.RowInserted(SessionList::kRemaining, position);
}

void SearchSession::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    Counters().SearchActive = 0;
    Counters().StopRequested = 1;
    running_ = false;
    stopPending_ = true;
    crawl_->AbortRequested = true;
    crawl_->Wake();
    // From here no thread waits for this page and none reaches it.
    queue_->Close();
    const auto deadline = std::chrono::steady_clock::now() + shutdownWait_;
    const bool engineEnded = crawl_->WaitForEngine(shutdownWait_);
    if (engine_.joinable()) {
        if (engineEnded) {
            engine_.join();
        } else {
            engine_.detach();  // it holds its own reference to the shared state
        }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    crawl_->WaitForThreads(std::max(left, std::chrono::milliseconds(0)));
}

// --- messages ----------------------------------------------------------------

std::intptr_t SearchSession::HandleMessage(unsigned msg, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
    switch (msg) {
        case WM_WORKER_DONE:
            return OnWorkerDone(lParam);
        case WM_SEARCH_RESULT:
            return OnSearchResult(wParam, lParam);
        case WM_ADD_REMAINING:
            return OnAddRemaining(lParam);
        case WM_REPEAT_COUNTDOWN:
            return OnRepeatCountdown(wParam);
        case WM_REMOVE_REMAINING:
            return OnRemoveRemaining(lParam);
        case WM_STATUS_TEXT:
            view_.SetStatusText(static_cast<int>(wParam), *reinterpret_cast<std::string*>(lParam));
            return 0;
        default:
            return 0;
    }
}

std::intptr_t SearchSession::OnWorkerDone(std::intptr_t lParam) {
    SearchCounters& counters = Counters();
    int active = --counters.ActiveWorkers;
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    const int scanned = ++counters.ScannedCount;
    while (active < 0 && !counters.ActiveWorkers.compare_exchange_weak(active, 0)) {
    }
    ShowStatus(kStatusSearches, "Searches: %ld", counters.ActiveWorkers.load());
    ShowStatus(kStatusScanned, "Scanned: %ld", scanned);
    newMatches_.FetchDone();
    // The worker holds QueueLock while it waits for this handler.
    auto* item = reinterpret_cast<SearchItem*>(lParam);
    if (item == nullptr) {
        return 0;
    }
    // A page that gave no row (a plain-text file without '>', a URL that
    // could not be prepared) leaves the Remaining list now.
    if (item->resultSent == 0 && noRemoveCopy_ != 1 && RemoveRemainingRow(item->url.view())) {
        ShowStatus(kStatusRemaining, "Remaining: %ld", --Counters().RemainingCount);
    }
    // The item names its worker, which knows its place in WorkerList.
    CSearchThread* worker = item->worker;
    if (worker != nullptr && worker->ThreadId() == item->threadId && worker->LeaveWorkerList()) {
        item->worker = nullptr;
        item->running = 0;
    }
    return 0;
}

std::string SearchSession::CleanDescription(const std::string& description) {
    if (description.find('&') == std::string::npos) {
        return description;
    }
    static const char* const kEntities[] = {"&nbsp", "&amp", "&quot", "&lt",
                                            "&gt",   "&reg", "&copy"};
    std::string cleaned;
    cleaned.reserve(description.size());
    for (std::size_t i = 0; i < description.size(); ++i) {
        const char c = description[i];
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (c == '&') {
            for (const char* entity : kEntities) {
                const std::string_view name(entity);
                if (description.compare(i, name.size(), name) == 0) {
                    i += name.size() - 1;
                    break;
                }
            }
            continue;
        }
        cleaned.push_back(c);
    }
    return cleaned;
}

std::intptr_t SearchSession::OnSearchResult(std::uintptr_t kind, std::intptr_t lParam) {
    const auto* record = reinterpret_cast<const ResultRecord*>(lParam);
    if (record == nullptr) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    const std::string title = record->title, url = record->url;
    switch (kind) {
        case kResultDescribed:
            scanRows_.push_back({title, url, CleanDescription(record->description), {}});
            break;
        case kResultNoMatch:
            scanRows_.push_back({title, url, "NO MATCH", {}});
            break;
        case kResultConnectionFailed:
        case kResultRobotsDisallowed:
            scanRows_.push_back({title, url, UnreadPageResult(kind), record->reason});
            newMatches_.FetchFailed();
            break;
    }
    if (IsScanRowKind(kind)) {
        view_.RowAppended(SessionList::kScan, scanRows_.size() - 1);
    }
    if (noRemoveCopy_ != 1 && RemoveRemainingRow(url)) {
        ShowStatus(kStatusRemaining, "Remaining: %ld", --Counters().RemainingCount);
    }
    if (kind == kResultMatch) {
        const int matches = ++Counters().MatchCount;
        matchRows_.push_back({title, url, CleanDescription(record->description),
                              Settings().SearchText, Settings().IncludeText});
        view_.RowAppended(SessionList::kResults, matchRows_.size() - 1);
        view_.SetResultCountText(std::to_string(matches));
        const MatchRow& match = matchRows_.back();
        if (newMatches_.Match(match.description)) {
            view_.AlertNewMatch(match.title, match.url, match.description);
        }
    }
    return 0;
}

bool SearchSession::RemoveRemainingRow(std::string_view url) {
    if (url.empty()) {
        return false;
    }
    // A start row typed with its trailing '/' is listed as typed, while
    // queued children are listed without it: try both spellings. The count
    // only follows rows that really left the list, so a page reported twice
    // (described row and match) cannot drive it below the list's size.
    if (!view_.FollowsRemovals(SessionList::kRemaining)) {
        return (url.back() == '/' && remaining_.DropByUrl(WithoutTrailingSlash(url))) ||
               remaining_.DropByUrl(url);
    }
    // The view reads the row before it goes (a list may show it a little
    // longer).
    const auto announce = [this](std::size_t row) {
        view_.RowRemoving(SessionList::kRemaining, row);
    };
    std::optional<std::size_t> row;
    if (url.back() == '/') {
        row = remaining_.RemoveByUrl(WithoutTrailingSlash(url), announce);
        if (!row) {
            row = remaining_.RemoveByUrl(url, announce);
        }
    } else {
        row = remaining_.RemoveByUrl(url, announce);
    }
    if (row) {
        view_.RowRemoved(SessionList::kRemaining, *row);
    }
    return row.has_value();
}

std::intptr_t SearchSession::OnRemoveRemaining(std::intptr_t lParam) {
    const auto* urls = reinterpret_cast<const std::vector<SharedUrl>*>(lParam);
    if (urls == nullptr) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    if (noRemoveCopy_ == 1) {
        return 0;
    }
    int removed = 0;
    for (const SharedUrl& url : *urls) {
        removed += RemoveRemainingRow(url.view()) ? 1 : 0;
    }
    if (removed > 0) {
        ShowStatus(kStatusRemaining, "Remaining: %ld", Counters().RemainingCount -= removed);
    }
    return 0;
}

std::intptr_t SearchSession::OnAddRemaining(std::intptr_t lParam) {
    const auto* item = reinterpret_cast<const SearchItem*>(lParam);
    if (item == nullptr) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> pageLock(PageLock);
    // Sent for every queued link: the row's texts are put together in place
    // and the list copies them once, into its own storage.
    char depth[16];
    const auto depthEnd = std::to_chars(std::begin(depth), std::end(depth), item->depth).ptr;
    const std::string maxDepth = LimitText(item->maxDepth);
    const std::string width = LimitText(item->width);
    const std::size_t index =
        remaining_.Append({WithoutTrailingSlash(item->url.view()),
                           std::string_view(depth, depthEnd - depth), maxDepth, width});
    view_.RowAppended(SessionList::kRemaining, index);
    ShowStatus(kStatusRemaining, "Remaining: %ld", ++Counters().RemainingCount);
    return 0;
}

std::intptr_t SearchSession::OnRepeatCountdown(std::uintptr_t secondsLeft) {
    ShowStatus(kStatusRemaining, "Remaining: %ld", static_cast<long>(secondsLeft));
    return 1;
}

}  // namespace qx
