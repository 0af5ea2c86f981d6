#include "search/MatchedRoots.h"

namespace qx {

void MatchedRoots::Add(int rootId) {
    std::lock_guard<std::mutex> lock(MatchedRootsLock);
    roots_.insert(rootId);
}

bool MatchedRoots::Contains(int rootId) const {
    std::lock_guard<std::mutex> lock(MatchedRootsLock);
    return roots_.count(rootId) != 0;
}

MatchedRoots& MatchedRoots::Instance() {
    static MatchedRoots roots;
    return roots;
}

}  // namespace qx
