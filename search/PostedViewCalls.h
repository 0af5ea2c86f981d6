#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The view calls of handlers that run on engine and worker threads, kept for
// the user-interface thread, which alone may touch widgets. A crawl sets the
// status texts thousands of times a second, so only each pane's latest text
// waits; the first call after a Take tells its caller to ask the
// user-interface thread for the next Take, and later ones ride along.
class PostedViewCalls {
public:
    static constexpr int kPanes = 4;
    // New-match alerts beyond this many between two Takes are dropped.
    static constexpr std::size_t kMaxAlerts = 64;

    struct Alert {
        std::string title;
        std::string url;
        std::string description;
    };
    struct Calls {
        std::array<std::optional<std::string>, kPanes> panes;
        std::optional<std::string> countText;
        std::vector<Alert> alerts;
    };

    // Any thread. Each returns true when the caller must ask for a Take.
    bool PutStatus(int pane, std::string_view text);
    bool PutCountText(std::string_view text);
    bool PutAlert(Alert alert);

    // The user-interface thread: forgets a pane's waiting text before it
    // sets a newer one itself.
    void DropStatus(int pane);
    // The user-interface thread: everything waiting, oldest calls dropped.
    Calls Take();

private:
    // Under mutex_: true for the first call since the last Take.
    bool Ask();

    std::mutex mutex_;
    Calls calls_;
    bool asked_ = false;
};

}  // namespace qx
