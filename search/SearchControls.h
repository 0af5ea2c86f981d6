#pragma once

#include <string>

namespace qx {

// The search page's controls as the user left them: the edits' texts exactly
// as typed (numbers are read with atoi semantics at Start, so a non-number
// counts as 0 and an empty edit may keep the previous value) and the check
// boxes' states.
struct SearchControls {
    std::string search;   // "Search:"
    std::string target;   // "Target: $"
    std::string include;  // "Include:"
    std::string exclude;  // "Exclude:"

    bool repeatOn = false;  // "Repeat first URL every:"
    std::string repeatSeconds;

    bool stopOnMatch = false;  // "Stop on Match"

    bool maxDepthOn = false;  // "Max Depth:"
    std::string maxDepth;

    bool widthDepthOn = false;  // "Width Depth:"
    std::string widthDepth;

    bool maxConnectionsOn = false;  // "Max Connections:"
    std::string maxConnections;

    bool defaultWidthOn = false;  // "Default Width:"
    std::string defaultWidth;

    bool itemInclude = false;  // "Item Include"

    bool describeOn = false;  // "Describe: f" ... ", r"
    std::string describeForward;
    std::string describeBackward;

    bool engineTimingOn = false;  // "Engine Timing" revs: ... damp: ...
    std::string engineRevs;
    std::string engineDamp;

    bool noRemove = false;  // "No Remove"

    bool maxRemainingOn = false;  // "Max Remaining:"
    std::string maxRemaining;

    bool excludeUrl = false;  // "Exclude URL"
    bool includeUrl = false;  // "Include URL"
};

}  // namespace qx
