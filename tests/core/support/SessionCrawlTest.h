#pragma once

// A fixture for crawls through a whole search session: the session, the
// engine, the workers, the fetcher and the page analysis together, with
// short time-outs and a recording view.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "core/support/RecordingSessionView.h"
#include "search/MatchedRoots.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"

namespace qx::test {

using namespace std::chrono_literals;

constexpr const char* kFinished = "Search finished";

class SessionCrawlTest : public testing::Test {
protected:
    void SetUp() override {
        SearchCounters& c = Counters();
        c.ActiveWorkers = 0;
        c.ScannedCount = 0;
        c.RemainingCount = 0;
        c.MatchCount = 0;
        Prefs().UseRobotExclusion = 0;
        NewSession();
    }
    void TearDown() override {
        session.reset();
        Prefs().UseRobotExclusion = 0;
    }

    void NewSession() {
        session.reset();
        session = std::make_unique<SearchSession>(view);
        session->SetMatchedRoots(*roots);
        FetcherLimits limits;
        limits.connectTimeoutMs = 2000;
        limits.connectRetries = 0;
        limits.retryConnectTimeoutMs = 1000;
        limits.retryConnectRetries = 0;
        limits.backoffMs = 0;
        limits.retryPauseMs = 0;
        limits.stallTimeoutMs = 5000;
        limits.totalTimeoutMs = 20000;
        session->SetFetcherLimits(limits);
    }

    static SearchControls Controls() {
        SearchControls c;
        c.search = "word";
        c.engineTimingOn = true;
        c.engineRevs = "10";
        c.engineDamp = "1";
        c.maxConnectionsOn = true;
        c.maxConnections = "50";
        return c;
    }

    void AddStart(const std::string& url) {
        session->AppendRemaining({url, "", "infinity", "infinity"});
    }

    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done()) {
                return true;
            }
            session->WaitAndPumpMessages(5ms);
        }
        return done();
    }
    void PumpFor(std::chrono::milliseconds duration) {
        const auto deadline = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < deadline) {
            session->WaitAndPumpMessages(5ms);
        }
    }
    bool RunToEnd() {
        return PumpUntil([&] { return view.Showed(kFinished); });
    }
    void StopWithYes() {
        view.answers.push_back(DialogAnswer::kYes);
        session->Stop();
    }
    int ScanRowsSaying(const std::string& result) const {
        int n = 0;
        for (const ScanRow& row : session->ScanRows()) {
            n += row.result == result ? 1 : 0;
        }
        return n;
    }

    // Each test records its own matched roots; they live as long as the
    // process, like the program's own list.
    static MatchedRoots* FreshRoots() {
        static std::deque<MatchedRoots> all;
        return &all.emplace_back();
    }

    test::RecordingSessionView view;
    MatchedRoots* roots = FreshRoots();
    std::unique_ptr<SearchSession> session;
};

}  // namespace qx::test
