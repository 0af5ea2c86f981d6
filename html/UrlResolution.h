#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

struct LinkDrops;
struct SearchItem;

// A URL split into its parts.
struct UrlParts {
    std::string scheme;  // lower case, "http" when none was given
    std::string host;
    std::uint16_t port = 0;  // the URL's port, or the scheme's default (0 when unknown)
    std::string object;      // path and query as written, "/" at least; no fragment
};

// Splits an absolute URL (a missing scheme counts as http). Returns false,
// leaving `parts` as it was, when it cannot be split: no host, a bad port,
// spaces or control characters.
bool SplitUrl(std::string_view url, UrlParts& parts);

// Resolves the raw link values of a page against its URL, drops the links
// that are never followed (fragments, escapes, spaces, names starting with
// '.', style sheets, FTP, links under two characters) and keeps each distinct
// link once, at its last occurrence in the page. Links starting with http: or
// https: (any case) stay as they are; "//" links take the page's scheme, "/"
// links the page's server root, "?" links the page's own path, others the
// page's directory, keeping its scheme, host and port. Returns the number of URLs left in `links`;
// the page's directory path ("/" or "/a/b/") goes to `dirPath`. Each link
// left out is counted in `drops`, when given, under its reason.
int ResolveLinks(std::string_view baseUrl, std::vector<std::string>& links, std::string& dirPath,
                 LinkDrops* drops = nullptr);

// Normalises the item's URL before the fetch (http://host gets its '/') and
// fills its scheme, service type, server, object and port; the object is
// taken as written. Returns false, leaving the URL as it was, when the item
// cannot be fetched: empty URL, a URL that cannot be split. A scheme other
// than http or https is passed on (service type unknown) and fails the fetch.
bool PrepareFetchUrl(SearchItem& item);

}  // namespace qx
