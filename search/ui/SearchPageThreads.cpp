// The search page's side of the session's handlers running on engine and
// worker threads.
#include <QThread>

#include "search/ui/CTabPg2.h"

namespace qx {

namespace {

// Posted view calls wait this long at most: the status panes refresh no more
// often anyway.
constexpr int kPostedCallsDelayMs = 50;

}  // namespace

void CTabPg2::ShareRowsWithHandlers() {
    postedTimer_ = new QTimer(this);
    postedTimer_->setSingleShot(true);
    postedTimer_->setInterval(kPostedCallsDelayMs);
    connect(postedTimer_, &QTimer::timeout, this, &CTabPg2::ShowPostedCalls);
    const auto lockRows = [this] {
        return session_ ? session_->LockRows() : std::unique_lock<std::recursive_mutex>();
    };
    scanModel->SetHolderLock(lockRows);
    remainingModel->SetHolderLock(lockRows);
    resultsModel->SetHolderLock(lockRows);
    // A crawl's thousands of reports a second then cost no thread switch;
    // only the engine's message boxes wait for this thread.
    session_->RunHandlersOnSender(SearchSession::MessageBoxThread::kOwner);
}

bool CTabPg2::OnPageThread() const {
    return QThread::currentThread() == thread();
}

void CTabPg2::AskForPostedCalls(bool ask) {
    if (!ask) {
        return;
    }
    if (OnPageThread()) {
        postedTimer_->start();
        return;
    }
    // The session's handlers stop before the page goes (Shutdown), and a
    // call posted to a deleted page is dropped.
    QMetaObject::invokeMethod(
        this, [this] { postedTimer_->start(); }, Qt::QueuedConnection);
}

bool CTabPg2::PostedStatus(int pane, const std::string& text) {
    if (OnPageThread()) {
        posted_.DropStatus(pane);
        return false;
    }
    AskForPostedCalls(posted_.PutStatus(pane, text));
    return true;
}

bool CTabPg2::PostedCountText(const std::string& text) {
    if (OnPageThread()) {
        return false;
    }
    AskForPostedCalls(posted_.PutCountText(text));
    return true;
}

bool CTabPg2::PostedAlert(const std::string& title, const std::string& url,
                          const std::string& description) {
    if (OnPageThread()) {
        return false;
    }
    AskForPostedCalls(posted_.PutAlert({title, url, description}));
    return true;
}

void CTabPg2::ShowPostedCalls() {
    const PostedViewCalls::Calls calls = posted_.Take();
    for (int pane = 0; pane < PostedViewCalls::kPanes; ++pane) {
        if (const auto& text = calls.panes[static_cast<std::size_t>(pane)]) {
            SetStatusText(pane, *text);
        }
    }
    if (calls.countText) {
        SetResultCountText(*calls.countText);
    }
    for (const PostedViewCalls::Alert& alert : calls.alerts) {
        AlertNewMatch(alert.title, alert.url, alert.description);
    }
}

}  // namespace qx
