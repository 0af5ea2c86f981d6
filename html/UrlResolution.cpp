#include "html/UrlResolution.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <numeric>
#include <optional>

#include "html/AsciiText.h"
#include "search/LinkDrops.h"
#include "search/SearchItem.h"

namespace qx {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != kNone;
}

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

// One part of a parsed URL; false when the URL has no such part.
bool GetUrlPart(CURLU* handle, CURLUPart what, unsigned int flags, std::string& out) {
    char* text = nullptr;
    if (curl_url_get(handle, what, &text, flags) != CURLUE_OK || text == nullptr) {
        return false;
    }
    out.assign(text);
    curl_free(text);
    return true;
}

std::uint16_t DefaultPort(std::string_view scheme) {
    if (scheme == "http") {
        return 80;
    }
    if (scheme == "https") {
        return 443;
    }
    return 0;
}

// A link that names its own web address, such as go.cgi?to=http://x/y,
// is followed to that address.
void CutToEmbeddedAddress(std::string& link) {
    std::size_t colon = link.rfind(':');
    if (colon != kNone && colon > 6 && link.compare(colon - 4, 4, "http") == 0) {
        link.erase(0, colon - 4);
    }
}

// Fragments, escapes, spaces, relative parent forms, style sheets and FTP
// are never followed; nothing when the link may be.
std::optional<DropReason> NeverFollowedReason(std::string_view link) {
    if (link.find_first_of("# %") != kNone) {
        return DropReason::kEscaped;
    }
    if (Contains(link, "ftp:")) {
        return DropReason::kNotHttp;
    }
    if (Contains(link, ".css")) {
        return DropReason::kStyleSheet;
    }
    if (link.front() == '.') {
        return DropReason::kDotPath;
    }
    return std::nullopt;
}

// Keeps each distinct link once, at the place of its last occurrence.
// A page's links are few, so sorting their positions beats a hash map's
// allocation per link.
std::vector<std::string> KeepLastOccurrences(std::vector<std::string> links, LinkDrops* drops) {
    std::vector<std::size_t> order(links.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&links](std::size_t a, std::size_t b) { return links[a] < links[b]; });
    std::vector<bool> keep(links.size(), false);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const bool lastOfItsText = k + 1 == order.size() || links[order[k]] != links[order[k + 1]];
        if (lastOfItsText) {
            keep[order[k]] = true;
        }
    }
    std::vector<std::string> kept;
    kept.reserve(links.size());
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (keep[i]) {
            kept.push_back(std::move(links[i]));
        } else if (drops != nullptr) {
            drops->Drop(DropReason::kRepeat, links[i]);
        }
    }
    return kept;
}

// What relative links of a page resolve against.
struct LinkBase {
    bool valid = false;
    std::string scheme;
    std::string origin;     // scheme://host[:port]
    std::string path;       // the page's path without its query, "/" at least
    std::string directory;  // "/" or "/a/b/"
};

LinkBase AnalyseBase(std::string_view baseUrl) {
    LinkBase base;
    base.directory = "/";
    UrlParts parts;
    if (!SplitUrl(baseUrl, parts)) {
        return base;
    }
    base.valid = true;
    base.scheme = parts.scheme;
    base.origin = parts.scheme + "://" + parts.host;
    if (parts.port != DefaultPort(parts.scheme)) {
        base.origin += ':' + std::to_string(parts.port);
    }
    std::string_view path(parts.object);
    path = path.substr(0, path.find('?'));
    base.path.assign(path);
    std::size_t slash = path.rfind('/');
    if (slash != kNone) {
        base.directory.assign(path.substr(0, slash + 1));
    }
    if (base.directory.empty() || base.directory.front() != '/') {
        base.directory.insert(0, "/");
    }
    return base;
}

// The absolute form of one link; false when it cannot be resolved.
bool ResolveLink(std::string_view link, const LinkBase& base, std::string& url) {
    if (StartsWithNoCase(link, "http:") || StartsWithNoCase(link, "https:")) {
        url.assign(link);
        return true;
    }
    if (!base.valid) {
        return false;
    }
    std::string_view head = base.origin;
    std::string_view tail;
    if (link.substr(0, 2) == "//") {
        // Browsers skip any further slashes: ///x/y names the host x.
        head = base.scheme;
        tail = "://";
        link.remove_prefix(std::min(link.find_first_not_of('/'), link.size()));
    } else if (link.front() == '/') {
    } else if (link.front() == '?') {
        tail = base.path;  // a new query for the page itself
    } else {
        tail = base.directory;
    }
    url.clear();
    url.reserve(head.size() + tail.size() + link.size());
    url.append(head).append(tail).append(link);
    return true;
}

