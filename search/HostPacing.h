#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qx {

// The polite crawling options of one search, from the preferences at Start.
struct PoliteOptions {
    int perHost = 0;        // most workers fetching from one host at once; 0: no limit
    bool slowDown = false;  // a 429 or 503 answer is retried later and slows its host down
};

// The options as the preferences hold them now.
PoliteOptions PoliteOptionsFromPrefs();

// The key by which requests are paced: the URL's host and port, lower-cased,
// without user name; the scheme's default port is left out. Empty when the
// URL has no "scheme://".
std::string HostKeyOf(std::string_view url);

// Per-host pacing of one search: how many workers fetch from each host, how
// far apart their requests start, and how a host that asks for less
// (429, 503) is slowed down and later let go again. The engine takes a turn
// before it starts a worker; the worker gives it back when its fetch has
// ended. Every call takes the object's own lock, so the robots reader may set
// a host's Crawl-delay from any thread.
class HostPacing {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxRetries = 3;
    static constexpr int kGoodAnswersToRecover = 20;
    static constexpr std::chrono::milliseconds kFirstGap{100};
    static constexpr std::chrono::milliseconds kMaxGap{10000};
    // Recovering, a gap this small is dropped.
    static constexpr std::chrono::milliseconds kLeastGap{10};
    static constexpr std::chrono::milliseconds kMaxCrawlDelay{30000};
    // The hint that suggests the options: shown once per search when more
    // than 1 in 20 fetches were refused, and at least this many.
    static constexpr int kHintRefusals = 20;
    static constexpr const char* kSlowDownHint =
        "Servers are asking QuillEx to slow down: see File > Preferences, Polite Crawling";

    struct Turn {
        bool held = false;
        std::uint32_t search = 0;     // the search that gave the turn
        Clock::time_point startAt{};  // the request starts no earlier
    };

    // A new search: forgets every host. `cap` (the connection cap) is a
    // host's limit when there is no per-host limit.
    void Begin(PoliteOptions options, int cap);
    PoliteOptions Options() const;
    // Whether the engine needs turns at all.
    bool Active() const;

    // A turn for a request to `host` that starts within `horizon` from `now`;
    // nothing is held when the host is at its limit or its next request may
    // start only later.
    Turn Take(std::string_view host, Clock::time_point now, Clock::duration horizon);
    // The worker could not be started.
    void GiveBack(std::string_view host, const Turn& turn);
    // The worker's fetch has ended with `status`: an HTTP status, a fetch
    // error code (12000 and up), or 0 when no request was sent.
    void Finished(std::string_view host, const Turn& turn, int status);
    // The host's robots.txt asks for this gap between requests; it applies
    // when the per-host limit is on, at most kMaxCrawlDelay.
    void SetCrawlDelay(std::string_view host, std::chrono::milliseconds delay);

    // Counts one fetch's answer of the search; true once, for the fetch that
    // makes refusals pass the hint's share while slowing down is off.
    bool CountAnswer(int status);

    // What a host is held to now (tests, figures).
    int Limit(std::string_view host) const;
    Clock::duration Gap(std::string_view host) const;
    int Running(std::string_view host) const;

private:
    struct Host {
        int running = 0;
        int limit = 0;
        int goodInRow = 0;
        Clock::duration slowGap{0};
        Clock::duration crawlDelay{0};
        Clock::time_point lastStart{};
        Clock::time_point nextStart{};
    };
    Host& HostLocked(std::string_view host);
    const Host* FindLocked(std::string_view host) const;
    Clock::duration GapLocked(const Host& host) const;
    void SlowDownLocked(Host& host);
    void CountGoodLocked(Host& host);

    mutable std::mutex lock_;
    PoliteOptions options_;
    int baseLimit_ = 1;
    std::uint32_t search_ = 0;
    std::unordered_map<std::string, Host> hosts_;
    long long answers_ = 0;
    long long refusals_ = 0;
    bool hintShown_ = false;
};

bool IsSlowDownAnswer(int status);

}  // namespace qx
