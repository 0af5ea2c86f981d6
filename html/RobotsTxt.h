#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The rules of one site's robots.txt that apply to one crawler, read as RFC
// 9309 says: the groups naming the crawler's product token (compared without
// case; several such groups merge), else the '*' groups; Allow and Disallow
// paths with '*' and a closing '$'; the longest matching path decides, Allow
// winning a tie; no matching path allows.
//
// Debian's libwget has a robots.txt parser, but its API (wget.h) hands back
// only a list of paths: no Allow, no way to tell Allow from Disallow, no
// matcher for '*', '$' or the longest match. So the rules are read here.
//
// Bad files give bounded results: a file is read up to kMaxFileBytes and each
// line up to kMaxLineBytes; a line that is not "key: value" with a known key
// is skipped, so a binary file gives no rules and allows everything.
class RobotsRules {
public:
    // RFC 9309 asks crawlers to read at least 500 KiB.
    static constexpr std::size_t kMaxFileBytes = 500 * 1024;
    // The RFC sets no line limit. A path longer than this matches no URL
    // that servers answer; a longer line is cut here, so the key still counts.
    static constexpr std::size_t kMaxLineBytes = 16 * 1024;
    static constexpr std::chrono::milliseconds kMaxCrawlDelay{30000};

    // No rules: everything allowed (a missing file, an answer of 4xx).
    static RobotsRules AllowAll() { return RobotsRules(); }
    // Nothing allowed (a server error, an unreachable server).
    static RobotsRules DisallowAll();
    // The rules of `file` for the crawler whose product token is `token`.
    static RobotsRules Parse(std::string_view file, std::string_view token);

    // Whether the crawler may fetch `pathAndQuery` (from the first '/' of the
    // URL's path, with its query; "" counts as "/").
    bool Allowed(std::string_view pathAndQuery) const;
    bool AllowsNothing() const { return disallowAll_; }
    // The Crawl-delay of the groups that apply, at most kMaxCrawlDelay.
    std::optional<std::chrono::milliseconds> CrawlDelay() const { return crawlDelay_; }
    std::size_t RuleCount() const { return rules_.size(); }

private:
    struct Rule {
        std::string pattern;  // normalised as the paths it is matched against
        bool allow = false;
    };
    struct Group;

    std::vector<Rule> rules_;
    std::optional<std::chrono::milliseconds> crawlDelay_;
    bool disallowAll_ = false;
};

// The product token a crawler with this user agent looks for in robots.txt:
// its first word up to a '/' or a blank ("Microsoft" for "Microsoft Internet
// Explorer", "QuillEx" for "QuillEx/1.0").
std::string RobotsProductToken(std::string_view userAgent);

// The path and query of a URL as robots.txt rules see it: "/" for a URL
// without a path, no fragment. A text that does not start with "scheme://"
// is taken as a path already.
std::string RobotsPathOf(std::string_view url);

// A path or rule with escapes compared as RFC 9309 asks: an escaped
// unreserved character is decoded, other escapes get upper-case hex, bytes
// outside printable ASCII are escaped, and in the query ':', '/', '?' and '@'
// are escaped. Exposed for tests.
std::string NormaliseRobotsPath(std::string_view path);

}  // namespace qx
