#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Appends a chunk of a response body to the page text: each LF becomes one
// space, every other byte is kept.
void AppendPageText(std::string& pageText, std::string_view chunk);

// Title between the first '>' after the title tag and the next '<'; " " when
// the page has no title tag.
std::string ExtractTitle(std::string_view pageText);

// Appends the text between each '>' and the next '<'. Returns true when the
// list is non-empty afterwards.
bool SplitTextFragments(std::string_view pageText, std::vector<std::string>& fragments);

}  // namespace qx
