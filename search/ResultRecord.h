#pragma once

#include <cstdint>
#include <string>

namespace qx {

// One row reported by a worker with WM_SEARCH_RESULT. Owned by the sender; the
// receiver copies what it needs before the synchronous send returns.
struct ResultRecord {
    std::string description;
    std::string url;
    int matched = 0;
    std::string title = " ";  // " " when the page has none
    // For a failed page (kind 4), why it failed: "HTTP 404", "no such host",
    // ... shown beside "CONNECTION FAILED", never in its place; for a page
    // robots.txt forbids (kind 5), "robots.txt" or why the file refused all.
    std::string reason;
};

// Kinds of WM_SEARCH_RESULT (its wParam).
enum ResultKind : int {
    kResultNoMatch = 0,
    kResultMatch = 1,
    kResultDescribed = 3,
    kResultConnectionFailed = 4,
    // A page the site's robots.txt forbids: not fetched, its links not followed.
    kResultRobotsDisallowed = 5,
};

// Whether a result of this kind is a row of the scan list.
constexpr bool IsScanRowKind(std::uintptr_t kind) {
    return kind == kResultNoMatch || kind == kResultDescribed || kind == kResultConnectionFailed ||
           kind == kResultRobotsDisallowed;
}

// The Result column of a page that was not read (kind 4 or 5).
constexpr const char* UnreadPageResult(std::uintptr_t kind) {
    return kind == kResultRobotsDisallowed ? "ROBOTS.TXT DISALLOWED" : "CONNECTION FAILED";
}

// Where the evaluation of a page sends its rows. The crawl engine turns these
// into WM_SEARCH_RESULT sends to the page window.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void SendResult(int kind, const ResultRecord& record) = 0;
};

}  // namespace qx
