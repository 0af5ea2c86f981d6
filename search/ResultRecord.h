#pragma once

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
    // ... shown beside "CONNECTION FAILED", never in its place.
    std::string reason;
};

// Kinds of WM_SEARCH_RESULT (its wParam).
enum ResultKind : int {
    kResultNoMatch = 0,
    kResultMatch = 1,
    kResultDescribed = 3,
    kResultConnectionFailed = 4,
};

// Where the evaluation of a page sends its rows. The crawl engine turns these
// into WM_SEARCH_RESULT sends to the page window.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void SendResult(int kind, const ResultRecord& record) = 0;
};

}  // namespace qx
