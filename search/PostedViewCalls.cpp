#include "search/PostedViewCalls.h"

#include <utility>

namespace qx {

bool PostedViewCalls::Ask() {
    return !std::exchange(asked_, true);
}

bool PostedViewCalls::PutStatus(int pane, std::string_view text) {
    if (pane < 0 || pane >= kPanes) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string>& waiting = calls_.panes[static_cast<std::size_t>(pane)];
    if (waiting) {
        waiting->assign(text);  // keeps its storage: no allocation per call
    } else {
        waiting.emplace(text);
    }
    return Ask();
}

bool PostedViewCalls::PutCountText(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.countText.emplace(text);
    return Ask();
}

bool PostedViewCalls::PutAlert(Alert alert) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (calls_.alerts.size() < kMaxAlerts) {
        calls_.alerts.push_back(std::move(alert));
    }
    return Ask();
}

void PostedViewCalls::DropStatus(int pane) {
    if (pane < 0 || pane >= kPanes) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.panes[static_cast<std::size_t>(pane)].reset();
}

PostedViewCalls::Calls PostedViewCalls::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    asked_ = false;
    return std::exchange(calls_, Calls{});
}

}  // namespace qx
