#include "cli/CliProgress.h"

namespace qx {

CliProgress::CliProgress(std::FILE* err, bool enabled) : err_(err), enabled_(enabled) {}

void CliProgress::SetPane(int pane, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pane >= 1 && pane <= 3) {
        panes_[pane - 1] = text;  // a copy into the pane's buffer, which stays
    }
}

std::string CliProgress::Line() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return LineLocked();
}

std::string CliProgress::LineLocked() const {
    return panes_[0] + "  " + panes_[1] + "  " + panes_[2];
}

void CliProgress::Tick() {
    if (!enabled_) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastDraw_ = now;
    shown_ = true;
    std::fprintf(err_, "\r%s\033[K", LineLocked().c_str());
    std::fflush(err_);
}

void CliProgress::ClearLine() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!enabled_ || !shown_) {
        return;
    }
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    shown_ = false;
}

}  // namespace qx
