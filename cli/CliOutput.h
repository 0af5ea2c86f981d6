#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qx {

// Writes the crawl's rows as tab-separated lines or as JSON Lines.
class CliOutput {
public:
    enum class Format { kTabs, kJson };

    CliOutput(std::FILE* out, Format format) : out_(out), format_(format) {}

    // A row of the scan list: title, URL and the "Result" column text. False
    // when the write failed.
    bool WriteScan(std::string_view title, std::string_view url, std::string_view result);
    // A row of the results page: title, URL and the cleaned description.
    bool WriteMatch(std::string_view title, std::string_view url, std::string_view description);

    // One line (with its '\n') for a row of the given type ("scan" or "match").
    std::string FormatRow(std::string_view type, std::string_view title, std::string_view url,
                          std::string_view text) const;

private:
    std::FILE* out_;
    Format format_;
};

// A field for a tab-separated line: tabs, CR and LF become blanks.
std::string TabField(std::string_view text);

// A JSON string literal (with quotes) for 8-bit text. Valid UTF-8 is kept;
// every byte that is not part of valid UTF-8 is taken as Latin-1 and escaped
// as \u00XX, so the line is always valid JSON and no byte is lost.
std::string JsonString(std::string_view text);

}  // namespace qx
