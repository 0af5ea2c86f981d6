#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qx {

// The lock of the pending queue: recursive, like a critical section, with a
// way in for the engine ahead of every worker waiting.
//
// A thousand workers may finish their pages within one engine round, and each
// then takes the lock to queue its links. With a plain mutex the engine waits
// its turn behind all of them, hundreds of milliseconds at times, and its
// rounds, which start every fetch, fall far behind their period. Here a
// holder's unlock hands the lock to the engine first, so the engine waits for
// one holder at most.
class QueueMutex {
public:
    // BasicLockable and Lockable for the workers and the page.
    void lock();
    bool try_lock();
    void unlock();

    // The engine's view of the same lock: `std::lock_guard lock(m.Urgently())`.
    class UrgentView {
    public:
        void lock() { mutex_.LockUrgently(); }
        void unlock() { mutex_.unlock(); }

    private:
        friend class QueueMutex;
        explicit UrgentView(QueueMutex& mutex) : mutex_(mutex) {}
        QueueMutex& mutex_;
    };
    UrgentView& Urgently() { return urgent_; }

private:
    void LockUrgently();
    // Waits on `turn`, counted in `waiting`, until the lock is free and, for
    // an ordinary thread, no urgent one waits; then takes it.
    void Acquire(std::condition_variable& turn, unsigned& waiting, bool urgent);
    // Under state_: takes the lock for this thread when it already holds it.
    bool Reenter(std::thread::id self);

    std::mutex state_;
    std::condition_variable ordinaryTurn_;
    std::condition_variable urgentTurn_;
    std::thread::id owner_;
    unsigned depth_ = 0;
    unsigned ordinaryWaiting_ = 0;
    unsigned urgentWaiting_ = 0;
    UrgentView urgent_{*this};
};

}  // namespace qx
