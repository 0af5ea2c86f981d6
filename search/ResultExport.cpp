#include "search/ResultExport.h"

#include <cstdint>

namespace qx {

namespace {

// A byte that is not part of valid UTF-8, read as Latin-1 and written as UTF-8.
void AppendLatin1(std::string& out, unsigned char c) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

void AppendEscape(std::string& out, unsigned value) {
    static const char* const kHex = "0123456789abcdef";
    out += "\\u00";
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

bool NeedsQuotes(std::string_view text) {
    return text.find_first_of(std::string_view(",\"\r\n", 4)) != std::string_view::npos;
}

}  // namespace

std::size_t ResultExport::Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    std::uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void ResultExport::AppendCsvField(std::string& out, std::string_view text) {
    const bool quoted = NeedsQuotes(text);
    if (quoted) {
        out += '"';
    }
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"') {
                out += "\"\"";
            } else if (c == 0) {
                out += "\xE2\x90\x80";
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            AppendLatin1(out, c);
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    if (quoted) {
        out += '"';
    }
}

void ResultExport::AppendCsvRecord(std::string& out,
                                   std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view field : fields) {
        if (!first) {
            out += ',';
        }
        first = false;
        AppendCsvField(out, field);
    }
    out += "\r\n";
}

std::string ResultExport::JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    AppendJsonString(out, text);
    return out;
}

void ResultExport::AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                AppendEscape(out, c);
            } else {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
}

void ResultExport::AppendJsonLine(
    std::string& out,
    std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
    out += '{';
    bool first = true;
    for (const auto& [key, text] : members) {
        if (!first) {
            out += ',';
        }
        first = false;
        AppendJsonString(out, key);
        out += ':';
        AppendJsonString(out, text);
    }
    out += "}\n";
}

std::string ResultExport::Serialize(Format format, const std::vector<ExportRow>& rows,
                                    bool withReason) {
    std::string out;
    std::size_t bytes = 32;
    for (const ExportRow& row : rows) {
        bytes += row.title.size() + row.url.size() + row.result.size() + row.reason.size() + 50;
    }
    out.reserve(bytes);
    if (format == Format::kCsv) {
        out += withReason ? kCsvHeaderWithReason : kCsvHeader;
        out += "\r\n";
        for (const ExportRow& row : rows) {
            if (withReason) {
                AppendCsvRecord(out, {row.title, row.url, row.result, row.reason});
            } else {
                AppendCsvRecord(out, {row.title, row.url, row.result});
            }
        }
    } else {
        for (const ExportRow& row : rows) {
            if (withReason) {
                AppendJsonLine(out, {{"title", row.title},
                                     {"url", row.url},
                                     {"result", row.result},
                                     {"reason", row.reason}});
            } else {
                AppendJsonLine(out,
                               {{"title", row.title}, {"url", row.url}, {"result", row.result}});
            }
        }
    }
    return out;
}

}  // namespace qx
