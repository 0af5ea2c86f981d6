#include "cli/CliOutput.h"

#include "search/ResultExport.h"

namespace qx {

std::string TabField(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

std::string CliOutput::FormatRow(std::string_view type, std::string_view title,
                                 std::string_view url, std::string_view text,
                                 std::string_view reason) const {
    const bool scan = type != "match";
    std::string line;
    switch (format_) {
        case Format::kJson:
            if (scan) {
                ResultExport::AppendJsonLine(line, {{"type", type},
                                                    {"title", title},
                                                    {"url", url},
                                                    {"result", text},
                                                    {"reason", reason}});
            } else {
                ResultExport::AppendJsonLine(
                    line, {{"type", type}, {"title", title}, {"url", url}, {"description", text}});
            }
            break;
        case Format::kCsv:
            ResultExport::AppendCsvRecord(line, {type, title, url, text, reason});
            break;
        case Format::kTabs:
            line = std::string(type) + '\t' + TabField(title) + '\t' + TabField(url) + '\t' +
                   TabField(text);
            if (scan) {
                line += '\t' + TabField(reason);
            }
            line += '\n';
            break;
    }
    return line;
}

std::string CliOutput::FormatSkip(std::string_view reason, std::string_view url,
                                  std::string_view page) const {
    std::string line;
    switch (format_) {
        case Format::kJson:
            ResultExport::AppendJsonLine(
                line, {{"type", "skip"}, {"reason", reason}, {"url", url}, {"page", page}});
            break;
        case Format::kCsv:
            ResultExport::AppendCsvRecord(line, {"skip", "", url, page, reason});
            break;
        case Format::kTabs:
            line =
                "skip\t" + TabField(reason) + '\t' + TabField(url) + '\t' + TabField(page) + '\n';
            break;
    }
    return line;
}

bool CliOutput::WriteSkip(std::string_view reason, std::string_view url, std::string_view page) {
    // One write per line: the C library's stream lock keeps lines from
    // several threads whole.
    std::string line = FormatSkip(reason, url, page);
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size();
}

bool CliOutput::WriteHeader() {
    if (format_ != Format::kCsv) {
        return true;
    }
    const std::string header = std::string(kCsvHeader) + "\r\n";
    return std::fwrite(header.data(), 1, header.size(), out_) == header.size();
}

bool CliOutput::WriteScan(std::string_view title, std::string_view url, std::string_view result,
                          std::string_view reason) {
    std::string line = FormatRow("scan", title, url, result, reason);
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size();
}

bool CliOutput::WriteMatch(std::string_view title, std::string_view url,
                           std::string_view description) {
    std::string line = FormatRow("match", title, url, description);
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size();
}

}  // namespace qx
