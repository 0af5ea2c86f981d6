#pragma once

#include <mutex>
#include <unordered_set>

namespace qx {

// Root ids of start rows whose pages matched (Stop on Match). Never emptied
// while the program runs.
class MatchedRoots {
public:
    void Add(int rootId);
    bool Contains(int rootId) const;

    static MatchedRoots& Instance();

private:
    mutable std::mutex MatchedRootsLock;
    std::unordered_set<int> roots_;
};

}  // namespace qx
