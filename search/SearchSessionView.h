#pragma once

#include <cstddef>
#include <string>

namespace qx {

// Icon of a message box. Every box has an OK button and the caption
// "Quillex" unless it asks a question.
enum class MessageKind {
    kPlain,        // no icon
    kExclamation,  // warning icon
};

enum class DialogAnswer { kYes, kNo, kCancel };

// The lists the search session keeps rows for.
enum class SessionList {
    kScan,       // upper list: "Title", "Scanned URL", "Result"
    kRemaining,  // lower list: "Remaining URL", "Depth", "Max Depth", "Width"
    kResults,    // the results page's rows (matches)
};

// What the search session needs from the window that shows it. Every call is
// made on the thread that owns the session (the user-interface thread), from
// Start/Stop/Clear/... or from the session's message handlers while it pumps
// its queue. The defaults do nothing, so a headless view overrides only what it
// shows.
class SearchSessionView {
public:
    virtual ~SearchSessionView() = default;

    // An OK message box; returns when the user has closed it.
    virtual void ShowMessage(const std::string& text, MessageKind kind) {
        (void)text;
        (void)kind;
    }
    // A Yes/No/Cancel box with the question icon, "No" as the default button.
    virtual DialogAnswer AskYesNoCancel(const std::string& text) {
        (void)text;
        return DialogAnswer::kNo;
    }

    // Status bar panes 1 "Scanned: %d", 2 "Remaining: %d", 3 "Searches: %d";
    // pane 0 gets the hint that servers ask the crawl to slow down.
    virtual void SetStatusText(int pane, const std::string& text) {
        (void)pane;
        (void)text;
    }
    // The main window's small icon: running (from Start to Stop) or idle.
    virtual void SetRunningIcon(bool running) { (void)running; }
    // The results page's match count text ("%ld" of the match count).
    virtual void SetResultCountText(const std::string& text) { (void)text; }
    // Makes a page of the main window current (0 browser, 1 search, 2 results,
    // 3 links); the first Start shows 2 and then 1 so the results page exists.
    virtual void ActivatePage(int index) { (void)index; }
    virtual void SetWaitCursor(bool on) { (void)on; }
    // A repeated search found a match that no earlier fetch of it had.
    virtual void AlertNewMatch(const std::string& title, const std::string& url,
                               const std::string& description) {
        (void)title;
        (void)url;
        (void)description;
    }

    // Row notifications so a list model can follow the session's rows
    // (read them with SearchSession::ScanRows(), Remaining(), MatchRows()).
    // A match appended to the results list is the results page's new row.
    virtual void RowAppended(SessionList list, std::size_t index) {
        (void)list;
        (void)index;
    }
    // A row was inserted before the row that had `index`.
    virtual void RowInserted(SessionList list, std::size_t index) {
        (void)list;
        (void)index;
    }
    // The row at `index` is about to be removed and can still be read.
    virtual void RowRemoving(SessionList list, std::size_t index) {
        (void)list;
        (void)index;
    }
    virtual void RowRemoved(SessionList list, std::size_t index) {
        (void)list;
        (void)index;
    }
    // Rows were rewritten or cleared wholesale: re-read the whole list.
    virtual void RowsReset(SessionList list) { (void)list; }
    // Whether the view follows rows leaving `list` (RowRemoving, RowRemoved).
    // A view that does not may be spared those calls, and the session then
    // spares itself working out where each leaving row stood.
    virtual bool FollowsRemovals(SessionList list) const {
        (void)list;
        return true;
    }
};

}  // namespace qx
