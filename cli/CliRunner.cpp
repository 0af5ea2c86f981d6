#include "cli/CliRunner.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cli/CliOutput.h"
#include "cli/CliPageView.h"
#include "cli/CliProgress.h"
#include "cli/CliSearchPlan.h"
#include "cli/CliSignals.h"
#include "cli/CliWakePipe.h"
#include "links/ProgramFolder.h"
#include "search/CrawlTally.h"
#include "search/HttpFetcher.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"

namespace qx {

namespace {

// How long the loop sleeps when nothing wakes it: the status line's pace.
constexpr int kIdleWaitMs = 100;
// How long a second signal lets the threads wind down.
constexpr std::chrono::milliseconds kAbandonWait{250};

void ApplyPreferences(const CliOptions& options) {
    if (options.robotExclusion) {
        Prefs().UseRobotExclusion = 1;
    }
    if (options.obeyRobots) {
        Prefs().ObeyRobots = 1;
    }
    if (options.identity) {
        Prefs().SetIdentity(*options.identity);
    }
    ApplyPoliteOptions(options, Prefs());
}

// --explain: each link not followed as a skip line on stdout. Workers may
// still hold it after the search, so it lives as long as the process.
class SkipWriter : public DropListener {
public:
    void Use(CliOutput::Format format) { output_ = CliOutput(stdout, format); }
    void LinkDropped(DropReason reason, std::string_view url, std::string_view page) override {
        output_.WriteSkip(DropReasonName(reason), url, page);
    }

private:
    CliOutput output_{stdout, CliOutput::Format::kTabs};
};

void PrintSummary(const CliOptions& options) {
    SearchCounters& counters = Counters();
    if (options.summary) {
        const SearchSummary summary = Tally().Snapshot(counters.RemainingCount.load());
        const std::string text = options.json ? SummaryJson(summary) : SummaryText(summary);
        std::fputs(text.c_str(), stderr);
    }
    std::fprintf(stderr, "Scanned: %d  Remaining: %d  Searches: %d  Matches: %d\n",
                 counters.ScannedCount.load(), counters.RemainingCount.load(),
                 counters.ActiveWorkers.load(), counters.MatchCount.load());
    if (Prefs().ObeyRobots != 0) {
        std::fprintf(stderr, "Disallowed by robots.txt: %d\n",
                     counters.RobotsDisallowedCount.load());
    }
    if (options.engineStats) {
        std::fprintf(stderr, "Engine: %lld rounds, %lld examinations counted against the cap\n",
                     counters.EngineRounds.load(), counters.EngineExaminationsCounted.load());
    }
}

// The owner-thread loop of one search.
class SearchLoop {
public:
    SearchLoop(SearchSession& session, CliPageView& view, CliProgress& progress, CliWakePipe& wake)
        : session_(session), view_(view), progress_(progress), wake_(wake) {}

    // Threads may still run: the process must end without destructors.
    bool abandoned() const { return abandoned_; }

    // Runs until the search finished, was stopped by a signal and drained,
    // or the output failed. Returns the exit status.
    int Run() {
        while (true) {
            wake_.Wait(kIdleWaitMs);
            session_.PumpMessages();
            if (int status = HandleSignals(); status >= 0) {
                return status;
            }
            if (view_.outputFailed() || std::fflush(stdout) != 0) {
                session_.Shutdown();
                return CliRunner::kExitFailure;
            }
            if (view_.finished()) {
                return CliRunner::kExitFinished;
            }
            if (stopSignal_ != 0 && Drained()) {
                return CliRunner::kExitSignalBase + stopSignal_;
            }
            progress_.Tick();
        }
    }

private:
    // -1 to go on, else the exit status.
    int HandleSignals() {
        int count = CliSignals::Count();
        if (count == handledSignals_) {
            return -1;
        }
        handledSignals_ = count;
        if (stopSignal_ == 0) {
            // Like the Stop button: the engine ends within a round and the
            // running workers still report their pages.
            stopSignal_ = CliSignals::Last();
            session_.Stop();
            return -1;
        }
        // A second signal: no more waiting for running pages.
        abandoned_ = true;
        session_.SetShutdownWait(kAbandonWait);
        session_.Shutdown();
        session_.PumpMessages();
        return CliRunner::kExitSignalBase + stopSignal_;
    }

    bool Drained() const { return !session_.EngineAlive() && Counters().ActiveWorkers.load() <= 0; }

    SearchSession& session_;
    CliPageView& view_;
    CliProgress& progress_;
    CliWakePipe& wake_;
    bool abandoned_ = false;
    int handledSignals_ = 0;
    int stopSignal_ = 0;
};

CliOutput::Format OutputFormat(const CliOptions& options) {
    if (options.csv) {
        return CliOutput::Format::kCsv;
    }
    return options.json ? CliOutput::Format::kJson : CliOutput::Format::kTabs;
}

void ShowPlanMessages(const CliSearchPlan& plan, CliPageView& view) {
    for (const std::string& message : plan.messages) {
        view.ShowMessage(message, MessageKind::kPlain);
    }
}

}  // namespace

int CliRunner::Run() {
    CliSearchPlan plan = CliSearchPlan::Build(
        options_, options_.commandLine ? ProgramFolderLookup::Find() : std::string());
    if (!plan.error.empty()) {
        std::fprintf(stderr, "quillex-cli: %s\n", plan.error.c_str());
        return kExitUsage;
    }
    HttpFetcher::GlobalInit();
    ApplyPreferences(options_);

    CliWakePipe wake;
    if (!wake.Ok()) {
        std::perror("quillex-cli: pipe");
        return kExitFailure;
    }
    CliSignals::Install(wake.WriteFd());

    CliOutput output(stdout, OutputFormat(options_));
    output.WriteHeader();
    CliProgress progress(stderr, isatty(STDERR_FILENO) != 0);
    CliPageView view(output, progress, stderr);
    SearchSession session(view);
    view.Attach(session);
    session.RunHandlersOnSender();
    session.SetNotifier([&wake] { wake.Wake(); });

    if (options_.explain) {
        static SkipWriter skipWriter;
        skipWriter.Use(OutputFormat(options_));
        Tally().SetListener(&skipWriter);
    }
    ShowPlanMessages(plan, view);
    for (RemainingRow& row : plan.rows) {
        session.AppendRemaining(std::move(row));
    }
    if (!session.Start(plan.controls)) {
        return kExitUsage;
    }
    SearchLoop loop(session, view, progress, wake);
    int status = loop.Run();
    session.Shutdown();
    session.PumpMessages();
    std::fflush(stdout);
    progress.ClearLine();
    PrintSummary(options_);
    if (loop.abandoned()) {
        // Workers blocked in a transfer may outlive Shutdown's wait; ending
        // here keeps them from meeting destroyed process-wide state.
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace qx
