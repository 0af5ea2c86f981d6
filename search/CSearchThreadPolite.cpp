// The worker's part in polite crawling: the site's robots.txt, waiting for
// its host's turn, putting a page that a server refused for now back in the
// queue, and the hint that servers ask the crawl to slow down.

#include <chrono>
#include <thread>

#include "search/CSearchThread.h"
#include "search/CrawlState.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/RetryAfter.h"
#include "search/RobotsCache.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace qx {

namespace {

// How often a waiting worker looks whether the page is closing.
constexpr std::chrono::milliseconds kTurnWaitStep{50};

}  // namespace

bool CSearchThread::WaitForTurn() {
    if (!turn_.held) {
        return true;
    }
    for (;;) {
        if (crawl_->AbortRequested) {
            return false;
        }
        const auto left = turn_.startAt - HostPacing::Clock::now();
        if (left <= HostPacing::Clock::duration::zero()) {
            return true;
        }
        std::this_thread::sleep_for(std::min<HostPacing::Clock::duration>(left, kTurnWaitStep));
    }
}

void CSearchThread::NoteAnswer(int status) {
    status_ = status;
    if (crawl_->Pacing.CountAnswer(status)) {
        std::string hint = HostPacing::kSlowDownHint;
        item_.pageWindow->SendMessage(WM_STATUS_TEXT, 0, reinterpret_cast<std::intptr_t>(&hint));
    }
}

bool CSearchThread::GoBackToQueue() {
    // A repeated search fetches its page again anyway, and a stopped one
    // starts nothing more.
    if (!IsSlowDownAnswer(status_) || !crawl_->Pacing.Options().slowDown ||
        item_.retries >= HostPacing::kMaxRetries || settings_->RepeatSeconds >= 0 ||
        Counters().StopRequested != 0) {
        return false;
    }
    const auto wait =
        RetryAfterDelay(fetcher_.LastHeader("Retry-After"), std::chrono::system_clock::now());
    item_.Work().notBefore = std::chrono::steady_clock::now() + wait;
    ++item_.retries;
    // The Remaining row stays until the page's last fetch gives its row.
    item_.resultSent = 1;
    retryPending_ = true;
    return true;
}

void CSearchThread::ReturnTurn() {
    if (turn_.held) {
        crawl_->Pacing.Finished(hostKey_, turn_, status_);
        turn_.held = false;
    }
}

bool CSearchThread::RobotsForbid() {
    std::string reason;
    if (Prefs().ObeyRobots == 0 || RobotsAllowItem(*crawl_, item_, reason)) {
        return false;
    }
    item_.done = 1;
    ++Counters().RobotsDisallowedCount;
    // The link was counted as queued when it was found; it is dropped here.
    LinkDrops drops;
    drops.listener = Tally().Listener();
    drops.page = item_.foundOn.view();
    --drops.queued;
    drops.Drop(DropReason::kRobots, item_.url);
    Tally().AddLinks(drops);
    SendResult(kResultRobotsDisallowed, " ", " ", std::move(reason));
    return true;
}

}  // namespace qx
