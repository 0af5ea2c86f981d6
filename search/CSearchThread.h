#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "search/CrawlTally.h"
#include "search/HostPacing.h"
#include "search/HttpFetcher.h"
#include "search/LinkDrops.h"
#include "search/QueueMutex.h"

namespace qx {

class CrawlState;
struct LinkDrops;
struct SearchItem;
struct SearchSettings;

// One worker: a thread of its own that fetches, analyses and evaluates one
// item's page, queues the page's links and reports WM_WORKER_DONE. The object
// deletes itself when its thread ends.
class CSearchThread {
public:
    // Creates the thread object and its thread for `item`, stores the thread
    // id in the item and returns the object. Throws std::system_error (or
    // std::bad_alloc) when the thread cannot be created; the item is then
    // untouched apart from its worker fields being cleared again.
    // `turn` is the item's host turn, when the engine took one.
    static CSearchThread* Launch(std::shared_ptr<CrawlState> crawl,
                                 std::shared_ptr<const SearchSettings> settings, SearchItem& item,
                                 HostPacing::Turn turn = {});

    std::uint32_t ThreadId() const { return threadId_; }
    // Takes the worker off WorkerList, where Launch put it; false when it is
    // not there. Under QueueLock.
    bool LeaveWorkerList();

    // What starts a worker's thread: by default a detached std::thread. Tests
    // put in one that throws, as a system out of threads does; nullptr
    // restores the default. Set it while no search runs.
    using ThreadStarter = void (*)(std::function<void()> body);
    static void SetThreadStarter(ThreadStarter starter);

    // The steps of the worker, public so that tests can drive one page.
    CSearchThread(std::shared_ptr<CrawlState> crawl, std::shared_ptr<const SearchSettings> settings,
                  SearchItem& item, std::uint32_t threadId);
    ~CSearchThread();
    CSearchThread(const CSearchThread&) = delete;
    CSearchThread& operator=(const CSearchThread&) = delete;

    int WorkerProc();
    void ProcessItem();
    // Fetches `server` + `object`, fills the page text and, when the page
    // could be read, analyses it and follows its links. 1 on success.
    int ReadPageText(const std::string& server, const std::string& object);
    // Splits the page, extracts its title and evaluates the fragments; 1 when
    // a fragment held an occurrence.
    int AnalysePage();
    // Queues the page's links as children; 1 when handled, 0 when the page
    // gave no links or a child could not be created.
    int FollowLinks();

private:
    void Run();
    // Polite crawling: waits for the start the host turn gives; false when
    // the page closed meanwhile.
    bool WaitForTurn();
    // Counts the fetch's answer; the first time refusals pass the hint's
    // share, status pane 0 says so.
    void NoteAnswer(int status);
    // A 429 or 503 with Slow down when asked: puts the item back in the queue
    // for a later fetch instead of a row. False when it gets its row now.
    bool GoBackToQueue();
    // Under QueueLock: the host may start another request.
    void ReturnTurn();
    void ReportConnectionFailed(std::string reason);
    // With robots.txt obeyed: when the site's file forbids the prepared
    // item, reports it as such (its links are not followed) and says true.
    bool RobotsForbid();
    // Sets the item's done flag under QueueLock.
    void MarkDone();
    void SendResult(int kind, const std::string& description, const std::string& title,
                    std::string reason = {});
    struct ChildBudget {
        int levelsLimited = 0;
        int levelsLeft = 0;
        bool near = false;
    };
    // Makes queue entries for the links that pass the link checks, in order;
    // false when memory ran out part way.
    bool PrepareChildren(std::vector<std::string>& urls, const ChildBudget& budget,
                         std::list<SearchItem>& children, LinkDrops& drops);
    // Under QueueLock: moves the prepared entries to the pending queue in
    // order, as far as Max Remaining lets them, reporting each to the page.
    void QueueChildren(std::list<SearchItem>& children, LinkDrops& drops);
    // Accounts for every link of a page none of whose links is followed.
    void DropAllLinks(DropReason reason, LinkDrops& drops) const;
    // After a page gave no links: when NOINDEX may have stopped the
    // collection (`robots`), accounts for the links the page has.
    void DropNoindexLinks(bool robots, LinkDrops& drops) const;
    // The page's outcome for the tally, from the rows it sent.
    PageOutcome Outcome() const;

    std::shared_ptr<CrawlState> crawl_;
    std::shared_ptr<const SearchSettings> settings_;
    SearchItem& item_;
    std::uint32_t threadId_;
    // Where Launch listed the worker, so that leaving the list takes no
    // search through a thousand others.
    std::list<CSearchThread*>::iterator listEntry_;
    bool listed_ = false;
    // QueueLock as the link follower leaves it to the report that follows.
    std::unique_lock<QueueMutex> queueHold_;
    HttpFetcher fetcher_;
    // Bit k set when a row of kind k was sent for the page.
    unsigned kindsSent_ = 0;
    long long bodyBytes_ = 0;
    HostPacing::Turn turn_;
    std::string hostKey_;  // set with a held turn
    int status_ = 0;       // of the last fetch; 0 when none was sent
    bool retryPending_ = false;
};

// Lower-cases the scheme and host of a URL in place; the path and query keep
// their case.
void FoldSchemeAndHost(std::string& url);

}  // namespace qx
