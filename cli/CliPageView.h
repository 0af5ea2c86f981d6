#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "cli/CliOutput.h"
#include "cli/CliProgress.h"
#include "search/SearchSessionView.h"

namespace qx {

class SearchSession;

// The search page without a window: rows go to stdout as they appear, message
// boxes, pane 0's hints and the status line to stderr, and every question is
// answered Yes. The session runs its handlers on the engine and worker threads, one at a
// time, so the calls arrive from those threads; the two flags are read by the
// owner loop.
class CliPageView : public SearchSessionView {
public:
    static constexpr const char* kSearchFinished = "Search finished";

    CliPageView(CliOutput& output, CliProgress& progress, std::FILE* err);

    // The session whose rows are written; set before Start.
    void Attach(const SearchSession& session) { session_ = &session; }

    // The engine reported "Search finished".
    bool finished() const { return finished_; }
    // Writing a row to stdout failed (for example a closed pipe).
    bool outputFailed() const { return outputFailed_; }

    void ShowMessage(const std::string& text, MessageKind kind) override;
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void SetStatusText(int pane, const std::string& text) override;
    void RowAppended(SessionList list, std::size_t index) override;
    // Rows are written out as they come and never taken back.
    bool FollowsRemovals(SessionList list) const override {
        (void)list;
        return false;
    }

private:
    CliOutput& output_;
    CliProgress& progress_;
    std::FILE* err_;
    const SearchSession* session_ = nullptr;
    std::atomic<bool> finished_{false};
    std::atomic<bool> outputFailed_{false};
};

}  // namespace qx
