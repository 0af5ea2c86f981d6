#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Appends a chunk of a response body to the page text: each LF becomes one
// space, every other byte (CR, NUL, invalid UTF-8 included) is kept.
void AppendPageText(std::string& pageText, std::string_view chunk);
// Makes a whole response body the page text, as AppendPageText would onto an
// empty one, in the body's own storage.
void SetPageText(std::string& pageText, std::string body);

// Title between the first '>' after the title tag and the next '<'; " " when
// the page has no title tag, empty when that '>' or '<' is missing. The tag is
// recognised as "<TITLE", "< TITLE", "<title", "< title", "<Title" or
// "< Title", searched in this order over the whole page.
std::string ExtractTitle(std::string_view pageText);

// Appends one fragment for every '>' of the page: at each '>' the text that
// ran from the previous '>' up to the first '<' after it (empty for the first
// '>', since text before it is never collected). Text after the last '>' is
// not added. Returns true when the list is non-empty afterwards.
bool SplitTextFragments(std::string_view pageText, std::vector<std::string>& fragments);

}  // namespace qx
