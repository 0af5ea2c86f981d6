#pragma once

#include <string>
#include <unordered_set>

namespace qx {

// Tells which matches of a page watched with "Repeat first URL every:" are
// new: a match whose description none of the earlier fetches of the same
// search had. The first fetch that gets its page only sets what is known, so
// it announces nothing; a fetch that failed to connect does not count.
class NewMatchWatch {
public:
    // A search starts: forgets what earlier searches saw. Only repeated
    // searches are watched.
    void Begin(bool repeat);
    // A match of the current fetch; true when it is to be announced.
    bool Match(const std::string& description);
    // The current fetch got no page.
    void FetchFailed() { fetchFailed_ = true; }
    // The current fetch has ended (its worker is done).
    void FetchDone();

private:
    bool watching_ = false;
    bool baselineTaken_ = false;
    bool fetchFailed_ = false;
    std::unordered_set<std::string> seen_;
};

}  // namespace qx
