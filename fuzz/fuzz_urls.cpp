// URL splitting, link resolution and fetch preparation on any bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "html/UrlResolution.h"
#include "search/SearchItem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::string base = provider.ConsumeRandomLengthString(256);
    std::vector<std::string> links;
    while (provider.remaining_bytes() > 0 && links.size() < 4096) {
        links.push_back(provider.ConsumeRandomLengthString(512));
    }

    qx::UrlParts parts;
    if (qx::SplitUrl(base, parts) && (parts.object.empty() || parts.object[0] != '/')) {
        __builtin_trap();
    }
    const std::size_t before = links.size();
    std::string dirPath;
    const int count = qx::ResolveLinks(base, links, dirPath);
    if (count < 0 || static_cast<std::size_t>(count) != links.size() || links.size() > before ||
        dirPath.empty() || dirPath.front() != '/' || dirPath.back() != '/') {
        __builtin_trap();
    }
    qx::SearchItem item;
    item.url = base;
    qx::PrepareFetchUrl(item);
    return 0;
}
