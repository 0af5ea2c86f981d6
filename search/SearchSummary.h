#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "search/LinkDrops.h"

namespace qx {

// The figures of one search, as shown by "Search Summary..." and
// quillex-cli --summary. They add up: pages fetched is the sum of the pages
// by outcome, failed pages the sum of the failures by reason, and links seen
// (start URLs included) is links queued plus every drop.
struct SearchSummary {
    long long pagesFetched = 0;
    long long pagesMatched = 0;
    long long pagesDescribed = 0;
    long long pagesNoMatch = 0;
    long long pagesFailed = 0;
    long long pagesNoRow = 0;
    long long pagesRobotsDisallowed = 0;  // rows "ROBOTS.TXT DISALLOWED", not fetched
    // Failure label ("HTTP 404", "not text") and count, only those not 0.
    std::vector<std::pair<std::string, long long>> failures;
    long long startUrls = 0;
    long long linksSeen = 0;
    long long linksQueued = 0;
    std::array<long long, kDropReasonCount> dropped{};
    long long bytesRead = 0;
    double elapsedSeconds = 0;
    long long remaining = 0;

    long long LinksDropped() const;
    double PagesPerSecond() const;
};

// The figures as lines of "Name: value" text, for the clipboard and stderr.
std::string SummaryText(const SearchSummary& summary);
// The figures as one JSON object on one line (with its line end).
std::string SummaryJson(const SearchSummary& summary);

}  // namespace qx
