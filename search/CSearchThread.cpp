#include "search/CSearchThread.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <system_error>
#include <thread>

#include "html/AsciiText.h"
#include "html/LinkExtraction.h"
#include "html/PageAnalysis.h"
#include "html/UrlResolution.h"
#include "search/CrawlState.h"
#include "search/MatchEvaluation.h"
#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"
#include "search/ThreadPriority.h"

namespace qx {

namespace {

// Sends each evaluated row of the item's page to the page window, which
// copies it before returning.
class PageResultSink : public ResultSink {
public:
    PageResultSink(SearchItem& item, unsigned& kindsSent) : item_(item), kindsSent_(kindsSent) {}
    void SendResult(int kind, const ResultRecord& record) override {
        item_.resultSent = 1;
        kindsSent_ |= 1u << (static_cast<unsigned>(kind) & 31u);
        item_.pageWindow->SendMessage(WM_SEARCH_RESULT, static_cast<std::uintptr_t>(kind),
                                      reinterpret_cast<std::intptr_t>(&record));
    }

private:
    SearchItem& item_;
    unsigned& kindsSent_;
};

// Adds a page's link figures to the tally however the link follower ends.
class TallyLinksAtEnd {
public:
    explicit TallyLinksAtEnd(const LinkDrops& drops) : drops_(drops) {}
    ~TallyLinksAtEnd() { Tally().AddLinks(drops_); }
    TallyLinksAtEnd(const TallyLinksAtEnd&) = delete;
    TallyLinksAtEnd& operator=(const TallyLinksAtEnd&) = delete;

private:
    const LinkDrops& drops_;
};

// False when `url` is not in the list.
bool RemoveFirst(std::vector<std::string>& list, const std::string& url) {
    auto found = std::find(list.begin(), list.end(), url);
    if (found == list.end()) {
        return false;
    }
    list.erase(found);
    return true;
}

// A worker's deepest calls (page analysis, libcurl, a TLS handshake) use a few
// tens of KiB of stack. The default 8 MiB stack would make every thread start
// map and every thread end unmap its stack: the C library keeps only about
// 40 MiB of ended threads' stacks for reuse, five such stacks against dozens
// or hundreds of workers at once.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QX_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(QX_SANITIZED_BUILD)
constexpr std::size_t kWorkerStackBytes = 2u << 20;  // the sanitizers' frames are larger
#else
constexpr std::size_t kWorkerStackBytes = 256u << 10;
#endif

void* RunThreadBody(void* arg) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
    (*body)();
    return nullptr;
}

void StartDetachedThread(std::function<void()> body) {
    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    if (rc != 0) {
        throw std::system_error(rc, std::generic_category(), "pthread_attr_init");
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, kWorkerStackBytes);
    auto heapBody = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    rc = pthread_create(&thread, &attr, &RunThreadBody, heapBody.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        throw std::system_error(rc, std::generic_category(), "pthread_create");
    }
    heapBody.release();  // the thread owns it now
}

// Level budgets come from a typed Width Depth, which may sit at either end of
// the int range: they saturate instead of wrapping round.
int SaturatingAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

std::atomic<CSearchThread::ThreadStarter> threadStarter{&StartDetachedThread};

// The worker's transfer gives up when the page closes.
FetcherLimits WorkerLimits(CrawlState& crawl) {
    FetcherLimits limits = crawl.Limits();
    limits.abortFlag = &crawl.AbortRequested;
    return limits;
}

}  // namespace

namespace {

// Where the host of `url` ends; 0 when it has no "scheme://".
std::size_t SchemeAndHostEnd(const std::string& url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) {
        return 0;
    }
    return std::min(url.find_first_of("/?#", schemeEnd + 3), url.size());
}

// Whether queueing changes the link's text (see QueueChildren).
bool QueueingRewrites(const std::string& link, bool near) {
    if (near && link.find('|') != std::string::npos) {
        return true;
    }
    const auto hostEnd = static_cast<std::ptrdiff_t>(SchemeAndHostEnd(link));
    return std::any_of(link.begin(), link.begin() + hostEnd, IsAsciiUpper);
}

}  // namespace

