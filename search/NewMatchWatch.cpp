#include "search/NewMatchWatch.h"

namespace qx {

void NewMatchWatch::Begin(bool repeat) {
    watching_ = repeat;
    baselineTaken_ = false;
    fetchFailed_ = false;
    seen_.clear();
}

bool NewMatchWatch::Match(const std::string& description) {
    if (!watching_) {
        return false;
    }
    const bool unseen = seen_.insert(description).second;
    return unseen && baselineTaken_;
}

void NewMatchWatch::FetchDone() {
    if (watching_ && !fetchFailed_) {
        baselineTaken_ = true;
    }
    fetchFailed_ = false;
}

}  // namespace qx
