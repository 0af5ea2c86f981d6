#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// One row of the links list as a link file stores it: the start URL, its
// maximum depth and its width, as the texts of the list's three columns.
struct LinkLine {
    std::string url;
    std::string depth;
    std::string width;

    bool operator==(const LinkLine&) const = default;
};

// Link files (.qxt) and the engines file share one line form: URL, Depth and
// Width separated by single blanks, lines ended by CR LF.
class LinkFile {
public:
    // White space as the line reader removes it at the ends of a line or field.
    static bool IsSpace(char c);
    static std::string_view Trim(std::string_view text);

    // Splits one line. The caller's text is trimmed in place, as the list's
    // line reader has always done; missing fields come back empty.
    static LinkLine ParseLine(std::string& line);

    // The line Save writes for a row (without line end), with "-1" standing in
    // for an empty Depth or Width. Empty when the row's URL is empty: such a
    // row is not saved.
    static std::string FormatLine(const LinkLine& row);

    // The whole file content for the rows, each line ended by CR LF.
    static std::string Serialize(const std::vector<LinkLine>& rows);

    // Splits file content into lines, accepting LF and CR LF line ends. A last
    // line without a line end still counts; an empty content has no lines.
    static std::vector<std::string> SplitLines(std::string_view content);

    // Reads a file into lines. Empty when the file cannot be opened or read
    // (missing, a directory, no permission).
    static std::optional<std::vector<std::string>> ReadLines(const std::string& path);

    // Reads a whole file as bytes; empty when it cannot be opened or read.
    static std::optional<std::string> ReadContent(const std::string& path);
};

}  // namespace qx
