#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/ResultRecord.h"

namespace qx {

struct SearchItem;
struct SearchSettings;
class MatchedRoots;

// Word-list tests. A list text holds words separated by ',' or ';'; every
// character between two separators belongs to the word, spaces included, and
// an empty word (two separators in a row, or an empty list) occurs in any
// text. The words are lower-cased (ASCII only); `text` is searched as it is,
// case-sensitively, so a URL keeps its case.
bool HasIncludeWord(std::string_view text, std::string_view includeText);
bool HasExcludeWord(std::string_view text, std::string_view excludeText);

// True when a space-separated token of `text` is a price above 0 and below
// `target`. '$' signs are ignored, thousands separators ("1,299") join the
// digits, and the number is read like atoi, so cents are dropped.
bool HasPriceBelowTarget(std::string_view text, int target);

// The test of match mode 0..7 on a description; an unknown mode fails.
bool PassesModeTest(int mode, std::string_view description, const SearchSettings& settings);

// Evaluates the fragments of one page and reports kind 1/3/0 rows to `sink`.
// `record` carries the page's title and URL. The fragments belong to the
// evaluation: they are lower-cased in place. Sets the item's matched flag and,
// with StopOnMatch, marks its root id in `matchedRoots`. Returns 1 when at
// least one fragment held an occurrence, else 0 (an empty list sends nothing).
int EvaluatePage(SearchItem& item, ResultRecord& record, std::vector<std::string>& fragments,
                 const SearchSettings& settings, MatchedRoots& matchedRoots, ResultSink& sink);

}  // namespace qx