void FoldSchemeAndHost(std::string& url) {
    const auto hostEnd = static_cast<std::ptrdiff_t>(SchemeAndHostEnd(url));
    std::transform(url.begin(), url.begin() + hostEnd, url.begin(), LowerAscii);
}

CSearchThread* CSearchThread::Launch(std::shared_ptr<CrawlState> crawl,
                                     std::shared_ptr<const SearchSettings> settings,
                                     SearchItem& item, HostPacing::Turn turn) {
    const std::uint32_t id = crawl->NextThreadId();
    auto thread = std::make_unique<CSearchThread>(crawl, std::move(settings), item, id);
    CSearchThread* raw = thread.get();
    if (turn.held) {
        raw->turn_ = turn;
        raw->hostKey_ = HostKeyOf(item.url);
    }
    item.worker = raw;
    item.threadId = id;
    // The caller holds QueueLock, so the thread cannot report (and delete
    // itself) before this returns.
    crawl->WorkerList.push_back(raw);
    raw->listEntry_ = std::prev(crawl->WorkerList.end());
    raw->listed_ = true;
    crawl->ThreadStarting();
    try {
        threadStarter.load()([raw] { raw->Run(); });
    } catch (...) {
        crawl->ThreadEnded();
        raw->LeaveWorkerList();
        item.worker = nullptr;
        item.threadId = 0;
        throw;
    }
    return thread.release();
}

void CSearchThread::SetThreadStarter(ThreadStarter starter) {
    threadStarter = starter != nullptr ? starter : &StartDetachedThread;
}

CSearchThread::CSearchThread(std::shared_ptr<CrawlState> crawl,
                             std::shared_ptr<const SearchSettings> settings, SearchItem& item,
                             std::uint32_t threadId)
    : crawl_(std::move(crawl)),
      settings_(std::move(settings)),
      item_(item),
      threadId_(threadId),
      fetcher_(WorkerLimits(*crawl_)) {}

CSearchThread::~CSearchThread() {
    fetcher_.CloseAll();
}

void CSearchThread::Run() {
    SetCurrentThreadPriority(ThreadPriority::kLowest);
    // A new thread starts at the engine's priority and may have taken the
    // processor from it in the middle of its round, while it holds QueueLock
    // and every finishing worker waits for it. At its own priority now, the
    // worker lets the engine go on first.
    std::this_thread::yield();
    WorkerProc();
    std::shared_ptr<CrawlState> crawl = std::move(crawl_);
    delete this;
    crawl->ThreadEnded();
}

int CSearchThread::WorkerProc() {
    item_.resultSent = 0;  // a repeated item is fetched again
    ProcessItem();
    // A page to be fetched again is counted once, with its last answer.
    if (!retryPending_) {
        Tally().AddPage(Outcome(), bodyBytes_);
    }
    // The page is analysed; the item may wait in the queue long after. One
    // that is to be fetched again keeps its time for that.
    if (retryPending_) {
        item_.work->pageText = std::string();
    } else {
        item_.work.reset();
    }
    std::unique_lock<QueueMutex> lock = queueHold_.owns_lock()
                                            ? std::move(queueHold_)
                                            : std::unique_lock<QueueMutex>(crawl_->QueueLock);
    ReturnTurn();
    item_.pageWindow->SendMessage(WM_WORKER_DONE, 0, reinterpret_cast<std::intptr_t>(&item_));
    // When the page has gone its handler did not run; leave the same state it
    // would have left, so the item can still be freed.
    if (item_.worker == this && LeaveWorkerList()) {
        item_.worker = nullptr;
        item_.running = 0;
    }
    return 0;
}

bool CSearchThread::LeaveWorkerList() {
    if (!listed_) {
        return false;
    }
    crawl_->WorkerList.erase(listEntry_);
    listed_ = false;
    return true;
}

