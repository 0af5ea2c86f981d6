// Page text, title and fragments on any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "html/PageAnalysis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string pageText;
    // Two chunks, so that appending to earlier text is exercised too.
    qx::AppendPageText(pageText, input.substr(0, size / 2));
    qx::AppendPageText(pageText, input.substr(size / 2));
    if (pageText.size() != size || pageText.find('\n') != std::string::npos) {
        __builtin_trap();
    }
    // A whole body taken at once gives the same text.
    std::string whole;
    qx::SetPageText(whole, std::string(input));
    if (whole != pageText) {
        __builtin_trap();
    }
    std::string title = qx::ExtractTitle(pageText);
    if (title.size() > pageText.size() && title != " ") {
        __builtin_trap();
    }
    std::vector<std::string> fragments;
    qx::SplitTextFragments(pageText, fragments);
    return 0;
}
