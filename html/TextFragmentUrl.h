#pragma once

#include <string>
#include <string_view>

namespace qx {

// The address that opens a page at a word: the page's URL without its own
// fragment, followed by a text fragment ("#:~:text=") for the word, so that a
// browser that knows text fragments scrolls to the first occurrence and marks
// it.
class TextFragmentUrl {
public:
    // The word is trimmed and percent-encoded byte by byte (UTF-8), every
    // character but letters, digits, '.', '_' and '~' ('-', '&' and ',' have
    // a meaning in a text fragment). A word that is empty once trimmed adds
    // no fragment.
    static std::string Build(std::string_view url, std::string_view word);

    // The word as a text fragment value.
    static std::string Encode(std::string_view word);
};

}  // namespace qx
