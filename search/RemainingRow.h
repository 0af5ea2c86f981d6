#pragma once

#include <string>

namespace qx {

// One row of the Remaining list: a start URL or a queued URL. Limits read
// "infinity" (or "-1" in rows from the links page) for no limit.
struct RemainingRow {
    std::string url;
    std::string depth;
    std::string maxDepth;
    std::string width;
};

// One row of the scan list.
struct ScanRow {
    std::string title;
    std::string url;
    std::string result;  // cleaned description, "NO MATCH" or "CONNECTION FAILED"
};

// One row of the results page.
struct MatchRow {
    std::string title;
    std::string url;
    std::string description;  // cleaned
};

}  // namespace qx
