#pragma once

// Byte-wise ASCII text helpers that never consult the C locale. Page text,
// header values, host names and the search page's edits are bytes: only
// 'A'-'Z' fold to lower case, only the C locale's white space counts as
// space, and every byte from 0x80 up is left as it is. <cctype> would follow
// the process locale instead (in a Turkish locale 'I' does not lower to 'i').
//
// Header-only and in html/, the lowest layer of the crawl core, so that
// every folder above it (search, links, the programs) can use it.

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

namespace qx {

// The bytes isspace() accepts in the C locale.
inline constexpr std::string_view kAsciiSpaces = " \t\n\v\f\r";

constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsAsciiUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr char LowerAscii(char c) {
    return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAsciiCopy(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = LowerAscii(c);
    }
    return lowered;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Position of the first `needle` in `text` at or after `from`, case folded;
// npos when there is none. An empty needle is found at `from`.
constexpr std::size_t FindNoCase(std::string_view text, std::string_view needle,
                                 std::size_t from = 0) {
    if (from > text.size() || needle.size() > text.size() - from) {
        return std::string_view::npos;
    }
    for (std::size_t at = from; at + needle.size() <= text.size(); ++at) {
        if (EqualsNoCase(text.substr(at, needle.size()), needle)) {
            return at;
        }
    }
    return std::string_view::npos;
}

constexpr std::string_view TrimLeft(std::string_view text, std::string_view spaces = kAsciiSpaces) {
    const std::size_t first = text.find_first_not_of(spaces);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

constexpr std::string_view TrimRight(std::string_view text,
                                     std::string_view spaces = kAsciiSpaces) {
    const std::size_t last = text.find_last_not_of(spaces);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

constexpr std::string_view Trim(std::string_view text, std::string_view spaces = kAsciiSpaces) {
    return TrimRight(TrimLeft(text, spaces), spaces);
}

// The number at the start of `text`, as atoi reads it in the C locale
// (leading blanks, one sign, then digits; no digits give 0), but saturating
// at kLeadingNumberCap in either direction instead of overflowing.
inline constexpr long long kLeadingNumberCap = LLONG_MAX / 20;  // room for one more digit
constexpr long long ReadLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLeadingNumberCap) {
            value = kLeadingNumberCap;
        }
    }
    return negative ? -value : value;
}

}  // namespace qx