void CSearchThread::SendResult(int kind, const std::string& description, const std::string& title,
                               std::string reason) {
    ResultRecord record;
    record.description = description;
    record.url = item_.url;
    record.title = title;
    record.reason = std::move(reason);
    PageResultSink(item_, kindsSent_).SendResult(kind, record);
}

void CSearchThread::MarkDone() {
    std::lock_guard<QueueMutex> lock(crawl_->QueueLock);
    item_.done = 1;
}

void CSearchThread::ReportConnectionFailed(std::string reason) {
    item_.done = 1;
    Tally().AddFailure(reason);
    SendResult(kResultConnectionFailed, " ", " ", std::move(reason));
}

void CSearchThread::ProcessItem() {
    if (crawl_->AbortRequested) {
        ReportConnectionFailed("search closed");
        return;
    }
    if (!fetcher_.OpenSession(threadId_)) {
        ReportConnectionFailed("no session: out of memory");
        return;
    }
    if (!PrepareFetchUrl(item_)) {
        return;
    }
    if (RobotsForbid()) {
        return;
    }
    if (!WaitForTurn()) {
        ReportConnectionFailed("search closed");
        return;
    }
    if (!ReadPageText(item_.work->server, item_.work->object)) {
        if (GoBackToQueue()) {
            return;
        }
        ReportConnectionFailed(item_.work->object.empty() ? "no path" : fetcher_.FailureReason());
    }
}

int CSearchThread::ReadPageText(const std::string& server, const std::string& object) {
    std::string& pageText = item_.Work().pageText;
    pageText.clear();
    if (object.empty()) {
        return 0;
    }
    const int status = fetcher_.FetchPage(item_.Work().scheme, server, item_.work->port, object);
    bodyBytes_ = static_cast<long long>(fetcher_.Body().size());
    NoteAnswer(status);
    if (status != 200) {
        return 0;
    }
    if (fetcher_.ContentType().find("text") == std::string::npos) {
        return 0;
    }
    SetPageText(pageText, fetcher_.TakeBody());
    if (fetcher_.ReadFailed()) {
        return 0;
    }
    AnalysePage();
    FollowLinks();
    return 1;
}

int CSearchThread::AnalysePage() {
    std::vector<std::string> fragments;
    const std::string& pageText = item_.Work().pageText;
    if (!SplitTextFragments(pageText, fragments)) {
        return 0;
    }
    ResultRecord record;
    record.title = ExtractTitle(pageText);
    record.url = item_.url;
    record.matched = 0;
    PageResultSink sink(item_, kindsSent_);
    return EvaluatePage(item_, record, fragments, *settings_, crawl_->Roots(), sink);
}

