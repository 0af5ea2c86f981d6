#include "search/CrawlEngine.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "search/CSearchThread.h"
#include "search/CrawlState.h"
#include "search/CrawlTally.h"
#include "search/MatchedRoots.h"
#include "search/PageWindow.h"
#include "search/SearchSettings.h"
#include "search/SeenBuckets.h"

namespace qx {

namespace {

constexpr const char* kSearchFinished = "Search finished";
constexpr const char* kCannotStartThread = "Cannot Start New Thread";

}  // namespace

CrawlEngine::CrawlEngine(std::shared_ptr<CrawlState> crawl,
                         std::shared_ptr<const SearchSettings> settings)
    : crawl_(std::move(crawl)), settings_(std::move(settings)) {}

bool CrawlEngine::StopSeen() const {
    return Counters().StopRequested != 0;
}

int CrawlEngine::EngineProc() {
    // Named so that top, perf and a debugger tell it from the workers.
    pthread_setname_np(pthread_self(), "qx-engine");
    SearchCounters& counters = Counters();
    counters.EngineRounds = 0;
    counters.EngineExaminationsCounted = 0;
    CountStartUrls();
    crawl_->Pacing.Begin(PoliteOptionsFromPrefs(), settings_->MaxConnections);
    if (counters.SearchActive != 0) {
        if (settings_->RepeatSeconds >= 0) {
            if (!StopSeen()) {
                RepeatLoop();
            }
        } else {
            MainLoop();
        }
    }
    if (counters.SearchActive == 0) {
        MarkAllDone();
    }
    Tally().Finish();
    return 0;
}

void CrawlEngine::CountStartUrls() {
    CrawlTally& tally = Tally();
    tally.Reset();
    std::lock_guard lock(crawl_->QueueLock.Urgently());
    const auto fresh = std::count_if(crawl_->PendingQueue.begin(), crawl_->PendingQueue.end(),
                                     [](const SearchItem& item) { return item.carriedOver == 0; });
    tally.AddStartUrls(fresh);
}

void CrawlEngine::RepeatLoop() {
    const auto stopSeen = [this] { return StopSeen(); };
    for (;;) {
        {
            std::lock_guard lock(crawl_->QueueLock.Urgently());
            if (StopSeen()) {
                return;
            }
            auto& queue = crawl_->PendingQueue;
            if (!queue.empty() && queue.front().running == 0) {
                SearchItem& head = queue.front();
                head.running = 1;
                head.done = 0;
                StartWorker(queue.begin(), false);
            }
        }
        TellFailedStarts();
        std::this_thread::yield();
        if (StopSeen()) {
            return;
        }
        for (int k = settings_->RepeatSeconds; k >= 1; --k) {
            crawl_->Pause(std::chrono::milliseconds(1000), stopSeen);
            crawl_->Page().SendMessage(WM_REPEAT_COUNTDOWN, static_cast<std::uintptr_t>(k), 0);
            if (StopSeen()) {
                return;
            }
        }
    }
}

void CrawlEngine::MainLoop() {
    SeenBuckets seen;
    Cursor cursor;
    {
        std::lock_guard lock(crawl_->QueueLock.Urgently());
        cursor = crawl_->PendingQueue.begin();
    }
    int idleRounds = 0;
    std::vector<SharedUrl> skipped;
    const auto stopSeen = [this] { return StopSeen(); };
    const std::chrono::microseconds period = std::chrono::milliseconds(settings_->EngineRevs);
    auto roundBegan = std::chrono::steady_clock::now();
    for (;;) {
        if (idleRounds == kIdleRoundsToFinish) {
            crawl_->Page().ShowMessage(kSearchFinished);
            Counters().StopRequested = 1;
            return;
        }
        if (StopSeen()) {
            return;
        }
        const auto pause = PauseBefore(roundBegan, RoundPeriod(period));
        const auto pauseBegan = std::chrono::steady_clock::now();
        crawl_->Pause(pause, stopSeen);
        // A wake-up later than asked counts as part of the round, so that the
        // next pause makes up for it and rounds keep their period on average.
        roundBegan = std::min(std::chrono::steady_clock::now(), pauseBegan + pause);
        if (StopSeen()) {
            return;
        }
        {
            std::lock_guard lock(crawl_->QueueLock.Urgently());
            if (StopSeen()) {
                return;
            }
            Round(seen, cursor, idleRounds, skipped);
        }
        TellFailedStarts();
        // No result will ever take these rows off the page: one send per
        // round does, outside QueueLock so that no worker waits for it.
        if (!skipped.empty()) {
            crawl_->Page().SendMessage(WM_REMOVE_REMAINING, 0,
                                       reinterpret_cast<std::intptr_t>(&skipped));
            skipped.clear();
        }
        std::this_thread::yield();
    }
}

void CrawlEngine::Round(SeenBuckets& seen, Cursor& cursor, int& idleRounds,
                        std::vector<SharedUrl>& skipped) {
    const SearchSettings& settings = *settings_;
    auto& queue = crawl_->PendingQueue;
    const std::size_t entries = queue.size();
    ++Counters().EngineRounds;
    if (entries == 0) {
        ++idleRounds;
        cursor = queue.end();
        return;
    }
    idleRounds = 0;
    const int cap = settings.MaxConnections;
    const int activeBefore = Counters().ActiveWorkers;
    int active = activeBefore;
    // A skipped entry was counted as queued when its link was found.
    LinkDrops drops;
    drops.listener = Tally().Listener();
    const auto skip = [&drops](DropReason reason, const SearchItem& entry) {
        --drops.queued;
        drops.page = entry.foundOn.view();
        drops.Drop(reason, entry.url);
    };
    const std::size_t limit = std::min<std::size_t>(entries, kMaxExaminedPerRound);
    const bool paced = crawl_->Pacing.Active();
    const auto now = std::chrono::steady_clock::now();
    heldBack_ = false;
    // A turn may start within the next round, which comes this soon when
    // the host holds entries back.
    const auto heldBackPeriod = std::min<std::chrono::microseconds>(
        std::chrono::milliseconds(settings.EngineRevs), kHeldBackPeriod);
    for (std::size_t examined = 0; examined < limit && !queue.empty(); ++examined) {
        if (cursor == queue.end()) {
            cursor = queue.begin();
            continue;
        }
        SearchItem& item = *cursor;
        const bool finished = item.done != 0 && item.running == 0;
        if (active >= cap) {
            if (!finished) {
                break;  // the cursor stays; nothing changes until a worker reports
            }
            cursor = RemoveEntry(cursor);
            continue;
        }
        ++active;
        if (finished) {
            cursor = RemoveEntry(cursor);
        } else if (item.running != 0) {
            ++cursor;
        } else if (const bool stopSkip =
                       settings.StopOnMatch && crawl_->Roots().Contains(item.rootId);
                   stopSkip || (item.retries == 0 && seen.Contains(item.url))) {
            // A page that queued no links is left not done and comes
            // back here after its fetch: it is no dropped link.
            if (item.threadId == 0) {
                skip(stopSkip ? DropReason::kStopOnMatch : DropReason::kDuplicate, item);
            }
            item.done = 1;
            // A finished entry is only ever removed; its URL is not read
            // again, so the removal message takes it over.
            skipped.push_back(std::move(item.url));
            ++cursor;
        } else if (RetryWaits(item, now)) {
            ++cursor;  // stays queued: the server asked for a later try
            heldBack_ = true;
        } else {
            HostPacing::Turn turn;
            if (paced) {
                turn = crawl_->Pacing.Take(HostKeyOf(item.url), now, heldBackPeriod);
                if (!turn.held) {
                    ++cursor;  // its host is busy: stays queued for a later round
                    heldBack_ = true;
                    continue;
                }
            }
            if (item.carriedOver == 0 && item.retries == 0) {
                seen.Record(item.url);
            }
            item.running = 1;
            cursor = StartWorker(cursor, true, turn);
        }
    }
    Counters().EngineExaminationsCounted += active - activeBefore;
    Tally().AddLinks(drops);
}

std::chrono::microseconds CrawlEngine::PauseBefore(std::chrono::steady_clock::time_point roundBegan,
                                                   std::chrono::microseconds period) {
    // Rounds begin every `period`: the pause takes what the round before it
    // (waiting for QueueLock, the round, its removal message) left of it.
    // It never falls below half the period, though: when rounds take longer,
    // as with a thousand connections, back-to-back rounds would hold
    // QueueLock most of the time and the workers could not report.
    const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - roundBegan);
    return std::clamp(period - spent, period / 2, period);
}

