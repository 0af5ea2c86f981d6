#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qx {

// Writes the crawl's rows as tab-separated lines, JSON Lines or CSV (the
// desktop program's export with a first column "kind": scan or match).
class CliOutput {
public:
    enum class Format { kTabs, kJson, kCsv };
    static constexpr const char* kCsvHeader = "kind,Title,URL,Result,Reason";

    CliOutput(std::FILE* out, Format format) : out_(out), format_(format) {}

    // The CSV header line; nothing for the other formats. False when the
    // write failed.
    bool WriteHeader();
    // A row of the scan list: title, URL, the "Result" column text and, for a
    // failed page, why it failed. False when the write failed.
    bool WriteScan(std::string_view title, std::string_view url, std::string_view result,
                   std::string_view reason = {});
    // A row of the results page: title, URL and the cleaned description.
    bool WriteMatch(std::string_view title, std::string_view url, std::string_view description);

    // A link not followed (--explain): why, the link as resolved and the
    // page it was on. Tabs: "skip", reason, URL, page; JSON: type "skip"
    // with "reason", "url", "page"; CSV: kind "skip", no title, the URL, the
    // page in the Result column and the reason. False when the write failed.
    bool WriteSkip(std::string_view reason, std::string_view url, std::string_view page);
    std::string FormatSkip(std::string_view reason, std::string_view url,
                           std::string_view page) const;

    // One line (with its line end) for a row of the given type ("scan" or
    // "match"). Scan lines carry the reason: a fifth tab-separated field, a
    // "reason" key, the last CSV column (empty for matches).
    std::string FormatRow(std::string_view type, std::string_view title, std::string_view url,
                          std::string_view text, std::string_view reason = {}) const;

private:
    std::FILE* out_;
    Format format_;
};

// A field for a tab-separated line: tabs, CR and LF become blanks.
std::string TabField(std::string_view text);

}  // namespace qx