int CSearchThread::FollowLinks() {
    const SearchSettings& settings = *settings_;
    const bool robots = Prefs().UseRobotExclusion != 0;
    const std::string& page = item_.Work().pageText;
    LinkDrops drops;
    drops.listener = Tally().Listener();
    drops.page = item_.url.view();
    const TallyLinksAtEnd tallyAtEnd(drops);
    // The links are collected and resolved without QueueLock, which the engine
    // and every other worker wait for; the page's own fields are this
    // worker's alone until it queues the children or sets the done flag.

    if (item_.levelsLimited) {
        item_.levelsLeft = SaturatingAdd(item_.levelsLeft, -1);
    }
    const bool tooDeep = item_.maxDepth != -1 && item_.depth > item_.maxDepth;
    std::vector<std::string> nearList;
    std::vector<std::string> general;
    int nearCount = 0;
    int generalCount = 0;
    ChildBudget nearBudget{1, SaturatingAdd(item_.widthDepth, item_.levelsLeft), true};
    ChildBudget generalBudget{1, item_.levelsLeft, false};
    std::string dirPath;

    if (item_.levelsLimited) {
        if (tooDeep || item_.levelsLeft < 0) {
            DropAllLinks(tooDeep ? DropReason::kDepth : DropReason::kWidth, drops);
            MarkDone();
            return 1;
        }
        if (item_.matched == 1) {
            const int width = item_.width;
            if (width < -1) {
                DropAllLinks(DropReason::kWidth, drops);
                return 1;
            }
            if (width == -1) {
                if (!CollectLinks(page, "href", nearList, robots)) {
                    DropNoindexLinks(robots, drops);
                    MarkDone();
                    return 0;
                }
                drops.seen += static_cast<long long>(nearList.size());
                nearCount = ResolveLinks(item_.url, nearList, dirPath, &drops);
            } else {
                const bool nearFound =
                    CollectLinksNearMatches(page, "href", nearList, settings.SearchText,
                                            settings.IncludeText, width, robots);
                if (!CollectLinks(page, "href", general, robots)) {
                    DropNoindexLinks(robots, drops);
                    MarkDone();
                    return 0;
                }
                if (nearFound) {
                    nearCount = ResolveLinks(item_.url, nearList, dirPath);
                } else {
                    nearList.clear();
                }
                // The page's links are those of the general list; a near
                // link moves out of it, or, where the two scans of the page
                // differ, counts as one more link seen.
                drops.seen += static_cast<long long>(general.size());
                generalCount = ResolveLinks(item_.url, general, dirPath, &drops);
                for (const std::string& url : nearList) {
                    if (!url.empty() && !RemoveFirst(general, url)) {
                        ++drops.seen;
                    }
                }
            }
        } else {
            if (!CollectLinks(page, "href", general, robots)) {
                DropNoindexLinks(robots, drops);
                MarkDone();
                return 0;
            }
            drops.seen += static_cast<long long>(general.size());
            generalCount = ResolveLinks(item_.url, general, dirPath, &drops);
        }
    } else {
        if (tooDeep) {
            DropAllLinks(DropReason::kDepth, drops);
            MarkDone();
            return 1;
        }
        if (!CollectLinks(page, "href", general, robots)) {
            DropNoindexLinks(robots, drops);
            MarkDone();
            return 0;
        }
        drops.seen += static_cast<long long>(general.size());
        generalCount = ResolveLinks(item_.url, general, dirPath, &drops);
        generalBudget = ChildBudget{0, item_.widthDepth, false};
    }

    // The children are made here, outside QueueLock; under it they only
    // join the queue, so that the engine and the other workers wait less.
    std::list<SearchItem> nearChildren;
    std::list<SearchItem> generalChildren;
    bool prepared = nearCount < 1 || PrepareChildren(nearList, nearBudget, nearChildren, drops);
    if (prepared && generalCount >= 1) {
        prepared = PrepareChildren(general, generalBudget, generalChildren, drops);
    }

    // Kept past the return: the worker reports WM_WORKER_DONE in the same
    // hold instead of waiting its turn behind every other worker again.
    queueHold_ = std::unique_lock<QueueMutex>(crawl_->QueueLock);
    if (nearCount >= 1 || generalCount >= 1) {
        item_.done = 1;
        item_.depth += 1;
    }
    QueueChildren(nearChildren, drops);
    QueueChildren(generalChildren, drops);
    return prepared ? 1 : 0;
}

void CSearchThread::DropAllLinks(DropReason reason, LinkDrops& drops) const {
    std::vector<std::string> links;
    CollectLinks(item_.work->pageText, "href", links, false);
    drops.seen += static_cast<long long>(links.size());
    std::vector<std::string> one(1);
    std::string dirPath;
    for (const std::string& link : links) {
        if (drops.listener == nullptr) {
            drops.Drop(reason, link);
            continue;
        }
        // Told as resolved where the link can be.
        one.assign(1, link);
        drops.Drop(reason, ResolveLinks(item_.url, one, dirPath) == 1 ? one.front() : link);
    }
}

void CSearchThread::DropNoindexLinks(bool robots, LinkDrops& drops) const {
    if (robots) {
        DropAllLinks(DropReason::kNoindex, drops);
    }
}

