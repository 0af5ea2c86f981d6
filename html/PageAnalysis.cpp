#include "html/PageAnalysis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace qx {

namespace {

// Position of the first `c` in text[from, to), or `to` when there is none.
std::size_t FindByte(std::string_view text, char c, std::size_t from, std::size_t to) {
    if (from >= to) {
        return to;
    }
    const void* hit = std::memchr(text.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : to;
}

std::size_t CountByte(std::string_view text, char c) {
    std::size_t count = 0;
    for (std::size_t pos = FindByte(text, c, 0, text.size()); pos < text.size();
         pos = FindByte(text, c, pos + 1, text.size())) {
        ++count;
    }
    return count;
}

// The first spelling of the title tag that occurs anywhere decides, in this
// order of preference; its first occurrence is used.
std::size_t FindTitleTag(std::string_view pageText) {
    static constexpr std::array<std::string_view, 6> kSpellings = {"<TITLE",  "< TITLE", "<title",
                                                                   "< title", "<Title",  "< Title"};
    for (std::string_view spelling : kSpellings) {
        std::size_t pos = pageText.find(spelling);
        if (pos != std::string_view::npos) {
            return pos;
        }
    }
    return std::string_view::npos;
}

void LineFeedsToSpaces(std::string& text, std::size_t from) {
    // A page has few line breaks: find them with find (memchr) rather than
    // testing every byte.
    while ((from = text.find('\n', from)) != std::string::npos) {
        text[from++] = ' ';
    }
}

}  // namespace

void AppendPageText(std::string& pageText, std::string_view chunk) {
    const std::size_t at = pageText.size();
    pageText.append(chunk);
    LineFeedsToSpaces(pageText, at);
}

void SetPageText(std::string& pageText, std::string body) {
    pageText = std::move(body);
    LineFeedsToSpaces(pageText, 0);
}

std::string ExtractTitle(std::string_view pageText) {
    std::size_t tag = FindTitleTag(pageText);
    if (tag == std::string_view::npos) {
        return " ";
    }
    std::size_t open = pageText.find('>', tag);
    if (open == std::string_view::npos) {
        return {};
    }
    std::size_t close = pageText.find('<', open);
    if (close == std::string_view::npos) {
        return {};
    }
    return std::string(pageText.substr(open + 1, close - open - 1));
}

bool SplitTextFragments(std::string_view pageText, std::vector<std::string>& fragments) {
    if (pageText.empty()) {
        return false;
    }
    // Each '>' closes the fragment that began at the previous '>' and ran to
    // the first '<' after it; the first '>' closes an empty one, because text
    // before it is never collected.
    const std::size_t size = pageText.size();
    fragments.reserve(fragments.size() + CountByte(pageText, '>'));
    std::size_t previousClose = std::string_view::npos;
    std::size_t close = FindByte(pageText, '>', 0, size);
    while (close < size) {
        if (previousClose == std::string_view::npos) {
            fragments.emplace_back();
        } else {
            std::size_t start = previousClose + 1;
            std::size_t end = FindByte(pageText, '<', start, close);
            fragments.emplace_back(pageText.substr(start, end - start));
        }
        previousClose = close;
        close = FindByte(pageText, '>', close + 1, size);
    }
    return !fragments.empty();
}

}  // namespace qx
