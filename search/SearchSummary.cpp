#include "search/SearchSummary.h"

#include <cstdio>
#include <numeric>

#include "search/ResultExport.h"

namespace qx {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void Line(std::string& out, std::string_view name, const std::string& value, int indent = 0) {
    out.append(static_cast<std::size_t>(indent), ' ').append(name).append(": ").append(value);
    out += '\n';
}

void Line(std::string& out, std::string_view name, long long value, int indent = 0) {
    Line(out, name, std::to_string(value), indent);
}

void Member(std::string& out, std::string_view key, const std::string& literal) {
    if (out.size() > 1) {
        out += ',';
    }
    out += ResultExport::JsonString(key);
    out += ':';
    out += literal;
}

}  // namespace

long long SearchSummary::LinksDropped() const {
    return std::accumulate(dropped.begin(), dropped.end(), 0LL);
}

double SearchSummary::PagesPerSecond() const {
    return elapsedSeconds > 0 ? static_cast<double>(pagesFetched) / elapsedSeconds : 0.0;
}

std::string SummaryText(const SearchSummary& s) {
    std::string out;
    Line(out, "Pages fetched", s.pagesFetched);
    Line(out, "matched", s.pagesMatched, 2);
    Line(out, "described rows", s.pagesDescribed, 2);
    Line(out, "no match", s.pagesNoMatch, 2);
    Line(out, "failed", s.pagesFailed, 2);
    Line(out, "no row", s.pagesNoRow, 2);
    if (s.pagesRobotsDisallowed != 0) {
        Line(out, "robots.txt disallowed", s.pagesRobotsDisallowed, 2);
    }
    for (const auto& [label, count] : s.failures) {
        Line(out, label, count, 4);
    }
    Line(out, "Links seen", s.linksSeen);
    Line(out, "start URLs", s.startUrls, 2);
    Line(out, "Links queued", s.linksQueued);
    Line(out, "Links dropped", s.LinksDropped());
    for (std::size_t r = 0; r < kDropReasonCount; ++r) {
        if (s.dropped[r] != 0) {
            Line(out, DropReasonName(static_cast<DropReason>(r)), s.dropped[r], 2);
        }
    }
    Line(out, "Bytes read", s.bytesRead);
    Line(out, "Elapsed", Fixed(s.elapsedSeconds, 1) + " s");
    Line(out, "Pages per second", Fixed(s.PagesPerSecond(), 1));
    Line(out, "Remaining", s.remaining);
    return out;
}

std::string SummaryJson(const SearchSummary& s) {
    std::string out = "{";
    const auto number = [](long long n) { return std::to_string(n); };
    Member(out, "kind", "\"summary\"");
    Member(out, "pages_fetched", number(s.pagesFetched));
    Member(out, "pages_matched", number(s.pagesMatched));
    Member(out, "pages_described", number(s.pagesDescribed));
    Member(out, "pages_no_match", number(s.pagesNoMatch));
    Member(out, "pages_failed", number(s.pagesFailed));
    Member(out, "pages_no_row", number(s.pagesNoRow));
    Member(out, "pages_robots_disallowed", number(s.pagesRobotsDisallowed));
    std::string failures = "{";
    for (const auto& [label, count] : s.failures) {
        Member(failures, label, number(count));
    }
    Member(out, "failures", failures + "}");
    Member(out, "start_urls", number(s.startUrls));
    Member(out, "links_seen", number(s.linksSeen));
    Member(out, "links_queued", number(s.linksQueued));
    Member(out, "links_dropped", number(s.LinksDropped()));
    std::string dropped = "{";
    for (std::size_t r = 0; r < kDropReasonCount; ++r) {
        Member(dropped, DropReasonName(static_cast<DropReason>(r)), number(s.dropped[r]));
    }
    Member(out, "dropped", dropped + "}");
    Member(out, "bytes_read", number(s.bytesRead));
    Member(out, "elapsed_s", Fixed(s.elapsedSeconds, 3));
    Member(out, "pages_per_s", Fixed(s.PagesPerSecond(), 3));
    Member(out, "remaining", number(s.remaining));
    out += "}\n";
    return out;
}

}  // namespace qx
