#include "search/LinkDrops.h"

#include <numeric>

namespace qx {

std::string_view DropReasonName(DropReason reason) {
    static constexpr std::array<std::string_view, kDropReasonCount> kNames = {
        "image",   "depth",        "width",     "include-url",   "exclude-url", "max-remaining",
        "noindex", "escaped",      "not-http",  "style-sheet",   "dot-path",    "short",
        "repeat",  "unresolvable", "duplicate", "stop-on-match", "robots"};
    const auto index = static_cast<std::size_t>(reason);
    return index < kNames.size() ? kNames[index] : std::string_view("unknown");
}

long long LinkDrops::TotalDropped() const {
    return std::accumulate(dropped.begin(), dropped.end(), 0LL);
}

}  // namespace qx
