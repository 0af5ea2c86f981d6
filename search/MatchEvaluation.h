#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/ResultRecord.h"

namespace qx {

struct SearchItem;
struct SearchSettings;
class MatchedRoots;

// Word-list tests: `words` is an Include or Exclude text (',' or ';'
// separated); `text` is searched for each lower-cased word.
bool HasIncludeWord(std::string_view text, std::string_view includeText);
bool HasExcludeWord(std::string_view text, std::string_view excludeText);
// True when a token of `text` is a number above 0 and below `target`.
bool HasPriceBelowTarget(std::string_view text, int target);
// The test of match mode 0..7 on a description.
bool PassesModeTest(int mode, std::string_view description, const SearchSettings& settings);

// Evaluates the fragments of one page and reports kind 1/3/0 rows to `sink`.
// `record` carries the page's title and URL. Returns 1 when at least one
// fragment held an occurrence, else 0.
int EvaluatePage(SearchItem& item, ResultRecord& record, std::vector<std::string>& fragments,
                 const SearchSettings& settings, MatchedRoots& matchedRoots, ResultSink& sink);

}  // namespace qx
