#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "search/PageWindow.h"

namespace qx {

// The search page's window as the engine and the workers see it: a
// SendMessage from any thread waits until the owner thread has run the
// handler, as a window's synchronous send does. The owner runs pending sends
// from its own loop with Pump() or WaitAndPump(); the notifier tells it that
// something is waiting (the desktop posts a queued call, the headless crawler
// wakes its loop). With direct delivery the sender runs the handler itself.
// Once closed, every pending and later send returns 0 at once without
// touching the page.
class SyncMessageQueue : public PageWindow {
public:
    using Handler = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;
    using MessageShower = std::function<void(const std::string&)>;

    // The constructing thread becomes the owner thread.
    SyncMessageQueue(Handler handler, MessageShower shower);
    ~SyncMessageQueue() override;
    SyncMessageQueue(const SyncMessageQueue&) = delete;
    SyncMessageQueue& operator=(const SyncMessageQueue&) = delete;

    // Called from the sending thread after each new pending send. Set it
    // before any other thread sends.
    void SetNotifier(std::function<void()> notifier);
    // Runs every handler on the sending thread instead, one at a time, for a
    // page without widgets: a send then costs no thread switch. Set it before
    // any other thread sends. With `showsOnOwner` the message boxes still
    // wait for the owner thread, for a page whose handlers touch only data.
    void SetDirectDelivery(bool direct, bool showsOnOwner = false);
    // Makes the calling thread the owner thread.
    void BindOwnerThread();
    bool IsOwnerThread() const;

    std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void ShowMessage(const std::string& text) override;

    using Clock = std::chrono::steady_clock;
    // Owner thread: runs every pending send, and those that arrive meanwhile,
    // until the queue is empty or `until` has passed; returns how many ran.
    // Busy senders can keep the queue full, so an owner with other work sets
    // a limit; sends left waiting then call the notifier again.
    std::size_t Pump(Clock::time_point until = Clock::time_point::max());
    // Owner thread: waits up to `timeout` for a pending send, then pumps
    // until `until`. Returns how many ran.
    std::size_t WaitAndPump(std::chrono::microseconds timeout,
                            Clock::time_point until = Clock::time_point::max());
    // Owner thread: takes `lock` while still running pending sends, so that a
    // thread holding it and waiting in SendMessage can finish.
    template <class Lockable>
    std::unique_lock<Lockable> LockWhilePumping(Lockable& lock) {
        for (;;) {
            std::unique_lock<Lockable> held(lock, std::try_to_lock);
            if (held.owns_lock()) {
                return held;
            }
            // The holder may be waiting for us; otherwise it lets go soon.
            WaitAndPump(std::chrono::milliseconds(1));
        }
    }

    // Releases every waiting sender with 0 and refuses later sends. Idempotent.
    void Close();
    bool IsClosed() const;

private:
    struct Pending;

    std::intptr_t Deliver(Pending& pending);
    std::intptr_t RunNow(const Pending& pending);
    std::intptr_t RunDirect(const Pending& pending);
    // Owner side, under mutex_, with `result` set: lets the sender return.
    static void Release(Pending& pending);

    // How many times a sender yields while it watches for its answer.
    static constexpr int kWatchRounds = 20;
    // How long the owner watches for a send before it sleeps in WaitAndPump.
    static constexpr std::chrono::microseconds kOwnerWatch{40};
    void WatchForSend(std::chrono::microseconds limit) const;

    Handler handler_;
    MessageShower shower_;
    std::function<void()> notifier_;
    std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable ownerWake_;  // a send is pending
    std::deque<Pending*> pending_;
    bool closed_ = false;
    bool direct_ = false;
    bool showsOnOwner_ = false;
    bool ownerWaiting_ = false;            // the owner waits in WaitAndPump
    std::atomic<bool> hasPending_{false};  // pending_ is not empty
    std::size_t lastBatch_ = 0;            // owner thread: sends in the last batch
    // Serialises handlers in direct delivery; Close takes it to wait for the
    // one still running. Recursive: a handler may send again.
    std::recursive_mutex directRun_;
};

}  // namespace qx
