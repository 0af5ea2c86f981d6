#include "search/SyncMessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace qx {
namespace {

using namespace std::chrono_literals;

struct Handled {
    std::thread::id thread;
    unsigned msg;
};

TEST(SyncMessageQueue, SendWaitsForTheOwnerAndReturnsTheHandlersResult) {
    std::vector<Handled> handled;
    SyncMessageQueue queue(
        [&](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
            handled.push_back({std::this_thread::get_id(), msg});
            return static_cast<std::intptr_t>(wParam) + lParam;
        },
        nullptr);
    std::atomic<std::intptr_t> result{-1};
    std::thread sender([&] { result = queue.SendMessage(WM_ADD_REMAINING, 40, 2); });
    while (queue.WaitAndPump(10ms) == 0) {
    }
    sender.join();
    EXPECT_EQ(result, 42);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].thread, std::this_thread::get_id());
    EXPECT_EQ(handled[0].msg, static_cast<unsigned>(WM_ADD_REMAINING));
}

TEST(SyncMessageQueue, OwnerThreadSendRunsAtOnce) {
    int calls = 0;
    SyncMessageQueue queue(
        [&](unsigned, std::uintptr_t, std::intptr_t) {
            ++calls;
            return std::intptr_t{7};
        },
        nullptr);
    EXPECT_EQ(queue.SendMessage(WM_WORKER_DONE, 0, 0), 7);
    EXPECT_EQ(calls, 1);
}

TEST(SyncMessageQueue, NotifierFiresWhenTheQueueTurnsNonEmpty) {
    std::atomic<int> notified{0};
    SyncMessageQueue queue([](unsigned, std::uintptr_t, std::intptr_t) { return 0; }, nullptr);
    queue.SetNotifier([&] { ++notified; });
    // The owner is slow to pump: both sends wait together, one wake-up serves them.
    std::thread a([&] { queue.SendMessage(WM_WORKER_DONE, 0, 0); });
    while (notified == 0) {
        std::this_thread::sleep_for(1ms);
    }
    std::thread b([&] { queue.SendMessage(WM_WORKER_DONE, 0, 0); });
    std::this_thread::sleep_for(200ms);  // lets b queue behind a
    EXPECT_EQ(queue.Pump(), 2u);
    a.join();
    b.join();
    EXPECT_EQ(notified, 1);
    // Once drained, the next send must wake the owner again.
    std::thread c([&] { queue.SendMessage(WM_WORKER_DONE, 0, 0); });
    while (queue.Pump() == 0) {
        std::this_thread::sleep_for(1ms);
    }
    c.join();
    EXPECT_EQ(notified, 2);
    // An owner already waiting in WaitAndPump is woken by the send itself.
    std::thread d([&] {
        std::this_thread::sleep_for(200ms);
        queue.SendMessage(WM_WORKER_DONE, 0, 0);
    });
    std::size_t ran = 0;
    while (ran == 0) {
        ran = queue.WaitAndPump(10s);
    }
    d.join();
    EXPECT_EQ(ran, 1u);
    EXPECT_EQ(notified, 2);
}

// Senders answered as fast as they send could keep the owner pumping for
// ever; past its deadline it returns after a batch and asks to be called again.
TEST(SyncMessageQueue, PumpStopsAtItsDeadlineAndNotifiesForTheRest) {
    std::atomic<int> notified{0};
    std::thread second;
    SyncMessageQueue* page = nullptr;
    SyncMessageQueue queue(
        [&](unsigned msg, std::uintptr_t, std::intptr_t) {
            if (msg == WM_ADD_REMAINING) {
                // The next send arrives while this batch runs.
                const int before = notified;
                second = std::thread([&] { page->SendMessage(WM_WORKER_DONE, 0, 0); });
                while (notified == before) {
                    std::this_thread::sleep_for(1ms);
                }
            }
            return 0;
        },
        nullptr);
    page = &queue;
    queue.SetNotifier([&] { ++notified; });
    std::thread first([&] { queue.SendMessage(WM_ADD_REMAINING, 0, 0); });
    while (notified == 0) {
        std::this_thread::sleep_for(1ms);
    }
    const int beforePump = notified;
    EXPECT_EQ(queue.Pump(SyncMessageQueue::Clock::now()), 1u);
    first.join();
    // One notification from the second send, one from the pump leaving it.
    EXPECT_EQ(notified, beforePump + 2);
    EXPECT_EQ(queue.Pump(SyncMessageQueue::Clock::now()), 1u);
    second.join();
    EXPECT_EQ(queue.Pump(), 0u);
}

