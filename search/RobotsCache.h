#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "html/RobotsTxt.h"
#include "search/HttpFetcher.h"

namespace qx {

class CrawlState;
struct SearchItem;

// What one origin's robots.txt decides, with the words a blocked row gives.
struct RobotsVerdict {
    RobotsRules rules;
    // Why every URL of the origin is refused ("robots.txt: HTTP 503",
    // "robots.txt: connection refused"); for a refusal by a rule the reason
    // is plain "robots.txt".
    std::string reason;
};

// The robots.txt files of one search, by origin (scheme, host, port). The
// first worker that needs an origin fetches its file; workers that need the
// same origin meanwhile wait for that one fetch instead of sending their own.
class RobotsCache {
public:
    using Verdict = std::shared_ptr<const RobotsVerdict>;
    using Fetch = std::function<RobotsVerdict()>;

    // The verdict for `origin`, fetched with `fetch` by the first caller. A
    // caller that waits longer than `wait` for another's fetch gets a
    // verdict refusing the origin, which is not kept.
    Verdict VerdictFor(const std::string& origin, const Fetch& fetch,
                       std::chrono::milliseconds wait);
    // The Crawl-delay of an origin whose file has been read, without waiting
    // for a fetch in progress (for pacing requests to the origin).
    std::optional<std::chrono::milliseconds> CrawlDelayOf(const std::string& origin);
    // Forgets every origin: a new search reads the files again.
    void Clear();

private:
    std::mutex lock_;
    std::unordered_map<std::string, std::shared_future<Verdict>> origins_;
};

// The key of an origin in the cache: "scheme://host:port", lower case.
std::string RobotsOriginKey(std::string_view scheme, std::string_view host, std::uint16_t port);

// What a robots.txt answer means: 2xx its rules, 4xx (and too many redirects)
// no rules, 5xx and a server that cannot be reached (an error code of 12000
// and up) nothing allowed. `failure` is the fetcher's reason for a failed
// fetch.
RobotsVerdict RobotsVerdictFromAnswer(int status, std::string_view body, bool readFailed,
                                      std::string_view failure, std::string_view token);

// Fetches the origin's /robots.txt with `limits` (made stricter: at most 5
// redirects, RobotsRules::kMaxFileBytes of body) and reads it for `token`.
RobotsVerdict FetchRobotsVerdict(FetcherLimits limits, std::string_view scheme,
                                 std::string_view host, std::uint16_t port, std::string_view token);

// Whether the crawl's robots.txt rules let the prepared `item` be fetched;
// when not, `reason` says why. Fetches the origin's file on first need.
bool RobotsAllowItem(CrawlState& crawl, const SearchItem& item, std::string& reason);

}  // namespace qx
