#include "html/UrlResolution.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "search/SearchItem.h"

namespace qx {
namespace {

using Strings = std::vector<std::string>;

struct SplitCase {
    const char* url;
    bool ok;
    const char* scheme;
    const char* host;
    std::uint16_t port;
    const char* object;
};

TEST(SplitUrlTest, Cases) {
    const SplitCase cases[] = {
        {"http://host", true, "http", "host", 80, "/"},
        {"http://host/a/b.html?x=1&y=2", true, "http", "host", 80, "/a/b.html?x=1&y=2"},
        {"HTTPS://Host:8443/p", true, "https", "Host", 8443, "/p"},
        {"host/path", true, "http", "host", 80, "/path"},
        {"http://host/a/../b", true, "http", "host", 80, "/a/../b"},
        {"http://host/page#part", true, "http", "host", 80, "/page"},
        {"http://user:pw@host/x", true, "http", "host", 80, "/x"},
        {"", false, "", "", 0, ""},
        {"http://", false, "", "", 0, ""},
        {"http://host:99999/", false, "", "", 0, ""},
        {"http://ho st/", false, "", "", 0, ""},
        {"http://host/a b", false, "", "", 0, ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.url);
        UrlParts parts;
        ASSERT_EQ(SplitUrl(c.url, parts), c.ok);
        if (c.ok) {
            EXPECT_EQ(parts.scheme, c.scheme);
            EXPECT_EQ(parts.host, c.host);
            EXPECT_EQ(parts.port, c.port);
            EXPECT_EQ(parts.object, c.object);
        }
    }
    UrlParts parts;
    EXPECT_FALSE(SplitUrl(std::string("http://h\0st/", 12), parts));
}

struct ResolveCase {
    const char* base;
    Strings links;
    Strings resolved;
};

TEST(ResolveLinksTest, Cases) {
    const char* page = "http://host/dir/page.html";
    const ResolveCase cases[] = {
        {page, {"other.html"}, {"http://host/dir/other.html"}},
        {page, {"/images/x.html"}, {"http://host/images/x.html"}},
        {page, {"sub/p.html"}, {"http://host/dir/sub/p.html"}},
        {page,
         {"../up.html", "./same.html", "sub/page.html#top", "a%20b.html", "a b.html", "style.css",
          "ftp://host/file", "x", ""},
         {}},
        {page, {"http://other/x"}, {"http://other/x"}},
        {page, {"HTTP://OTHER/"}, {"HTTP://OTHER/"}},
        {page, {"Https://secure/x"}, {"Https://secure/x"}},
        {page, {"//cdn.example/x.js"}, {"http://cdn.example/x.js"}},
        {page, {"go.cgi?to=http://elsewhere/y"}, {"http://elsewhere/y"}},
        {page, {"http://host:8080/x"}, {"http://host:8080/x"}},
        {page, {"page.cgi?a=1&amp;b=2&amp;c=3"}, {"http://host/dir/page.cgi?a=1&b=2&amp;c=3"}},
        {page,
         {"a.html", "b.html", "a.html"},
         {"http://host/dir/b.html", "http://host/dir/a.html"}},
        {page, {"javascript:go()"}, {"http://host/dir/javascript:go()"}},
        {page, {"?page=2"}, {"http://host/dir/page.html?page=2"}},
        {"http://host/list/?page=1", {"?page=2"}, {"http://host/list/?page=2"}},
        {page, {"///x/y"}, {"http://x/y"}},
        {"http://host", {"a.html"}, {"http://host/a.html"}},
        {"http://host/a/p.html", {"x.html"}, {"http://host/a/x.html"}},
        {"http://host/dir", {"x.html"}, {"http://host/x.html"}},
        {"http://host/dir/", {"x.html"}, {"http://host/dir/x.html"}},
        {"http://host/cgi?u=a/b", {"x.html"}, {"http://host/x.html"}},
        {"https://host/p.html",
         {"a.html", "/r.html", "//cdn/x"},
         {"https://host/a.html", "https://host/r.html", "https://cdn/x"}},
        {"http://host:8080/d/p.html",
         {"a.html", "/r.html"},
         {"http://host:8080/d/a.html", "http://host:8080/r.html"}},
        {"http://host:80/d/p.html", {"a.html"}, {"http://host/d/a.html"}},
        {"", {"a.html", "http://abs/"}, {"http://abs/"}},
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + (c.links.empty() ? "" : c.links.front()));
        Strings links = c.links;
        std::string dirPath;
        EXPECT_EQ(ResolveLinks(c.base, links, dirPath), static_cast<int>(c.resolved.size()));
        EXPECT_EQ(links, c.resolved);
    }
}

TEST(ResolveLinksTest, DirectoryPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://host/x/y/z.html", "/x/y/"}, {"http://host/dir/page.html", "/dir/"},
        {"http://host/a/p.html", "/a/"},     {"http://host", "/"},
        {"http://host/p.html", "/"},         {"", "/"},
    };
    for (const auto& [base, directory] : cases) {
        SCOPED_TRACE(base);
        Strings links;
        std::string dirPath = "stale";
        EXPECT_EQ(ResolveLinks(base, links, dirPath), 0);
        EXPECT_EQ(dirPath, directory);
    }
}

