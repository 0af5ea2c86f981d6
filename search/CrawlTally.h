#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "search/LinkDrops.h"
#include "search/SearchSummary.h"

namespace qx {

// What a page gave, for the tally: one outcome per processed page.
enum class PageOutcome : std::uint8_t {
    kMatched,           // at least one match row
    kDescribed,         // described rows, no match
    kNoMatch,           // one "NO MATCH" row
    kFailed,            // one "CONNECTION FAILED" row
    kNoRow,             // no row at all (plain text without tags, a URL that cannot be prepared)
    kRobotsDisallowed,  // not fetched: the site's robots.txt forbids it
    kCount
};

// The figures of the current search, counted as it runs: pages by outcome,
// failures by reason, links by what became of them, bytes read. Workers add
// their page's figures once, with atomic additions; the engine adds its
// drops once per round. Reading gives a snapshot that may be a page behind
// but never tears a figure.
class CrawlTally {
public:
    // Every figure to 0; the clock starts now.
    void Reset();
    // The engine has ended: the clock stops.
    void Finish();

    void AddPage(PageOutcome outcome, long long bodyBytes);
    // The failure reason as the fetcher words it ("HTTP 404", "not text: x").
    void AddFailure(std::string_view reason);
    void AddLinks(const LinkDrops& links);
    void AddStartUrls(long long count);

    // Where --explain's skip lines go; null (the default) for counts only.
    void SetListener(DropListener* listener) { listener_.store(listener); }
    DropListener* Listener() const { return listener_.load(std::memory_order_relaxed); }

    // The figures now; `remaining` is the Remaining count to show beside them.
    SearchSummary Snapshot(long long remaining) const;

    // The label a failure reason is counted under: "HTTP 404", "not text",
    // "TLS" and so on; "other" for a reason of no known kind.
    static std::string FailureLabel(std::string_view reason);

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kStatusCodes = 1000;

    std::array<std::atomic<long long>, static_cast<std::size_t>(PageOutcome::kCount)> pages_{};
    std::array<std::atomic<long long>, kStatusCodes> httpStatus_{};
    std::array<std::atomic<long long>, 32> failureKinds_{};
    std::array<std::atomic<long long>, kDropReasonCount> dropped_{};
    std::atomic<long long> startUrls_{0};
    std::atomic<long long> linksSeen_{0};
    std::atomic<long long> queued_{0};
    std::atomic<long long> bytes_{0};
    std::atomic<Clock::rep> began_{0};
    std::atomic<Clock::rep> ended_{0};  // 0 while the search runs
    std::atomic<DropListener*> listener_{nullptr};
};

// The process-wide tally (one search at a time).
CrawlTally& Tally();

}  // namespace qx
