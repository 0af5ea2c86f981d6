#include "html/RobotsTxt.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "html/AsciiText.h"

namespace qx {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// The blanks around a field; a trailing NUL byte goes too.
std::string_view TrimField(std::string_view s) {
    return TrimRight(TrimLeft(s, " \t"), std::string_view(" \t\0", 3));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEscape(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0f];
}

// The user agent named by a "user-agent" line: its first word up to a '/'.
std::string_view AgentToken(std::string_view value) {
    const std::size_t end = value.find_first_of(" \t/");
    return value.substr(0, end);
}

// Whether `pattern` (normalised, '*' runs collapsed) matches the start of
// `path`, or all of it when the pattern ends with '$'. The pieces between
// stars are found leftmost, which is enough: a star takes any run.
bool PatternMatches(std::string_view pattern, std::string_view path) {
    const bool anchored = !pattern.empty() && pattern.back() == '$';
    if (anchored) {
        pattern.remove_suffix(1);
    }
    std::size_t star = pattern.find('*');
    const std::string_view head = pattern.substr(0, star);
    if (path.substr(0, head.size()) != head) {
        return false;
    }
    if (star == std::string_view::npos) {
        return !anchored || path.size() == head.size();
    }
    std::size_t at = head.size();
    while (true) {
        const std::size_t next = pattern.find('*', star + 1);
        const std::string_view piece = pattern.substr(star + 1, next - star - 1);
        if (next == std::string_view::npos) {
            // The last piece: with '$' it must end the path.
            if (anchored) {
                return path.size() >= at + piece.size() &&
                       path.substr(path.size() - piece.size()) == piece;
            }
            return path.find(piece, at) != std::string_view::npos;
        }
        const std::size_t found = path.find(piece, at);
        if (found == std::string_view::npos) {
            return false;
        }
        at = found + piece.size();
        star = next;
    }
}

std::optional<std::chrono::milliseconds> ParseDelay(std::string_view value) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error != std::errc() || end == value.data() || !std::isfinite(seconds) || seconds < 0) {
        return std::nullopt;
    }
    const double ms =
        std::min(seconds * 1000.0, static_cast<double>(RobotsRules::kMaxCrawlDelay.count()));
    return std::chrono::milliseconds(static_cast<long long>(ms));
}

}  // namespace

// What the parse keeps of the groups seen so far, for one crawler.
struct RobotsRules::Group {
    std::vector<Rule> rules;
    std::optional<std::chrono::milliseconds> crawlDelay;

    void AddDelay(std::chrono::milliseconds delay) {
        crawlDelay = crawlDelay ? std::max(*crawlDelay, delay) : delay;
    }
};

std::string NormaliseRobotsPath(std::string_view path) {
    std::string out;
    out.reserve(path.size() + 8);
    bool inQuery = false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c == '%') {
            const int high = i + 2 < path.size() ? HexValue(path[i + 1]) : -1;
            const int low = high >= 0 ? HexValue(path[i + 2]) : -1;
            if (low < 0) {
                AppendEscape(out, c);  // a lone '%' stands for itself
                continue;
            }
            const auto decoded = static_cast<unsigned char>(high * 16 + low);
            if (IsUnreserved(decoded)) {
                out += static_cast<char>(decoded);
            } else {
                AppendEscape(out, decoded);
            }
            i += 2;
        } else if (c <= 0x20 || c >= 0x7f) {
            AppendEscape(out, c);
        } else if (inQuery && (c == ':' || c == '/' || c == '?' || c == '@')) {
            AppendEscape(out, c);
        } else {
            inQuery = inQuery || c == '?';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string RobotsProductToken(std::string_view userAgent) {
    return std::string(AgentToken(TrimField(userAgent)));
}

std::string RobotsPathOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    std::string_view rest = url;
    if (scheme != std::string_view::npos && url.find_first_of("/?#") > scheme) {
        rest = url.substr(scheme + 3);
        const std::size_t pathStart = rest.find_first_of("/?#");
        rest = pathStart == std::string_view::npos ? std::string_view() : rest.substr(pathStart);
    }
    rest = rest.substr(0, rest.find('#'));
    if (rest.empty() || rest.front() != '/') {
        return "/" + std::string(rest);
    }
    return std::string(rest);
}

