#include "search/SyncMessageQueue.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace qx {

struct SyncMessageQueue::Pending {
    bool isShow = false;
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::string text;
    std::intptr_t result = 0;
    bool finished = false;  // under mutex_
    bool sleeping = false;  // under mutex_: the sender waits on `done`
    // Set by the owner as its last touch of the record: from then on the
    // sender may return without taking the lock.
    std::atomic<bool> released{false};
    // Each sender waits on its own condition, so finishing one send wakes one
    // thread instead of every worker blocked in the queue.
    std::condition_variable done;
};

SyncMessageQueue::SyncMessageQueue(Handler handler, MessageShower shower)
    : handler_(std::move(handler)),
      shower_(std::move(shower)),
      owner_(std::this_thread::get_id()) {}

SyncMessageQueue::~SyncMessageQueue() {
    Close();
}

void SyncMessageQueue::SetNotifier(std::function<void()> notifier) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifier_ = std::move(notifier);
}

void SyncMessageQueue::SetDirectDelivery(bool direct, bool showsOnOwner) {
    std::lock_guard<std::mutex> lock(mutex_);
    direct_ = direct;
    showsOnOwner_ = showsOnOwner;
}

void SyncMessageQueue::BindOwnerThread() {
    std::lock_guard<std::mutex> lock(mutex_);
    owner_ = std::this_thread::get_id();
}

bool SyncMessageQueue::IsOwnerThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return owner_ == std::this_thread::get_id();
}

bool SyncMessageQueue::IsClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

std::intptr_t SyncMessageQueue::SendMessage(unsigned msg, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
    Pending pending;
    pending.msg = msg;
    pending.wParam = wParam;
    pending.lParam = lParam;
    return Deliver(pending);
}

void SyncMessageQueue::ShowMessage(const std::string& text) {
    Pending pending;
    pending.isShow = true;
    pending.text = text;
    Deliver(pending);
}

std::intptr_t SyncMessageQueue::RunNow(const Pending& pending) {
    if (pending.isShow) {
        if (shower_) {
            shower_(pending.text);
        }
        return 0;
    }
    return handler_ ? handler_(pending.msg, pending.wParam, pending.lParam) : 0;
}

std::intptr_t SyncMessageQueue::RunDirect(const Pending& pending) {
    std::lock_guard<std::recursive_mutex> running(directRun_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return 0;
        }
    }
    return RunNow(pending);
}

std::intptr_t SyncMessageQueue::Deliver(Pending& pending) {
    std::function<void()> notifier;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (closed_) {
            return 0;
        }
        if (direct_ && !(pending.isShow && showsOnOwner_)) {
            lock.unlock();
            return RunDirect(pending);
        }
        if (owner_ == std::this_thread::get_id()) {
            lock.unlock();
            return RunNow(pending);
        }
        // The owner drains the whole queue per wake-up, so it needs telling
        // only when the queue turns non-empty.
        // Nor while it waits in WaitAndPump: the condition wakes it.
        if (pending_.empty() && !ownerWaiting_) {
            notifier = notifier_;
        }
        pending_.push_back(&pending);
        hasPending_.store(true, std::memory_order_release);
    }
    ownerWake_.notify_one();
    if (notifier) {
        notifier();
    }
    // The owner usually answers within microseconds. Watching for that a
    // little while before sleeping spares the owner a wake-up call into the
    // kernel for each message.
    for (int round = 0; round < kWatchRounds; ++round) {
        if (pending.released.load(std::memory_order_acquire)) {
            return pending.result;
        }
        std::this_thread::yield();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    pending.sleeping = true;
    pending.done.wait(lock, [&] { return pending.finished; });
    // The owner let go of the lock, so it is done with the record.
    return pending.result;
}

void SyncMessageQueue::Release(Pending& pending) {
    pending.finished = true;
    if (pending.sleeping) {
        pending.done.notify_one();
    }
    pending.released.store(true, std::memory_order_release);
}

std::size_t SyncMessageQueue::Pump(Clock::time_point until) {
    std::size_t ran = 0;
    std::deque<Pending*> batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (closed_ || pending_.empty()) {
                return ran;
            }
            if (ran > 0 && Clock::now() >= until) {
                // Senders arriving as fast as they are answered would keep
                // the owner here; its other work (painting, input, timers)
                // comes first, and the notifier brings it back.
                std::function<void()> notifier = notifier_;
                lock.unlock();
                if (notifier) {
                    notifier();
                }
                return ran;
            }
            batch.swap(pending_);
            hasPending_.store(false, std::memory_order_relaxed);
        }
        // The senders wait until their record is released, so the records
        // live on and read `result` only after the release below.
        for (Pending* next : batch) {
            next->result = RunNow(*next);
        }
        {
            // A sleeping sender checks `finished` under the lock and a
            // watching one `released`, so each record is released last.
            std::lock_guard<std::mutex> lock(mutex_);
            for (Pending* next : batch) {
                Release(*next);
            }
        }
        ran += batch.size();
        lastBatch_ = batch.size();
        batch.clear();
    }
}

void SyncMessageQueue::WatchForSend(std::chrono::microseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!hasPending_.load(std::memory_order_acquire)) {
        // Yielding rather than spinning: the sender may be waiting for this
        // very processor to send its next message.
        std::this_thread::yield();
        if (std::chrono::steady_clock::now() >= end) {
            return;
        }
    }
}

std::size_t SyncMessageQueue::WaitAndPump(std::chrono::microseconds timeout,
                                          Clock::time_point until) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ownerWaiting_ = true;
        if (pending_.empty() && !closed_ && lastBatch_ == 1) {
            // A lone sender (a worker queueing a page's links) sends again
            // within microseconds; watching for it spares both threads a
            // sleep and a wake-up. With several senders the batches grow
            // and sleeping serves better.
            lock.unlock();
            WatchForSend(std::min(timeout, kOwnerWatch));
            lock.lock();
        }
        ownerWake_.wait_for(lock, timeout, [&] { return closed_ || !pending_.empty(); });
        ownerWaiting_ = false;
    }
    return Pump(until);
}

void SyncMessageQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        for (Pending* pending : pending_) {
            pending->result = 0;
            Release(*pending);
        }
        pending_.clear();
        hasPending_.store(false, std::memory_order_relaxed);
    }
    ownerWake_.notify_all();
    // A handler already running on a sender finishes before the page may go.
    std::lock_guard<std::recursive_mutex> running(directRun_);
}

}  // namespace qx
