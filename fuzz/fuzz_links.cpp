// Attribute reading, link collection and near-match selection on any bytes,
// with fuzzed search words, width and robots setting.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "html/LinkExtraction.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const bool robots = provider.ConsumeBool();
    const int width = provider.ConsumeIntegralInRange<int>(-2, 1 << 20);
    const std::string name =
        provider.ConsumeBool() ? "href" : provider.ConsumeRandomLengthString(8);
    const std::string searchText = provider.ConsumeRandomLengthString(64);
    const std::string includeText = provider.ConsumeRandomLengthString(64);
    const std::string page = provider.ConsumeRemainingBytesAsString();

    std::string value;
    qx::GetAttributeValue(page, name, value);
    qx::GetLinkValue(page, name, value);
    qx::HasNoIndex(page);

    std::vector<std::string> links;
    qx::CollectLinks(page, name, links, robots);
    std::vector<std::string> near;
    qx::CollectLinksNearMatches(page, name, near, searchText, includeText, width, robots);
    // Each tag is selected at most once, and every tag ends at a '>'. (The
    // near-match split cuts tags at the occurrences, so its links need not be
    // a subset of CollectLinks' ones.)
    if (near.size() > static_cast<std::size_t>(std::count(page.begin(), page.end(), '>'))) {
        __builtin_trap();
    }
    return 0;
}
