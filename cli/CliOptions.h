#pragma once

#include <optional>
#include <string>
#include <vector>

#include "search/RemainingRow.h"
#include "search/SearchControls.h"
#include "search/SearchSettings.h"

namespace qx {

// A start URL given on the command line, in the form of a link line: the URL
// and optionally its max depth and width ("-1": no limit).
struct CliStartUrl {
    std::string url;
    std::string maxDepth = "-1";
    std::string width = "-1";
};

// `--robots-check FILE AGENT URL`: whether a robots.txt file lets a crawler
// fetch a URL.
struct CliRobotsCheck {
    std::string file;
    std::string agent;
    std::string url;
};

// Everything the command line of quillex-cli can ask for. Unset optionals
// leave the corresponding search-page control unchecked.
struct CliOptions {
    std::optional<std::string> search;
    std::string target;
    std::string include;
    std::string exclude;
    std::optional<int> maxDepth;
    std::optional<int> widthDepth;
    std::optional<int> defaultWidth;
    std::optional<int> maxConnections;
    std::optional<int> maxRemaining;
    std::optional<int> repeatSeconds;
    std::optional<int> describeForward;
    std::optional<int> describeBackward;
    std::optional<int> engineRevs;
    std::optional<int> engineDamp;
    bool stopOnMatch = false;
    bool itemInclude = false;
    bool noRemove = false;
    bool includeUrl = false;
    bool excludeUrl = false;
    bool robotExclusion = false;
    bool obeyRobots = false;
    std::optional<CliRobotsCheck> robotsCheck;
    std::optional<std::string> identity;
    std::optional<int> perHost;  // Connections per host
    bool slowDown = false;       // Slow down when asked
    bool polite = false;         // all polite options, 4 per host
    std::optional<std::string> linksFile;
    std::optional<std::string> enginesFile;
    std::optional<std::string> commandLine;
    bool json = false;
    bool csv = false;
    bool help = false;
    bool version = false;
    bool engineStats = false;
    bool explain = false;  // a skip line per link not followed
    bool summary = false;  // the search's figures on stderr at the end
    std::vector<CliStartUrl> startUrls;
};

struct CliParseResult {
    bool ok = false;
    std::string error;  // set when !ok: what was wrong, for the user
    CliOptions options;
};

// Parses the arguments after the program name. Options may be written as
// "--name value" or "--name=value"; "--" ends the options. A bare integer
// after a URL is that URL's max depth, a second one its width.
CliParseResult ParseCliOptions(const std::vector<std::string>& args);

// Strict decimal integer (optional leading '-'), in int range.
std::optional<int> ParseCliInt(const std::string& text);

// The search page's controls as the options set them: a given option checks
// its box and fills its edit; an absent one leaves the box unchecked.
SearchControls ToSearchControls(const CliOptions& options);

// The Remaining rows of the URLs given as arguments, as the links page hands
// them over: depth empty (Start writes "0"), limits as given ("-1" for none).
std::vector<RemainingRow> StartRows(const CliOptions& options);

// Sets the polite crawling preferences that the options ask for; the others
// stay as they are. An explicit --per-host wins over the 4 of --polite.
void ApplyPoliteOptions(const CliOptions& options, Preferences& prefs);

// The usage text shown by --help.
std::string CliUsage();

}  // namespace qx
