#include "html/TextFragmentUrl.h"

namespace qx {

namespace {

bool KeptAsIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '~';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string TextFragmentUrl::Encode(std::string_view word) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(word.size() * 3);
    for (char ch : Trimmed(word)) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptAsIs(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    return encoded;
}

std::string TextFragmentUrl::Build(std::string_view url, std::string_view word) {
    std::string result(url.substr(0, url.find('#')));
    const std::string encoded = Encode(word);
    if (!encoded.empty()) {
        result += "#:~:text=";
        result += encoded;
    }
    return result;
}

}  // namespace qx
