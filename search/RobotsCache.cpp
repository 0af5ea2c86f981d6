#include "search/RobotsCache.h"

#include <algorithm>

#include "html/AsciiText.h"
#include "search/CrawlState.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace qx {

namespace {

constexpr int kMaxRobotsRedirects = 5;
// A file of at most 500 KiB needs no longer, and every worker of the origin
// waits for it.
constexpr long kMaxRobotsFetchMs = 30000;

FetcherLimits RobotsLimits(FetcherLimits limits) {
    limits.maxRedirects = std::min(limits.maxRedirects, kMaxRobotsRedirects);
    limits.maxBodyBytes = RobotsRules::kMaxFileBytes;
    // Its rules count however the server labels the file.
    limits.anyContentType = true;
    limits.totalTimeoutMs = std::min(limits.totalTimeoutMs, kMaxRobotsFetchMs);
    return limits;
}

// The longest a fetch with these limits takes: two tries (the fetcher retries
// once on a fresh connection), the pause between them, and some slack.
std::chrono::milliseconds LongestFetch(const FetcherLimits& limits) {
    return std::chrono::milliseconds(2 * limits.totalTimeoutMs + limits.retryPauseMs + 5000);
}

RobotsVerdict Refused(std::string reason) {
    return RobotsVerdict{RobotsRules::DisallowAll(), std::move(reason)};
}

}  // namespace

std::string RobotsOriginKey(std::string_view scheme, std::string_view host, std::uint16_t port) {
    std::string key;
    key.reserve(scheme.size() + host.size() + 10);
    for (char c : scheme) {
        key += LowerAscii(c);
    }
    key += "://";
    for (char c : host) {
        key += LowerAscii(c);
    }
    key += ':';
    key += std::to_string(port);
    return key;
}

RobotsCache::Verdict RobotsCache::VerdictFor(const std::string& origin, const Fetch& fetch,
                                             std::chrono::milliseconds wait) {
    std::promise<Verdict> promise;
    std::shared_future<Verdict> pending;
    {
        std::lock_guard<std::mutex> lock(lock_);
        auto found = origins_.find(origin);
        if (found != origins_.end()) {
            pending = found->second;
        } else {
            origins_.emplace(origin, promise.get_future().share());
        }
    }
    if (pending.valid()) {
        if (pending.wait_for(wait) != std::future_status::ready) {
            return std::make_shared<const RobotsVerdict>(
                Refused("robots.txt: no answer in " + std::to_string(wait.count() / 1000) + " s"));
        }
        return pending.get();
    }
    // The waiters must hear from this fetch whatever happens to it.
    Verdict verdict;
    try {
        verdict = std::make_shared<const RobotsVerdict>(fetch());
    } catch (...) {
        // Only memory can run out here; the origin is refused for this
        // search rather than fetched without its rules.
        verdict = std::make_shared<const RobotsVerdict>(Refused("robots.txt: out of memory"));
    }
    promise.set_value(verdict);
    return verdict;
}

std::optional<std::chrono::milliseconds> RobotsCache::CrawlDelayOf(const std::string& origin) {
    std::lock_guard<std::mutex> lock(lock_);
    auto found = origins_.find(origin);
    if (found == origins_.end() ||
        found->second.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return found->second.get()->rules.CrawlDelay();
}

void RobotsCache::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    origins_.clear();
}

RobotsVerdict RobotsVerdictFromAnswer(int status, std::string_view body, bool readFailed,
                                      std::string_view failure, std::string_view token) {
    if (status >= 200 && status <= 299) {
        if (readFailed) {
            return Refused("robots.txt: " + std::string(failure));
        }
        return RobotsVerdict{RobotsRules::Parse(body, token), "robots.txt"};
    }
    // A file that is not there, or that cannot be found for redirects, is
    // no file: RFC 9309 lets crawlers fetch anything then.
    if ((status >= 400 && status <= 499) || status == FetchError::kRedirectFailed) {
        return RobotsVerdict{RobotsRules::AllowAll(), "robots.txt"};
    }
    if (status >= 500 && status <= 599) {
        return Refused("robots.txt: HTTP " + std::to_string(status));
    }
    // A server that cannot be reached, or an answer that means nothing here:
    // nothing is known, so nothing is fetched.
    return Refused("robots.txt: " +
                   (failure.empty() ? "HTTP " + std::to_string(status) : std::string(failure)));
}

RobotsVerdict FetchRobotsVerdict(FetcherLimits limits, std::string_view scheme,
                                 std::string_view host, std::uint16_t port,
                                 std::string_view token) {
    HttpFetcher fetcher(RobotsLimits(std::move(limits)));
    if (!fetcher.OpenSession()) {
        return Refused("robots.txt: no session: out of memory");
    }
    const int status = fetcher.FetchPage(scheme, host, port, "/robots.txt");
    return RobotsVerdictFromAnswer(status, fetcher.Body(), fetcher.ReadFailed(),
                                   fetcher.FailureReason(), token);
}

bool RobotsAllowItem(CrawlState& crawl, const SearchItem& item, std::string& reason) {
    if (!item.work) {
        return true;
    }
    const SearchItem::PageWork& work = *item.work;
    FetcherLimits limits = crawl.Limits();
    limits.abortFlag = &crawl.AbortRequested;
    const auto wait = LongestFetch(RobotsLimits(limits));
    const auto verdict = crawl.Robots.VerdictFor(
        RobotsOriginKey(work.scheme, work.server, work.port),
        [&] {
            return FetchRobotsVerdict(limits, work.scheme, work.server, work.port,
                                      RobotsProductToken(Prefs().Identity()));
        },
        wait);
    // The site's Crawl-delay spaces this host's requests from now on (when
    // the per-host limit is on; the pacing ignores it otherwise).
    if (const auto delay = verdict->rules.CrawlDelay(); delay && delay->count() > 0) {
        crawl.Pacing.SetCrawlDelay(HostKeyOf(item.url.view()), *delay);
    }
    if (verdict->rules.Allowed(RobotsPathOf(work.object))) {
        return true;
    }
    reason = verdict->reason;
    return false;
}

}  // namespace qx
