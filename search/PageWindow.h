#pragma once

#include <cstdint>
#include <string>

namespace qx {

// Private window messages between the engine, the workers and the search page.
enum : unsigned {
    WM_USER = 0x0400,
    WM_WORKER_DONE = WM_USER + 1,
    WM_SEARCH_RESULT = WM_USER + 16,
    WM_ADD_REMAINING = WM_USER + 20,
    WM_APPLY_PREFS = WM_USER + 22,
    WM_REPEAT_COUNTDOWN = WM_USER + 23,
    WM_PAGE_RESIZE = WM_USER + 24,
    // Engine → page, once per round at most: the entries the round marked
    // done without starting them (duplicates, Stop-on-Match skips). lParam
    // points to a std::vector<SharedUrl> of their URLs, valid for the send.
    WM_REMOVE_REMAINING = WM_USER + 25,
    // Worker → page: a status bar text. wParam is the pane, lParam points to
    // the std::string text, valid for the send.
    WM_STATUS_TEXT = WM_USER + 26,
};

// The search page as the engine and the workers see it. Every call is
// synchronous: it returns once the page has handled the message.
class PageWindow {
public:
    virtual ~PageWindow() = default;
    virtual std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    // Shows a message ("Search finished", "Cannot Start New Thread") and
    // returns once the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace qx
