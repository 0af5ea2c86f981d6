#pragma once

#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "search/HostPacing.h"
#include "search/SearchItem.h"

namespace qx {

class CrawlState;
class SeenBuckets;
struct SearchSettings;

// The engine thread of one search: in timed rounds it walks the pending queue,
// frees finished entries, marks duplicates and Stop-on-Match skips done and
// starts a worker for each new entry while the running workers stay under the
// connection cap. In repeat mode it fetches the queue's head again and again.
class CrawlEngine {
public:
    static constexpr int kIdleRoundsToFinish = 7;
    static constexpr int kMaxExaminedPerRound = 1000;
    // The round period while entries wait for their host or for a retry.
    static constexpr std::chrono::milliseconds kHeldBackPeriod{100};

    CrawlEngine(std::shared_ptr<CrawlState> crawl, std::shared_ptr<const SearchSettings> settings);

    // The engine thread's body; returns 0.
    int EngineProc();

private:
    using Cursor = std::list<SearchItem>::iterator;

    bool StopSeen() const;
    // Starts the search's tally with the entries Start queued.
    void CountStartUrls();
    void RepeatLoop();
    void MainLoop();
    // `skipped` receives the URLs of the entries marked done without a start.
    void Round(SeenBuckets& seen, Cursor& cursor, int& idleRounds, std::vector<SharedUrl>& skipped);
    static std::chrono::microseconds PauseBefore(std::chrono::steady_clock::time_point roundBegan,
                                                 std::chrono::microseconds period);
    Cursor RemoveEntry(Cursor at);
    // Starts a worker for the entry under `at`; on failure drops the entry
    // and keeps the box for TellFailedStarts. Returns the cursor past the
    // entry.
    Cursor StartWorker(Cursor at, bool countActive, HostPacing::Turn turn = {});
    // The period of the next round: shorter after a round that held entries
    // back for their hosts.
    std::chrono::microseconds RoundPeriod(std::chrono::microseconds period) const;
    // A page refused for now waits for the time its server asked for.
    static bool RetryWaits(const SearchItem& item, std::chrono::steady_clock::time_point now);
    void MarkAllDone();
    // Shows "Cannot Start New Thread" once for each failed start. Called
    // outside QueueLock: the box waits for the user-interface thread.
    void TellFailedStarts();

    std::shared_ptr<CrawlState> crawl_;
    std::shared_ptr<const SearchSettings> settings_;
    bool heldBack_ = false;  // the last round left entries for their hosts
    int failedStarts_ = 0;   // not yet told
};

}  // namespace qx