// The page's de-duplication written out as first described: each link removes
// every equal one kept so far and is then appended.
Strings QuadraticKeepLast(const Strings& links) {
    Strings kept;
    for (std::string link : links) {
        if (link.size() < 2) {
            continue;
        }
        std::size_t colon = link.rfind(':');
        if (colon != std::string::npos && colon > 6 && link.compare(colon - 4, 4, "http") == 0) {
            link.erase(0, colon - 4);
        }
        if (link.find_first_of("# %") != std::string::npos ||
            link.find("ftp:") != std::string::npos || link.find(".css") != std::string::npos ||
            link[0] == '.') {
            continue;
        }
        for (auto it = kept.begin(); it != kept.end();) {
            it = (*it == link) ? kept.erase(it) : it + 1;
        }
        kept.push_back(link);
    }
    return kept;
}

TEST(ResolveLinksTest, SameResultAsQuadraticDeduplication) {
    const Strings pieces = {"a",    "b",     "/", ".",     "#", "http://", "x.html",
                            "amp;", "c.css", ":", "go?u=", "h", "//",      "%"};
    const std::string base = "https://host:81/d/p.html";
    std::mt19937 random(4242);
    for (int round = 0; round < 500; ++round) {
        Strings links;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            std::string link;
            const int length = static_cast<int>(random() % 4);
            for (int j = 0; j <= length; ++j) {
                link += pieces[random() % pieces.size()];
            }
            links.push_back(link);
        }
        Strings expected;
        for (const std::string& link : QuadraticKeepLast(links)) {
            Strings one = {link};
            std::string dirPath;
            ResolveLinks(base, one, dirPath);
            ASSERT_EQ(one.size(), 1u) << link;
            expected.push_back(one.front());
        }
        std::string dirPath;
        EXPECT_EQ(ResolveLinks(base, links, dirPath), static_cast<int>(expected.size()));
        ASSERT_EQ(links, expected) << "round " << round;
    }
}

struct PrepareCase {
    const char* url;
    bool ok;
    const char* finalUrl;
    const char* scheme;
    int serviceType;
    const char* server;
    std::uint16_t port;
    const char* object;
};

TEST(PrepareFetchUrlTest, Cases) {
    const PrepareCase cases[] = {
        {"http://host", true, "http://host/", "http", kServiceHttp, "host", 80, "/"},
        {"http://host/dir", true, "http://host/dir", "http", kServiceHttp, "host", 80, "/dir"},
        {"http://host/index.html", true, "http://host/index.html", "http", kServiceHttp, "host", 80,
         "/index.html"},
        {"http://host/cgi-bin/find?q=x", true, "http://host/cgi-bin/find?q=x", "http", kServiceHttp,
         "host", 80, "/cgi-bin/find?q=x"},
        {"http://host?q=x", true, "http://host?q=x", "http", kServiceHttp, "host", 80, "/?q=x"},
        {"https://host:8443/a", true, "https://host:8443/a", "https", kServiceHttps, "host", 8443,
         "/a"},
        {"http://host/a/", true, "http://host/a/", "http", kServiceHttp, "host", 80, "/a/"},
        {"", false, "", "", 0, "", 0, ""},
        {"http://", false, "", "", 0, "", 0, ""},
        {"http://host:70000/", false, "", "", 0, "", 0, ""},
        {"ftp://host/file", true, "ftp://host/file", "ftp", kServiceUnknown, "host", 21, "/file"},
        {"http://a b", false, "", "", 0, "", 0, ""},
    };
    for (const PrepareCase& c : cases) {
        SCOPED_TRACE(c.url);
        SearchItem item;
        item.url = c.url;
        ASSERT_EQ(PrepareFetchUrl(item), c.ok);
        if (!c.ok) {
            EXPECT_EQ(item.url, c.url);  // as the engine recorded it
        } else {
            EXPECT_EQ(item.url, c.finalUrl);
            ASSERT_TRUE(item.work);
            EXPECT_EQ(item.work->scheme, c.scheme);
            EXPECT_EQ(item.work->serviceType, c.serviceType);
            EXPECT_EQ(item.work->server, c.server);
            EXPECT_EQ(item.work->port, c.port);
            EXPECT_EQ(item.work->object, c.object);
        }
    }
}

TEST(UrlResolutionBadInputTest, LargeAndBinaryInputFinish) {
    std::string binary;
    for (int i = 0; i < 1 << 16; ++i) {
        binary += static_cast<char>(i * 97);
    }
    UrlParts parts;
    SplitUrl(binary, parts);
    SplitUrl("http://host/" + std::string(1 << 20, 'p'), parts);
    Strings links(20000, binary.substr(0, 300));
    links.push_back(std::string(1 << 20, 'l'));
    std::string dirPath;
    ResolveLinks(binary, links, dirPath);
    SearchItem item;
    item.url = binary;
    PrepareFetchUrl(item);
}

}  // namespace
}  // namespace qx
