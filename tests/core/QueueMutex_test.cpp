#include "search/QueueMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx {
namespace {

using namespace std::chrono_literals;

// Workers queue behind the holder first; the engine, arriving last, still
// gets the lock as soon as the holder lets go.
TEST(QueueMutex, TheEngineGoesAheadOfWorkersAlreadyWaiting) {
    QueueMutex mutex;
    std::mutex logLock;
    std::string order;
    const auto note = [&](char who) {
        std::lock_guard<std::mutex> lock(logLock);
        order += who;
    };
    mutex.lock();
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&] {
            std::lock_guard<QueueMutex> lock(mutex);
            note('w');
        });
    }
    std::this_thread::sleep_for(50ms);
    threads.emplace_back([&] {
        std::lock_guard lock(mutex.Urgently());
        note('e');
    });
    std::this_thread::sleep_for(100ms);
    bool taken = true;
    std::thread([&] { taken = mutex.try_lock(); }).join();
    EXPECT_FALSE(taken);
    mutex.unlock();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(order, "ewww");
}

// Both ways in are recursive, and the lock still excludes: every thread
// increments a plain counter inside nested holds.
TEST(QueueMutex, NestedHoldsOfEveryKindExcludeEachOther) {
    QueueMutex mutex;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5000; ++i) {
                if (t == 0) {
                    std::lock_guard outer(mutex.Urgently());
                    std::lock_guard<QueueMutex> inner(
                        mutex);  // a worker's path called by the engine
                    ++counter;
                } else {
                    std::lock_guard<QueueMutex> outer(mutex);
                    std::unique_lock<QueueMutex> inner(mutex, std::try_to_lock);
                    ASSERT_TRUE(inner.owns_lock());
                    ++counter;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 20000);
    EXPECT_TRUE(mutex.try_lock());
    mutex.unlock();
}

}  // namespace
}  // namespace qx