PageOutcome CSearchThread::Outcome() const {
    const auto sent = [this](int kind) { return (kindsSent_ & (1u << kind)) != 0; };
    if (sent(kResultRobotsDisallowed)) {
        return PageOutcome::kRobotsDisallowed;
    }
    if (sent(kResultConnectionFailed)) {
        return PageOutcome::kFailed;
    }
    if (sent(kResultMatch)) {
        return PageOutcome::kMatched;
    }
    if (sent(kResultDescribed)) {
        return PageOutcome::kDescribed;
    }
    return sent(kResultNoMatch) ? PageOutcome::kNoMatch : PageOutcome::kNoRow;
}

bool CSearchThread::PrepareChildren(std::vector<std::string>& urls, const ChildBudget& budget,
                                    std::list<SearchItem>& children, LinkDrops& drops) {
    const SearchSettings& settings = *settings_;
    // The children sit one level below the page, whose depth goes up when
    // they are queued.
    const int childDepth = item_.depth + 1;
    // Each link is checked before an item is made for it. Most links are
    // queued as found and their text moves into the item; a link that
    // queueing rewrites is kept as found beside it.
    try {
        for (std::string& url : urls) {
            std::unique_ptr<std::string> asFound;
            if (QueueingRewrites(url, budget.near)) {
                asFound = std::make_unique<std::string>(url);
                if (budget.near) {
                    const std::size_t bar = url.rfind('|');
                    if (bar != std::string::npos) {
                        url.erase(bar);
                    }
                }
                // Servers tell paths apart by case; only scheme and host are folded.
                FoldSchemeAndHost(url);
            }
            if (EndsWithNoCase(url, ".jpg") || EndsWithNoCase(url, ".gif")) {
                drops.Drop(DropReason::kImage, url);
                continue;
            }
            if (settings.ExcludeUrlFilter || settings.IncludeUrlFilter) {
                const std::string lowered = LowerAsciiCopy(url);
                if (settings.ExcludeUrlFilter && HasExcludeWord(lowered, settings.ExcludeText)) {
                    drops.Drop(DropReason::kExcludeUrl, url);
                    continue;
                }
                if (settings.IncludeUrlFilter && !HasIncludeWord(lowered, settings.IncludeText)) {
                    drops.Drop(DropReason::kIncludeUrl, url);
                    continue;
                }
            }
            SearchItem& child = children.emplace_back();
            child.pageWindow = item_.pageWindow;
            child.url = std::move(url);
            child.referringText = std::move(asFound);
            child.depth = childDepth;
            child.matchMode = static_cast<std::int8_t>(settings.MatchMode);
            child.maxDepth = item_.maxDepth;
            child.width = item_.width;
            child.widthDepth = item_.widthDepth;
            child.rootId = item_.rootId;
            child.levelsLimited = static_cast<std::int8_t>(budget.levelsLimited);
            child.levelsLeft = budget.levelsLeft;
            if (drops.listener != nullptr) {
                child.foundOn = item_.url;  // for the engine's skip lines
            }
        }
    } catch (const std::bad_alloc&) {
        // Those made so far are still queued, as they would have been one
        // by one.
        return false;
    }
    return true;
}

void CSearchThread::QueueChildren(std::list<SearchItem>& children, LinkDrops& drops) {
    const SearchSettings& settings = *settings_;
    auto& queue = crawl_->PendingQueue;
    const std::size_t maxRemaining = static_cast<std::size_t>(std::max(0, settings.MaxRemaining));
    while (!children.empty()) {
        // Max Remaining is checked against the queue as each child comes to
        // it; the children turned away are freed with the list.
        if (settings.MaxRemainingOn && queue.size() >= maxRemaining) {
            for (const SearchItem& turnedAway : children) {
                drops.Drop(DropReason::kMaxRemaining, turnedAway.url);
            }
            return;
        }
        SearchItem& child = children.front();
        child.done = Counters().StopRequested != 0 ? 1 : 0;
        queue.splice(queue.end(), children, children.begin());
        ++drops.queued;
        // QueueLock is held: the engine sees the item only once it is whole.
        child.pageWindow->SendMessage(WM_ADD_REMAINING, 0, reinterpret_cast<std::intptr_t>(&child));
    }
}

}  // namespace qx
