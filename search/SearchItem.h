#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "search/SharedUrl.h"

namespace qx {

class PageWindow;
class CSearchThread;

// Scheme of a prepared URL (filled by PrepareFetchUrl).
enum ServiceType : int {
    kServiceUnknown = 0,
    kServiceHttp = 3,
    kServiceHttps = 4,
};

// One URL to crawl. Created by Start or by the link follower; freed only by the
// engine thread once it is done and its worker has reported.
//
// A large crawl queues hundreds of thousands of items, most of them links
// that turn out to be duplicates and are never fetched, so the item holds
// only what the queue and the link follower need, in small fields, the URL
// text is shared by all items of one URL, and the pending queue holds items
// in its own nodes (one allocation each).
struct SearchItem {
    // What only the fetch and the analysis of the page use: allocated when
    // the worker prepares the URL and freed when it is done.
    struct PageWork {
        std::string pageText;  // response body, each LF turned into one space
        std::string server;    // host, filled before the fetch
        std::string object;    // path and query, filled before the fetch
        std::string scheme;    // "http" or "https", filled before the fetch
        int serviceType = kServiceUnknown;
        std::uint16_t port = 0;
        // A page refused with 429 or 503 is fetched again no earlier than
        // this; its work is kept until then.
        std::chrono::steady_clock::time_point notBefore{};
    };

    PageWindow* pageWindow = nullptr;  // every message about this item goes here
    CSearchThread* worker = nullptr;   // worker processing the item, or null
    SharedUrl url;                     // shared with every other entry of the same URL
    std::unique_ptr<PageWork> work;
    // The link as found in the parent page when it differs from `url` (a cut
    // '|', a folded host); null otherwise and for start URLs.
    std::unique_ptr<std::string> referringText;
    // The page the link was found on; kept only while skips are explained.
    SharedUrl foundOn;
    std::uint32_t threadId = 0;  // key of the worker in WorkerList
    int depth = 0;               // 0 for start URLs
    int width = -1;              // -1: unlimited
    int maxDepth = -1;           // -1: unlimited
    int widthDepth = -1;         // refill value of levelsLeft
    int rootId = -1;             // start row the item descends from, or -1 when not tracked
    // Width bookkeeping.
    int widthCounter = 0;
    int levelsLeft = -1;            // width-depth countdown
    std::int8_t levelsLimited = 0;  // 1 when the countdown applies
    std::int8_t matchMode = 0;      // 0..7
    std::int8_t matched = 0;        // set by the evaluation when a fragment matched
    // Set by the worker when it sends a result for the item, or when the item
    // goes back to the queue to be fetched again; the page then leaves the
    // item's Remaining row to that result, else its WM_WORKER_DONE takes it off.
    std::int8_t resultSent = 0;
    // Flags shared between engine, workers and the page; guarded by QueueLock
    // but atomic so that the unlocked reads of a worker's own item stay defined.
    std::atomic<std::uint8_t> running{0};
    std::atomic<std::uint8_t> done{0};
    std::atomic<std::uint8_t> carriedOver{0};
    // How often the page was fetched again after a 429 or 503 (Slow down when
    // asked). A retried item is no duplicate of itself.
    std::int8_t retries = 0;

    PageWork& Work() {
        if (!work) {
            work = std::make_unique<PageWork>();
        }
        return *work;
    }
};

#if UINTPTR_MAX == UINT64_MAX
// Node and item together fit a 112-byte block of the C library's allocator.
static_assert(sizeof(SearchItem) <= 88, "a queue entry grew");
#endif

}  // namespace qx
