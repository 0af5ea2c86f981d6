#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

// One row of an exported list: the three columns of the scan list or of the
// results page, as the session keeps them (8-bit text, usually UTF-8), and for
// the scan list why a failed page failed.
struct ExportRow {
    std::string_view title;
    std::string_view url;
    std::string_view result;
    std::string_view reason = {};
};

// The result files: CSV (RFC 4180, UTF-8, CR LF line ends) and JSON Lines.
// Page text is 8-bit and not always valid UTF-8; every byte that is not part
// of a valid UTF-8 sequence is read as Latin-1, so the files are always valid
// UTF-8 and no byte is lost. The desktop program's export and the headless
// crawler's --csv and --json output share these writers.
class ResultExport {
public:
    enum class Format { kCsv, kJsonLines };

    static constexpr const char* kCsvHeader = "Title,URL,Result";
    static constexpr const char* kCsvHeaderWithReason = "Title,URL,Result,Reason";

    // Length of the valid UTF-8 sequence starting at text[i], or 0 when the
    // byte there does not start one (overlong forms, surrogates and values
    // above U+10FFFF count as invalid).
    static std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

    // A CSV field: quoted (with its quotes doubled) when it holds a comma, a
    // quote, CR or LF. A NUL byte, which spreadsheet readers take for the end
    // of the text, is written as U+2400 SYMBOL FOR NULL.
    static void AppendCsvField(std::string& out, std::string_view text);
    // One CSV record, fields separated by commas, ended by CR LF.
    static void AppendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields);

    // A JSON string literal (with quotes); control characters escaped,
    // invalid UTF-8 bytes as \u00XX.
    static std::string JsonString(std::string_view text);
    static void AppendJsonString(std::string& out, std::string_view text);
    // One JSON Lines object of (key, text) members, ended by LF.
    static void AppendJsonLine(
        std::string& out,
        std::initializer_list<std::pair<std::string_view, std::string_view>> members);

    // A whole file: the CSV header and a record per row, or a JSON object per
    // row with "title", "url" and "result"; `withReason` adds the last column
    // "Reason" (key "reason"), as the scan list has it.
    static std::string Serialize(Format format, const std::vector<ExportRow>& rows,
                                 bool withReason = false);
};

}  // namespace qx
