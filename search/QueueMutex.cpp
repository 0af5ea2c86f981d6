#include "search/QueueMutex.h"

#include <cassert>

namespace qx {

bool QueueMutex::Reenter(std::thread::id self) {
    if (depth_ != 0 && owner_ == self) {
        ++depth_;
        return true;
    }
    return false;
}

void QueueMutex::Acquire(std::condition_variable& turn, unsigned& waiting, bool urgent) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> state(state_);
    if (Reenter(self)) {
        return;
    }
    ++waiting;
    turn.wait(state, [&] { return depth_ == 0 && (urgent || urgentWaiting_ == 0); });
    --waiting;
    owner_ = self;
    depth_ = 1;
}

void QueueMutex::lock() {
    Acquire(ordinaryTurn_, ordinaryWaiting_, false);
}

bool QueueMutex::try_lock() {
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard<std::mutex> state(state_);
    if (Reenter(self)) {
        return true;
    }
    if (depth_ != 0 || urgentWaiting_ != 0) {
        return false;
    }
    owner_ = self;
    depth_ = 1;
    return true;
}

void QueueMutex::LockUrgently() {
    Acquire(urgentTurn_, urgentWaiting_, true);
}

void QueueMutex::unlock() {
    std::unique_lock<std::mutex> state(state_);
    assert(depth_ != 0 && owner_ == std::this_thread::get_id());
    if (--depth_ != 0) {
        return;
    }
    owner_ = std::thread::id();
    const bool urgent = urgentWaiting_ != 0;
    const bool ordinary = ordinaryWaiting_ != 0;
    state.unlock();
    if (urgent) {
        urgentTurn_.notify_one();
    } else if (ordinary) {
        ordinaryTurn_.notify_one();
    }
}

}  // namespace qx
