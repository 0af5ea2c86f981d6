#include "search/CrawlTally.h"

#include <algorithm>

namespace qx {

namespace {

// The kinds of failure the fetcher and the worker give, by the start of
// their wording. "HTTP nnn" is counted per status code instead.
constexpr std::array<std::string_view, 25> kFailureKinds = {
    "not text",
    "no content type",
    "no such host",
    "no such proxy host",
    "connection refused",
    "host unreachable",
    "cannot connect",
    "connect timed out",
    "timed out",
    "TLS",
    "connection broken",
    "invalid answer",
    "too many redirects",
    "redirect to an unusable URL",
    "stalled",
    "not http or https",
    "invalid URL",
    "read error",
    "out of memory",
    "no path",
    "no host or path",
    "no session",
    "search closed",
    "failed",
    "other",
};
constexpr std::size_t kOtherKind = kFailureKinds.size() - 1;

std::size_t FailureKindIndex(std::string_view reason) {
    for (std::size_t k = 0; k < kOtherKind; ++k) {
        const std::string_view kind = kFailureKinds[k];
        // A kind ends where the reason ends or goes on with ':' or ' '.
        if (reason.substr(0, kind.size()) == kind &&
            (reason.size() == kind.size() || reason[kind.size()] == ':' ||
             reason[kind.size()] == ' ')) {
            return k;
        }
    }
    return kOtherKind;
}

// The status code of an "HTTP nnn" reason, or -1.
int HttpStatusOf(std::string_view reason) {
    constexpr std::string_view kPrefix = "HTTP ";
    if (reason.size() != kPrefix.size() + 3 || reason.substr(0, kPrefix.size()) != kPrefix) {
        return -1;
    }
    int code = 0;
    for (char c : reason.substr(kPrefix.size())) {
        if (c < '0' || c > '9') {
            return -1;
        }
        code = code * 10 + (c - '0');
    }
    return code;
}

template <typename Array>
void Zero(Array& counts) {
    for (auto& count : counts) {
        count.store(0, std::memory_order_relaxed);
    }
}

}  // namespace

static_assert(kFailureKinds.size() <= 32, "failure kinds outgrew their counters");

void CrawlTally::Reset() {
    Zero(pages_);
    Zero(httpStatus_);
    Zero(failureKinds_);
    Zero(dropped_);
    startUrls_ = 0;
    linksSeen_ = 0;
    queued_ = 0;
    bytes_ = 0;
    ended_ = 0;
    began_ = Clock::now().time_since_epoch().count();
}

void CrawlTally::Finish() {
    ended_ = Clock::now().time_since_epoch().count();
}

void CrawlTally::AddPage(PageOutcome outcome, long long bodyBytes) {
    pages_[static_cast<std::size_t>(outcome)].fetch_add(1, std::memory_order_relaxed);
    if (bodyBytes > 0) {
        bytes_.fetch_add(bodyBytes, std::memory_order_relaxed);
    }
}

void CrawlTally::AddFailure(std::string_view reason) {
    const int status = HttpStatusOf(reason);
    if (status >= 0) {
        httpStatus_[static_cast<std::size_t>(status)].fetch_add(1, std::memory_order_relaxed);
    } else {
        failureKinds_[FailureKindIndex(reason)].fetch_add(1, std::memory_order_relaxed);
    }
}

void CrawlTally::AddLinks(const LinkDrops& links) {
    if (links.seen != 0) {
        linksSeen_.fetch_add(links.seen, std::memory_order_relaxed);
    }
    if (links.queued != 0) {
        queued_.fetch_add(links.queued, std::memory_order_relaxed);
    }
    for (std::size_t r = 0; r < kDropReasonCount; ++r) {
        if (links.dropped[r] != 0) {
            dropped_[r].fetch_add(links.dropped[r], std::memory_order_relaxed);
        }
    }
}

void CrawlTally::AddStartUrls(long long count) {
    startUrls_.fetch_add(count, std::memory_order_relaxed);
    linksSeen_.fetch_add(count, std::memory_order_relaxed);
    queued_.fetch_add(count, std::memory_order_relaxed);
}

std::string CrawlTally::FailureLabel(std::string_view reason) {
    if (HttpStatusOf(reason) >= 0) {
        return std::string(reason);
    }
    return std::string(kFailureKinds[FailureKindIndex(reason)]);
}

SearchSummary CrawlTally::Snapshot(long long remaining) const {
    SearchSummary s;
    const auto page = [this](PageOutcome o) {
        return pages_[static_cast<std::size_t>(o)].load(std::memory_order_relaxed);
    };
    s.pagesMatched = page(PageOutcome::kMatched);
    s.pagesDescribed = page(PageOutcome::kDescribed);
    s.pagesNoMatch = page(PageOutcome::kNoMatch);
    s.pagesFailed = page(PageOutcome::kFailed);
    s.pagesNoRow = page(PageOutcome::kNoRow);
    s.pagesRobotsDisallowed = page(PageOutcome::kRobotsDisallowed);
    s.pagesFetched = s.pagesMatched + s.pagesDescribed + s.pagesNoMatch + s.pagesFailed +
                     s.pagesNoRow + s.pagesRobotsDisallowed;
    for (int code = 0; code < kStatusCodes; ++code) {
        if (long long n = httpStatus_[static_cast<std::size_t>(code)].load(); n != 0) {
            s.failures.emplace_back("HTTP " + std::to_string(code), n);
        }
    }
    for (std::size_t k = 0; k < kFailureKinds.size(); ++k) {
        if (long long n = failureKinds_[k].load(); n != 0) {
            s.failures.emplace_back(std::string(kFailureKinds[k]), n);
        }
    }
    s.startUrls = startUrls_.load();
    s.linksSeen = linksSeen_.load();
    s.linksQueued = queued_.load();
    for (std::size_t r = 0; r < kDropReasonCount; ++r) {
        s.dropped[r] = dropped_[r].load();
    }
    s.bytesRead = bytes_.load();
    const Clock::rep began = began_.load();
    const Clock::rep ended = ended_.load();
    if (began != 0) {
        const Clock::rep until = ended != 0 ? ended : Clock::now().time_since_epoch().count();
        s.elapsedSeconds = std::chrono::duration<double>(Clock::duration(until - began)).count();
    }
    s.remaining = remaining;
    return s;
}

CrawlTally& Tally() {
    static CrawlTally tally;
    return tally;
}

}  // namespace qx
