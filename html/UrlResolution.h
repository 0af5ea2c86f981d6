#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

struct SearchItem;

// A URL split into its parts.
struct UrlParts {
    std::string scheme;  // lower case, "http" when none was given
    std::string host;
    std::uint16_t port = 0;  // the URL's port, or the scheme's default
    std::string object;      // path and query, "/" at least
};

// Splits an absolute URL. Returns false when it cannot be split.
bool SplitUrl(std::string_view url, UrlParts& parts);

// Resolves the raw link values of a page against its URL, drops the links
// that are never followed and removes duplicates within the page. Returns the
// number of URLs left in `links`; the page's directory path goes to `dirPath`.
int ResolveLinks(std::string_view baseUrl, std::vector<std::string>& links, std::string& dirPath);

// Normalises the item's URL before the fetch and fills its scheme, service
// type, server, object and port. Returns false when the item cannot be fetched.
bool PrepareFetchUrl(SearchItem& item);

}  // namespace qx
