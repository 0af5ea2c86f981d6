#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Reads the value of attribute `name` from one tag's text. Returns true when
// the attribute occurs in the tag (the value may then be empty).
bool GetAttributeValue(std::string_view tag, std::string_view name, std::string& value);

// Appends the link values of the page's tags to `out`. Returns true when `out`
// holds at least one entry; false also on a NOINDEX stop.
bool CollectLinks(std::string_view pageText, std::string_view name, std::vector<std::string>& out,
                  bool useRobotExclusion);

// Appends the links in a window of `width` entries around each occurrence of
// the search words (search text and Include text, ';'-separated, lower-cased).
bool CollectLinksNearMatches(std::string_view pageText, std::string_view name,
                             std::vector<std::string>& out, std::string_view searchText,
                             std::string_view includeText, int width, bool useRobotExclusion);

// The robot exclusion rule: true when a tag carries NOINDEX or noindex.
bool HasNoIndex(std::string_view tag);

}  // namespace qx
