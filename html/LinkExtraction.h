#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Reads the value of attribute `name` (compared case-insensitively, as a whole
// attribute name) from one tag's text, as a browser reads it: a value in double
// or single quotes is the text between the quotes (an unterminated one runs to
// the end of the tag, not counting its closing '>'); an unquoted value runs to
// white space or '>'. Returns true when the tag has the attribute; its value
// may then be empty. The tag text may start with stray text before its '<'.
bool GetAttributeValue(std::string_view tag, std::string_view name, std::string& value);

// The link of one tag: the value of attribute `name` unless it contains
// "mailto:"; or, in an option tag without that attribute, its value attribute
// when that contains "http". Returns true when the tag gives a link (which may
// be empty).
bool GetLinkValue(std::string_view tag, std::string_view name, std::string& link);

// Appends the link values of the page's tags to `out`, in page order. Returns
// true when `out` holds at least one entry. With `useRobotExclusion` a tag
// carrying NOINDEX stops the collection: `out` is left as it was on entry and
// the result is false.
bool CollectLinks(std::string_view pageText, std::string_view name, std::vector<std::string>& out,
                  bool useRobotExclusion);

// Appends the links in a window of `width` entries around each lower-case
// occurrence of the search words (search text and Include text,
// ';'-separated, lower-cased). Each selected link is appended once, at the
// place of its last selection, which is where the page's de-duplication keeps
// it anyway. A negative width selects nothing. Returns true when the window
// selection put anything into `out` (or `out` was not empty); false, with
// `out` unchanged, on a NOINDEX stop.
bool CollectLinksNearMatches(std::string_view pageText, std::string_view name,
                             std::vector<std::string>& out, std::string_view searchText,
                             std::string_view includeText, int width, bool useRobotExclusion);

// The robot exclusion rule: true when a tag carries NOINDEX or noindex.
bool HasNoIndex(std::string_view tag);

}  // namespace qx
