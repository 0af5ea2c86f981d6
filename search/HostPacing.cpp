#include "search/HostPacing.h"

#include <algorithm>

#include "html/AsciiText.h"
#include "search/SearchSettings.h"

namespace qx {

PoliteOptions PoliteOptionsFromPrefs() {
    const Preferences& prefs = Prefs();
    PoliteOptions options;
    options.perHost = prefs.PerHostOn.load() != 0 ? std::max(1, prefs.PerHost.load()) : 0;
    options.slowDown = prefs.SlowDown.load() != 0;
    return options;
}

std::string HostKeyOf(std::string_view url) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) {
        return {};
    }
    std::string scheme(url.substr(0, schemeEnd));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), LowerAscii);
    std::string_view authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string key(authority);
    std::transform(key.begin(), key.end(), key.begin(), LowerAscii);
    const std::string defaultPort = scheme == "https" ? ":443" : scheme == "http" ? ":80" : "";
    if (!defaultPort.empty() && key.size() > defaultPort.size() &&
        key.compare(key.size() - defaultPort.size(), defaultPort.size(), defaultPort) == 0) {
        key.resize(key.size() - defaultPort.size());
    }
    return key;
}

bool IsSlowDownAnswer(int status) {
    return status == 429 || status == 503;
}

void HostPacing::Begin(PoliteOptions options, int cap) {
    std::lock_guard<std::mutex> lock(lock_);
    options_ = options;
    options_.perHost = std::max(0, options_.perHost);
    baseLimit_ = options_.perHost > 0 ? options_.perHost : std::max(1, cap);
    ++search_;
    hosts_.clear();
    answers_ = 0;
    refusals_ = 0;
    hintShown_ = false;
}

PoliteOptions HostPacing::Options() const {
    std::lock_guard<std::mutex> lock(lock_);
    return options_;
}

bool HostPacing::Active() const {
    std::lock_guard<std::mutex> lock(lock_);
    return options_.perHost > 0 || options_.slowDown;
}

HostPacing::Host& HostPacing::HostLocked(std::string_view host) {
    auto found = hosts_.find(std::string(host));
    if (found == hosts_.end()) {
        found = hosts_.emplace(std::string(host), Host{}).first;
        found->second.limit = baseLimit_;
    }
    return found->second;
}

const HostPacing::Host* HostPacing::FindLocked(std::string_view host) const {
    auto found = hosts_.find(std::string(host));
    return found == hosts_.end() ? nullptr : &found->second;
}

HostPacing::Clock::duration HostPacing::GapLocked(const Host& host) const {
    // A Crawl-delay is the site's own wish, honoured with the per-host limit.
    const Clock::duration crawlDelay =
        options_.perHost > 0 ? host.crawlDelay : Clock::duration::zero();
    return std::max(host.slowGap, crawlDelay);
}

HostPacing::Turn HostPacing::Take(std::string_view host, Clock::time_point now,
                                  Clock::duration horizon) {
    std::lock_guard<std::mutex> lock(lock_);
    Host& h = HostLocked(host);
    if (h.running >= h.limit) {
        return {};
    }
    const Clock::time_point startAt = std::max(now, h.nextStart);
    // The worker waits for its start; a start beyond the next round is left
    // to a later round, so that no worker sits idle for long.
    if (startAt > now + horizon) {
        return {};
    }
    h.lastStart = startAt;
    h.nextStart = startAt + GapLocked(h);
    ++h.running;
    return {true, search_, startAt};
}

void HostPacing::GiveBack(std::string_view host, const Turn& turn) {
    Finished(host, turn, 0);
}

void HostPacing::Finished(std::string_view host, const Turn& turn, int status) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!turn.held || turn.search != search_) {
        return;  // a worker of an earlier search
    }
    Host& h = HostLocked(host);
    h.running = std::max(0, h.running - 1);
    if (!options_.slowDown || status == 0) {
        return;
    }
    if (IsSlowDownAnswer(status)) {
        SlowDownLocked(h);
    } else if (status >= 200 && status < 500) {
        CountGoodLocked(h);
    } else {
        h.goodInRow = 0;
    }
}

void HostPacing::SlowDownLocked(Host& h) {
    h.limit = std::max(1, h.limit / 2);
    const Clock::duration doubled = h.slowGap * 2;
    h.slowGap = h.slowGap == Clock::duration::zero() ? Clock::duration(kFirstGap)
                                                     : std::min<Clock::duration>(doubled, kMaxGap);
    h.goodInRow = 0;
}

void HostPacing::CountGoodLocked(Host& h) {
    if (++h.goodInRow < kGoodAnswersToRecover) {
        return;
    }
    // One step back towards the host's full pace per run of good answers.
    // The gap shrinks by a quarter, not a half: a server that limits the
    // rate tends to refuse again as soon as the gap falls below its own, so
    // small steps keep the crawl close to that rate instead of swinging
    // between twice and half of it.
    h.goodInRow = 0;
    h.limit = std::min(baseLimit_, h.limit + 1);
    h.slowGap =
        h.slowGap <= Clock::duration(kLeastGap) ? Clock::duration::zero() : h.slowGap * 3 / 4;
}

void HostPacing::SetCrawlDelay(std::string_view host, std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(lock_);
    Host& h = HostLocked(host);
    h.crawlDelay = std::clamp<Clock::duration>(delay, Clock::duration::zero(), kMaxCrawlDelay);
    // The file is read after the host's first turn was given: the next start
    // keeps the delay from that one too.
    if (h.lastStart != Clock::time_point{}) {
        h.nextStart = std::max(h.nextStart, h.lastStart + GapLocked(h));
    }
}

bool HostPacing::CountAnswer(int status) {
    std::lock_guard<std::mutex> lock(lock_);
    ++answers_;
    if (IsSlowDownAnswer(status)) {
        ++refusals_;
    }
    if (options_.slowDown || hintShown_ || refusals_ < kHintRefusals ||
        refusals_ * 20 <= answers_) {
        return false;
    }
    hintShown_ = true;
    return true;
}

int HostPacing::Limit(std::string_view host) const {
    std::lock_guard<std::mutex> lock(lock_);
    const Host* h = FindLocked(host);
    return h != nullptr ? h->limit : baseLimit_;
}

HostPacing::Clock::duration HostPacing::Gap(std::string_view host) const {
    std::lock_guard<std::mutex> lock(lock_);
    const Host* h = FindLocked(host);
    return h != nullptr ? GapLocked(*h) : Clock::duration::zero();
}

int HostPacing::Running(std::string_view host) const {
    std::lock_guard<std::mutex> lock(lock_);
    const Host* h = FindLocked(host);
    return h != nullptr ? h->running : 0;
}

}  // namespace qx