TEST(SyncMessageQueue, ShowMessageWaitsUntilShown) {
    std::vector<std::string> shown;
    SyncMessageQueue queue(nullptr, [&](const std::string& text) { shown.push_back(text); });
    std::atomic<bool> returned{false};
    std::thread engine([&] {
        queue.ShowMessage("Search finished");
        returned = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned);
    while (queue.WaitAndPump(10ms) == 0) {
    }
    engine.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(shown, std::vector<std::string>{"Search finished"});
}

// The owner takes a lock that a sender holds while it waits for the owner.
TEST(SyncMessageQueue, LockWhilePumpingRunsTheHoldersSend) {
    std::recursive_mutex queueLock;
    int handled = 0;
    SyncMessageQueue queue(
        [&](unsigned, std::uintptr_t, std::intptr_t) {
            ++handled;
            return std::intptr_t{0};
        },
        nullptr);
    std::atomic<bool> holding{false};
    std::thread worker([&] {
        std::lock_guard<std::recursive_mutex> lock(queueLock);
        holding = true;
        for (int i = 0; i < 3; ++i) {
            queue.SendMessage(WM_ADD_REMAINING, 0, 0);
        }
    });
    while (!holding) {
        std::this_thread::yield();
    }
    auto lock = queue.LockWhilePumping(queueLock);
    EXPECT_TRUE(lock.owns_lock());
    EXPECT_EQ(handled, 3);
    lock.unlock();
    worker.join();
}

TEST(SyncMessageQueue, CloseReleasesWaitingAndLaterSendersWithoutHandling) {
    std::atomic<int> handled{0};
    SyncMessageQueue queue(
        [&](unsigned, std::uintptr_t, std::intptr_t) {
            ++handled;
            return std::intptr_t{5};
        },
        [&](const std::string&) { ++handled; });
    std::vector<std::thread> senders;
    std::atomic<int> zeros{0};
    for (int i = 0; i < 8; ++i) {
        senders.emplace_back([&] {
            if (queue.SendMessage(WM_SEARCH_RESULT, 0, 0) == 0) {
                ++zeros;
            }
        });
    }
    std::this_thread::sleep_for(20ms);
    queue.Close();
    for (std::thread& t : senders) {
        t.join();
    }
    EXPECT_EQ(zeros, 8);
    std::thread late([&] {
        EXPECT_EQ(queue.SendMessage(WM_SEARCH_RESULT, 0, 0), 0);
        queue.ShowMessage("Search finished");
    });
    late.join();
    EXPECT_EQ(queue.Pump(), 0u);
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(queue.IsClosed());
}

TEST(SyncMessageQueue, ManySendersEachGetTheirOwnAnswer) {
    // Answers come back both to senders still watching and to sleeping ones.
    SyncMessageQueue queue(
        [](unsigned, std::uintptr_t wParam, std::intptr_t lParam) {
            return static_cast<std::intptr_t>(wParam) * 3 + lParam;
        },
        nullptr);
    std::atomic<int> wrong{0};
    std::atomic<int> running{16};
    std::vector<std::thread> senders;
    for (int t = 0; t < 16; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                const auto w = static_cast<std::uintptr_t>(t * 1000 + i);
                if (queue.SendMessage(WM_SEARCH_RESULT, w, t) !=
                    static_cast<std::intptr_t>(w) * 3 + t) {
                    ++wrong;
                }
                if (i % 50 == 0) {
                    std::this_thread::sleep_for(1ms);  // lets the owner go idle now and then
                }
            }
            --running;
        });
    }
    while (running > 0) {
        queue.WaitAndPump(2ms);
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    EXPECT_EQ(wrong, 0);
}

TEST(SyncMessageQueue, DirectDeliveryRunsHandlersOnSendersOneAtATime) {
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> onOwner{0};
    std::atomic<int> shown{0};
    const std::thread::id owner = std::this_thread::get_id();
    SyncMessageQueue queue(
        [&](unsigned, std::uintptr_t wParam, std::intptr_t) {
            if (++inside > 1) {
                ++overlaps;
            }
            if (std::this_thread::get_id() == owner) {
                ++onOwner;
            }
            std::this_thread::yield();
            --inside;
            return static_cast<std::intptr_t>(wParam) * 2;
        },
        [&](const std::string&) { ++shown; });
    queue.SetDirectDelivery(true);
    queue.SetNotifier([] { ADD_FAILURE() << "a direct send needs no owner"; });
    std::atomic<int> wrong{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 8; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (queue.SendMessage(WM_ADD_REMAINING, static_cast<std::uintptr_t>(t + i), 0) !=
                    2 * (t + i)) {
                    ++wrong;
                }
            }
            queue.ShowMessage("Search finished");
        });
    }
    // The owner never pumps: every send must finish without it.
    for (std::thread& sender : senders) {
        sender.join();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(onOwner, 0);
    EXPECT_EQ(shown, 8);
    EXPECT_EQ(queue.Pump(), 0u);
}

TEST(SyncMessageQueue, DirectDeliveryCloseWaitsForTheRunningHandler) {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> handlerDone{false};
    std::atomic<int> calls{0};
    SyncMessageQueue queue(
        [&](unsigned, std::uintptr_t, std::intptr_t) {
            ++calls;
            entered = true;
            while (!release) {
                std::this_thread::sleep_for(1ms);
            }
            handlerDone = true;
            return std::intptr_t{7};
        },
        nullptr);
    queue.SetDirectDelivery(true);
    std::atomic<std::intptr_t> first{0};
    std::thread sender([&] { first = queue.SendMessage(WM_WORKER_DONE, 0, 0); });
    while (!entered) {
        std::this_thread::sleep_for(1ms);
    }
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        release = true;
    });
    queue.Close();
    // Close returned: the handler that was running has finished.
    EXPECT_TRUE(handlerDone);
    sender.join();
    releaser.join();
    EXPECT_EQ(first, 7);
    EXPECT_EQ(queue.SendMessage(WM_WORKER_DONE, 0, 0), 0);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace qx
