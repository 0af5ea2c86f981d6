#include "cli/CliOutput.h"

#include <cstdint>

namespace qx {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the byte
// there does not start one (overlong forms, surrogates and values above
// U+10FFFF count as invalid).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
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
        unsigned char next = byte(i + k);
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

void AppendEscape(std::string& out, unsigned value) {
    static const char* const kHex = "0123456789abcdef";
    out += "\\u00";
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

}  // namespace

std::string TabField(std::string_view text) {
    std::string field(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
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
            std::size_t length = Utf8SequenceLength(text, i);
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
    return out;
}

std::string CliOutput::FormatRow(std::string_view type, std::string_view title,
                                 std::string_view url, std::string_view text) const {
    std::string line;
    if (format_ == Format::kJson) {
        const char* textKey = type == "match" ? "description" : "result";
        line = "{\"type\":" + JsonString(type) + ",\"title\":" + JsonString(title) +
               ",\"url\":" + JsonString(url) + ",\"" + textKey + "\":" + JsonString(text) + "}";
    } else {
        line = std::string(type) + '\t' + TabField(title) + '\t' + TabField(url) + '\t' +
               TabField(text);
    }
    line += '\n';
    return line;
}

bool CliOutput::WriteScan(std::string_view title, std::string_view url, std::string_view result) {
    std::string line = FormatRow("scan", title, url, result);
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size();
}

bool CliOutput::WriteMatch(std::string_view title, std::string_view url,
                           std::string_view description) {
    std::string line = FormatRow("match", title, url, description);
    return std::fwrite(line.data(), 1, line.size(), out_) == line.size();
}

}  // namespace qx
