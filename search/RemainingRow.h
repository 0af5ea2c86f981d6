#pragma once

#include <string>
#include <string_view>

namespace qx {

// One row of the Remaining list: a start URL or a queued URL. Limits read
// "infinity" (or "-1" in rows from the links page) for no limit.
struct RemainingRow {
    std::string url;
    std::string depth;
    std::string maxDepth;
    std::string width;
};

// The texts of a Remaining row as the list takes them in: views of texts
// that live at least as long as the call.
struct RemainingRowView {
    RemainingRowView(std::string_view url, std::string_view depth, std::string_view maxDepth,
                     std::string_view width)
        : url(url), depth(depth), maxDepth(maxDepth), width(width) {}
    RemainingRowView(const RemainingRow& row)  // NOLINT: a row is its own view
        : RemainingRowView(row.url, row.depth, row.maxDepth, row.width) {}

    std::string_view url;
    std::string_view depth;
    std::string_view maxDepth;
    std::string_view width;
};

// One row of the scan list.
struct ScanRow {
    std::string title;
    std::string url;
    std::string result;  // cleaned description, "NO MATCH" or "CONNECTION FAILED"
    std::string reason;  // why a "CONNECTION FAILED" page failed; "" otherwise
};

// One row of the results page.
struct MatchRow {
    std::string title;
    std::string url;
    std::string description;  // cleaned
    // The search item and Include text of the search that found the row: a
    // later search must not change how an older row is highlighted.
    std::string searchText;
    std::string includeText;
};

}  // namespace qx