// "&amp;" written in a page's link stands for "&".
void RemoveFirstAmp(std::string& url) {
    std::size_t amp = url.find("amp;");
    if (amp != kNone && amp > 0) {
        url.erase(amp, 4);
    }
}

}  // namespace

bool SplitUrl(std::string_view url, UrlParts& parts) {
    if (url.empty() || Contains(url, std::string_view("\0", 1))) {
        return false;
    }
    UrlHandle handle(curl_url());
    if (!handle) {
        return false;
    }
    // libcurl's own default scheme is https; a bare address here means http.
    const std::string text = Contains(url, "://") ? std::string(url) : "http://" + std::string(url);
    const unsigned int flags = CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS;
    if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), flags) != CURLUE_OK) {
        return false;
    }
    UrlParts split;
    if (!GetUrlPart(handle.get(), CURLUPART_SCHEME, 0, split.scheme) ||
        !GetUrlPart(handle.get(), CURLUPART_HOST, 0, split.host) || split.host.empty()) {
        return false;
    }
    std::transform(split.scheme.begin(), split.scheme.end(), split.scheme.begin(), LowerAscii);
    std::string port;
    if (GetUrlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, port)) {
        unsigned int number = 0;
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number > 65535) {
            return false;
        }
        split.port = static_cast<std::uint16_t>(number);
    } else {
        split.port = DefaultPort(split.scheme);
    }
    if (!GetUrlPart(handle.get(), CURLUPART_PATH, 0, split.object) || split.object.empty()) {
        split.object = "/";
    }
    std::string query;
    if (GetUrlPart(handle.get(), CURLUPART_QUERY, 0, query)) {
        split.object += '?';
        split.object += query;
    }
    parts = std::move(split);
    return true;
}

int ResolveLinks(std::string_view baseUrl, std::vector<std::string>& links, std::string& dirPath,
                 LinkDrops* drops) {
    const auto drop = [drops](DropReason reason, std::string_view link) {
        if (drops != nullptr) {
            drops->Drop(reason, link);
        }
    };
    std::vector<std::string> candidates;
    candidates.reserve(links.size());
    for (std::string& link : links) {
        if (link.size() < 2) {
            drop(DropReason::kShort, link);
            continue;
        }
        CutToEmbeddedAddress(link);
        if (const auto reason = NeverFollowedReason(link)) {
            drop(*reason, link);
        } else {
            candidates.push_back(std::move(link));
        }
    }
    candidates = KeepLastOccurrences(std::move(candidates), drops);

    const LinkBase base = AnalyseBase(baseUrl);
    dirPath = base.directory;
    links.clear();
    std::string url;
    for (const std::string& link : candidates) {
        if (ResolveLink(link, base, url)) {
            RemoveFirstAmp(url);
            links.push_back(std::move(url));
        } else {
            drop(DropReason::kUnresolvable, link);
        }
    }
    return static_cast<int>(links.size());
}

bool PrepareFetchUrl(SearchItem& item) {
    if (item.url.empty()) {
        return false;
    }
    // http://host becomes http://host/; a query right after the host is left
    // alone, since a '/' appended to it would change the query. The item keeps
    // the URL it was started with until the URL proves usable, so that the
    // engine knows it again.
    std::string url = item.url.str();
    if (std::count(url.begin(), url.end(), '/') < 3 && !Contains(url, "?")) {
        url += '/';
    }
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return false;
    }
    // The object is fetched as written: a server that wants a directory's '/'
    // redirects to it. A scheme the fetcher does not speak fails the fetch
    // like an unreachable page.
    int serviceType = kServiceUnknown;
    if (parts.scheme == "http") {
        serviceType = kServiceHttp;
    } else if (parts.scheme == "https") {
        serviceType = kServiceHttps;
    }
    item.url = std::move(url);
    SearchItem::PageWork& work = item.Work();
    work.scheme = std::move(parts.scheme);
    work.serviceType = serviceType;
    work.server = std::move(parts.host);
    work.object = std::move(parts.object);
    work.port = parts.port;
    return true;
}

}  // namespace qx
