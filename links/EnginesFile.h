#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The engines file: one search engine per line, in the link line form, the
// engine's result-page address holding the marker where the search words go.
// The desktop program reads it; the browser search bar appends to it.
class EnginesFile {
public:
    static constexpr std::string_view kFileName = "engines.qeg";
    static constexpr std::string_view kSearchMarker = "|search";
    // A user teaches the bar an engine by searching that engine for this word.
    static constexpr std::string_view kProductWord = "quillex";
    // The product's own web site: its pages mention the product word all over,
    // so visiting them must never be mistaken for an engine's result page.
    // Covers www.quillex.com and every other host under quillex.com.
    static constexpr std::string_view kProductDomain = "quillex.com";

    static constexpr std::string_view kMsgFileNotFound = "Engine File not Found";
    static constexpr std::string_view kMsgEngineAdded = "Search engine added to QuillEx";
    static constexpr std::string_view kMsgWriteFailed = "Failed to add the search engine!";

    // The file's location: in the program folder, or in the current directory
    // when no program folder is configured.
    static std::string Location(std::string_view programFolder);

    // The engines' lines; empty when the file cannot be opened.
    static std::optional<std::vector<std::string>> Read(const std::string& path);

    // The search item as query words: every blank becomes '+', nothing else
    // is encoded (the engines get exactly what the user typed).
    static std::string QueryWords(std::string_view searchItem);

    // An engine's start URL: the first marker replaced by the query words;
    // a URL without the marker is a plain start URL and is kept as it is.
    static std::string QueryUrl(std::string_view engineUrl, std::string_view queryWords);

    // The template learned from a browser location: the product word replaced
    // by the marker. Empty when the location teaches nothing.
    static std::optional<std::string> TemplateFromLocation(std::string_view location);

    // The line appended for a learned template (without line end).
    static std::string LearnedLine(std::string_view engineTemplate);

    enum class LearnResult { NothingToLearn, FileNotFound, WriteFailed, Added };

    // Appends the engine learned from the location to the existing engines
    // file at `path`; the file is never created. The line goes in one write
    // under an exclusive lock, after a line end of its own when the file's
    // last line has none, so concurrent learners never tear or join lines.
    static LearnResult Learn(std::string_view location, const std::string& path);

    // The message the user sees for a result; empty when nothing is shown.
    static std::string_view MessageFor(LearnResult result);
};

}  // namespace qx
