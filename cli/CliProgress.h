#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace qx {

// The status bar of the crawler: one line on a terminal's stderr holding the
// three panes "Scanned: %d", "Remaining: %d" and "Searches: %d", redrawn in
// place at most ten times a second. Disabled when stderr is not a terminal.
// Panes are set from the crawl's threads while the owner loop draws.
class CliProgress {
public:
    CliProgress(std::FILE* err, bool enabled);

    // Pane 1, 2 or 3 of the status bar; other panes are ignored.
    void SetPane(int pane, const std::string& text);
    // The line as it would be drawn.
    std::string Line() const;

    // Redraws the line unless it was drawn less than 100 ms ago.
    void Tick();
    // Removes the line so that other stderr output starts on a clean line;
    // the next Tick() draws it again.
    void ClearLine();

private:
    std::string LineLocked() const;

    mutable std::mutex mutex_;
    std::FILE* err_;
    bool enabled_;
    bool shown_ = false;
    std::string panes_[3] = {"Scanned: 0", "Remaining: 0", "Searches: 0"};
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace qx
