#include "search/SearchSettings.h"

namespace qx {

std::string Preferences::Identity() const {
    std::shared_ptr<const std::string> current;
    {
        std::lock_guard<std::mutex> lock(identityLock_);
        current = identity_;
    }
    return *current;
}

void Preferences::SetIdentity(std::string identity) {
    auto next = std::make_shared<const std::string>(std::move(identity));
    std::lock_guard<std::mutex> lock(identityLock_);
    identity_ = std::move(next);
}

int ComputeMatchMode(bool target, bool include, bool exclude, bool itemInclude) {
    int mode = 0;
    if (target) {
        mode = include ? (exclude ? 7 : 5) : (exclude ? 6 : 4);
    } else if (include) {
        mode = exclude ? 1 : 2;
    } else if (exclude) {
        mode = 3;
    }
    if (!itemInclude) {
        switch (mode) {
            case 1:
                mode = 3;
                break;
            case 2:
                mode = 0;
                break;
            case 5:
                mode = 4;
                break;
            case 7:
                mode = 6;
                break;
            default:
                break;
        }
    }
    return mode;
}

SearchSettings& Settings() {
    static SearchSettings settings;
    return settings;
}

SearchCounters& Counters() {
    static SearchCounters counters;
    return counters;
}

Preferences& Prefs() {
    static Preferences prefs;
    return prefs;
}

}  // namespace qx
