#include "search/ControlSettings.h"

#include <algorithm>
#include <climits>

#include "html/AsciiText.h"
#include "search/SearchSettings.h"

namespace qx {

namespace {

constexpr int kDefaultMaxConnections = 25;
constexpr int kConnectionsWarningAbove = 115;
constexpr int kMinEngineRevs = 10;

// The number in an edit whose box is ticked; -1 (no limit) otherwise.
int LimitFrom(bool on, const std::string& text) {
    return on && !text.empty() ? Atoi(text) : -1;
}

void ReadDescribeAndTiming(const SearchControls& c, SearchSettings& s) {
    if (c.describeOn) {
        if (!c.describeForward.empty()) {
            s.DescribeForward = Atoi(c.describeForward);
        }
        if (!c.describeBackward.empty()) {
            s.DescribeBackward = Atoi(c.describeBackward);
        }
    }
    if (c.engineTimingOn) {
        if (!c.engineRevs.empty()) {
            const int revs = Atoi(c.engineRevs);
            s.EngineRevs = revs <= kMinEngineRevs ? kMinEngineRevs : revs;
        }
        if (!c.engineDamp.empty()) {
            const int damp = Atoi(c.engineDamp);
            s.EngineDamp = damp <= 0 ? 1 : damp;
        }
    }
}

}  // namespace

int Atoi(std::string_view text) {
    const long long value = ReadLeadingNumber(text);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

void ReadControlSettings(const SearchControls& c, SearchSettings& s) {
    s.DefaultWidth = LimitFrom(c.defaultWidthOn, c.defaultWidth);
    s.NoRemove = c.noRemove ? 1 : 0;
    s.RepeatSeconds = LimitFrom(c.repeatOn, c.repeatSeconds);
    s.StopOnMatch = c.stopOnMatch ? 1 : 0;
    s.MaxDepth = LimitFrom(c.maxDepthOn, c.maxDepth);
    s.WidthDepth = LimitFrom(c.widthDepthOn, c.widthDepth);
    if (!c.maxConnectionsOn) {
        s.MaxConnections = kDefaultMaxConnections;
    } else if (!c.maxConnections.empty()) {
        s.MaxConnections = Atoi(c.maxConnections);
    }
    s.ItemInclude = c.itemInclude ? 1 : 0;
    ReadDescribeAndTiming(c, s);
    if (c.maxRemainingOn && !c.maxRemaining.empty()) {
        s.MaxRemaining = Atoi(c.maxRemaining);
        s.MaxRemainingOn = 1;
    } else {
        s.MaxRemainingOn = 0;
    }
    s.ExcludeUrlFilter = c.excludeUrl ? 1 : 0;
    s.IncludeUrlFilter = c.includeUrl ? 1 : 0;
}

bool TooManyConnections(const SearchSettings& s) {
    return s.MaxConnections > kConnectionsWarningAbove;
}

bool ReadControlTexts(const SearchControls& c, SearchSettings& s) {
    s.SearchText = c.search;
    s.TargetText = c.target;
    const std::string_view target = TrimLeft(c.target);
    const std::string_view include = TrimLeft(c.include);
    const std::string_view exclude = TrimLeft(c.exclude);
    const bool targetPresent = !target.empty();
    if (targetPresent) {
        s.TargetValue = Atoi(target);
    }
    // Blanks alone are no words: storing them would make "  " a search word.
    s.IncludeText = include;
    s.ExcludeText = exclude;
    if (TrimLeft(c.search).empty()) {
        return false;
    }
    s.MatchMode =
        ComputeMatchMode(targetPresent, !include.empty(), !exclude.empty(), s.ItemInclude != 0);
    return true;
}

}  // namespace qx