CrawlEngine::Cursor CrawlEngine::RemoveEntry(Cursor at) {
    auto& queue = crawl_->PendingQueue;
    Cursor next = queue.erase(at);
    return next == queue.end() ? queue.begin() : next;
}

std::chrono::microseconds CrawlEngine::RoundPeriod(std::chrono::microseconds period) const {
    // Entries that wait for their host get their turn as soon as it comes,
    // not a whole round later: a host limited to 4 connections would
    // otherwise get at most 4 requests per round.
    return heldBack_ ? std::min<std::chrono::microseconds>(period, kHeldBackPeriod) : period;
}

bool CrawlEngine::RetryWaits(const SearchItem& item, std::chrono::steady_clock::time_point now) {
    return item.retries > 0 && item.work && item.work->notBefore > now;
}

void CrawlEngine::TellFailedStarts() {
    for (; failedStarts_ > 0; --failedStarts_) {
        crawl_->Page().ShowMessage(kCannotStartThread);
    }
}

CrawlEngine::Cursor CrawlEngine::StartWorker(Cursor at, bool countActive, HostPacing::Turn turn) {
    SearchItem& item = *at;
    try {
        CSearchThread::Launch(crawl_, settings_, item, turn);
    } catch (...) {
        if (turn.held) {
            crawl_->Pacing.GiveBack(HostKeyOf(item.url), turn);
        }
        item.running = 0;
        ++failedStarts_;
        return RemoveEntry(at);
    }
    if (countActive) {
        ++Counters().ActiveWorkers;
        if (settings_->EngineDamp > 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(settings_->EngineDamp));
        }
    }
    return std::next(at);
}

void CrawlEngine::MarkAllDone() {
    std::lock_guard lock(crawl_->QueueLock.Urgently());
    for (auto& item : crawl_->PendingQueue) {
        item.done = 1;
    }
}

}  // namespace qx