RobotsRules RobotsRules::DisallowAll() {
    RobotsRules rules;
    rules.disallowAll_ = true;
    return rules;
}

RobotsRules RobotsRules::Parse(std::string_view file, std::string_view token) {
    file = file.substr(0, kMaxFileBytes);
    if (file.substr(0, 3) == "\xEF\xBB\xBF") {
        file.remove_prefix(3);
    }
    Group ours;
    Group star;
    bool oursFound = false;
    bool starFound = false;
    // The group being read: which crawlers its user-agent lines named, and
    // whether a rule has ended its list of user agents.
    bool inGroup = false;
    bool groupIsOurs = false;
    bool groupIsStar = false;
    bool rulesStarted = false;

    while (!file.empty()) {
        const std::size_t end = file.find_first_of("\r\n");
        std::string_view line = file.substr(0, std::min(end, kMaxLineBytes));
        file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
        line = line.substr(0, line.find('#'));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view key = TrimField(line.substr(0, colon));
        const std::string_view value = TrimField(line.substr(colon + 1));
        if (EqualsNoCase(key, "user-agent")) {
            if (rulesStarted || !inGroup) {
                inGroup = true;
                rulesStarted = false;
                groupIsOurs = false;
                groupIsStar = false;
            }
            const std::string_view agent = AgentToken(value);
            if (agent == "*") {
                groupIsStar = starFound = true;
            } else if (!token.empty() && EqualsNoCase(agent, token)) {
                groupIsOurs = oursFound = true;
            }
            continue;
        }
        const bool allow = EqualsNoCase(key, "allow");
        if (allow || EqualsNoCase(key, "disallow")) {
            // Rules before the first user-agent line belong to no group.
            if (!inGroup) {
                continue;
            }
            rulesStarted = true;
            if (value.empty()) {
                continue;  // an empty path matches nothing
            }
            Rule rule{NormaliseRobotsPath(value), allow};
            // "**" is "*"; runs of stars would only slow the matching.
            rule.pattern.erase(std::unique(rule.pattern.begin(), rule.pattern.end(),
                                           [](char a, char b) { return a == '*' && b == '*'; }),
                               rule.pattern.end());
            if (groupIsOurs) {
                ours.rules.push_back(rule);
            }
            if (groupIsStar) {
                star.rules.push_back(std::move(rule));
            }
        } else if (EqualsNoCase(key, "crawl-delay") && inGroup) {
            if (auto delay = ParseDelay(value)) {
                if (groupIsOurs) {
                    ours.AddDelay(*delay);
                }
                if (groupIsStar) {
                    star.AddDelay(*delay);
                }
            }
        }
    }
    RobotsRules result;
    if (oursFound || starFound) {
        Group& chosen = oursFound ? ours : star;
        result.rules_ = std::move(chosen.rules);
        result.crawlDelay_ = chosen.crawlDelay;
    }
    return result;
}

bool RobotsRules::Allowed(std::string_view pathAndQuery) const {
    if (disallowAll_) {
        return false;
    }
    if (rules_.empty()) {
        return true;
    }
    const std::string path = NormaliseRobotsPath(pathAndQuery.empty() ? "/" : pathAndQuery);
    // The file itself may always be read.
    if (path == "/robots.txt") {
        return true;
    }
    std::size_t bestLength = 0;
    bool matched = false;
    bool allowed = true;
    for (const Rule& rule : rules_) {
        const std::size_t length = rule.pattern.size();
        if (matched && (length < bestLength || (length == bestLength && !rule.allow))) {
            continue;  // cannot win
        }
        if (PatternMatches(rule.pattern, path)) {
            matched = true;
            bestLength = length;
            allowed = rule.allow;
        }
    }
    return allowed;
}

}  // namespace qx
