#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace qx {

// Values copied from the search page at Start. Written only by Start, while no
// worker of the new search runs; read by the engine and the workers.
struct SearchSettings {
    int MaxConnections = 25;
    int RepeatSeconds = -1;
    int EngineRevs = 750;  // ms per engine round
    int EngineDamp = 1;    // ms pause after each worker start
    int DescribeForward = -1;
    int DescribeBackward = -1;
    int MaxDepth = -1;
    int WidthDepth = -1;
    int DefaultWidth = -1;
    int NoRemove = 0;
    int StopOnMatch = 0;
    int ItemInclude = 0;
    int MaxRemaining = 0;
    int MaxRemainingOn = 0;
    int ExcludeUrlFilter = 0;
    int IncludeUrlFilter = 0;
    std::string SearchText;
    std::string TargetText;
    std::string IncludeText;
    std::string ExcludeText;
    int TargetValue = 0;
    int MatchMode = 0;
};

// Counters and run flags shared by the page, the engine and the workers.
struct SearchCounters {
    std::atomic<int> SearchActive{1};
    std::atomic<int> StopRequested{0};
    std::atomic<int> ActiveWorkers{0};
    std::atomic<int> ScannedCount{0};
    std::atomic<int> RemainingCount{0};
    std::atomic<int> MatchCount{0};
    // Pages of the current search not fetched because robots.txt forbids them.
    std::atomic<int> RobotsDisallowedCount{0};
    // What the engine's last search did: its rounds, and the entries its
    // rounds examined that counted against Max Connections. Figures for
    // measuring the crawl, not shown on the page.
    std::atomic<long long> EngineRounds{0};
    std::atomic<long long> EngineExaminationsCounted{0};
};

// Preferences: reset at every program start, never stored, except the polite
// crawling options, which the desktop keeps in its settings file.
class Preferences {
public:
    static constexpr const char* kDefaultIdentity = "Microsoft Internet Explorer";
    static constexpr int kDefaultPerHost = 4;

    std::atomic<int> AlwaysOnTop{0};
    std::atomic<int> UseRobotExclusion{0};
    // Polite crawling, read at Start; all off by default.
    std::atomic<int> ObeyRobots{0};
    std::atomic<int> PerHostOn{0};  // "Connections per host:"
    std::atomic<int> PerHost{kDefaultPerHost};
    std::atomic<int> SlowDown{0};  // "Slow down when asked"

    // The user agent may be replaced while workers read it, so it is kept as
    // an immutable string swapped under a lock.
    std::string Identity() const;
    void SetIdentity(std::string identity);

private:
    mutable std::mutex identityLock_;
    std::shared_ptr<const std::string> identity_ =
        std::make_shared<const std::string>(kDefaultIdentity);
};

// Match mode from the presence of Target, Include and Exclude texts; with
// ItemInclude off the Include words take no part in matching.
int ComputeMatchMode(bool target, bool include, bool exclude, bool itemInclude);

// The process-wide instances.
SearchSettings& Settings();
SearchCounters& Counters();
Preferences& Prefs();

}  // namespace qx
