#include "search/HttpFetcher.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/SearchSettings.h"
#include "support/LoopbackSite.h"
#include "support/QuickLimits.h"
#include "support/RawServer.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::LoopbackPage;
using test::LoopbackSite;
using test::QuickLimits;
using test::RawServer;

const std::string kCertFile = std::string(QX_TEST_DATA_DIR) + "/loopback-cert.pem";
const std::string kKeyFile = std::string(QX_TEST_DATA_DIR) + "/loopback-key.pem";

class HttpFetcherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpFetcher::GlobalInit(); }

    int Get(HttpFetcher& fetcher, std::uint16_t port, const std::string& object,
            const std::string& scheme = "http") {
        return fetcher.FetchPage(scheme, "127.0.0.1", port, object);
    }

    // A fetcher with an open session.
    std::unique_ptr<HttpFetcher> Open(FetcherLimits limits = QuickLimits()) {
        auto fetcher = std::make_unique<HttpFetcher>(std::move(limits));
        EXPECT_EQ(fetcher->OpenSession(), 1);
        return fetcher;
    }
};

TEST_F(HttpFetcherTest, AnswersOfAWellBehavedSite) {
    const std::string withNul("a\0b\r\nc", 6);
    LoopbackSite site({
        {"/page", {"<html><title>T</title>hi</html>"}},
        {"/nul", {withNul, "text/plain"}},
        {"/broken", {"oops", "text/html", 500}},
        {"/old", LoopbackPage::Redirect("/new", 301)},
        {"/new", {"moved here"}},
        {"/gone", LoopbackPage::Redirect("/missing")},
        {"/image", {std::string(100000, 'x'), "image/png"}},
        {"/notype", {"untyped", ""}},
    });
    struct Case {
        const char* name;
        std::string object;
        int status;
        std::string body;
        std::string contentType;
        int requests;  // server-side count for `object`: no retries
    };
    const Case cases[] = {
        {"text page", "/page", 200, "<html><title>T</title>hi</html>", "text/html", 1},
        {"NUL, CR and LF bytes kept", "/nul", 200, withNul, "text/plain", 1},
        {"404 is not retried", "/nothing", 404, "<html><body>Not Found</body></html>", "text/html",
         1},
        {"500 is not retried", "/broken", 500, "oops", "text/html", 1},
        {"redirect followed, final status counts", "/old", 200, "moved here", "text/html", 1},
        {"redirect to a missing page", "/gone", 404, "<html><body>Not Found</body></html>",
         "text/html", 1},
        {"image refused from its headers", "/image", 200, "", "image/png", 1},
        {"missing content type refused", "/notype", 200, "", "", 1},
    };
    // The site answers every request, but under a sanitizer on a busy machine
    // its first answer can take longer than the quick stall limit, and the
    // retry would then count as a second request.
    FetcherLimits patient = QuickLimits();
    patient.stallTimeoutMs = 15000;
    patient.totalTimeoutMs = 30000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fetcher = Open(patient);
        EXPECT_EQ(Get(*fetcher, site.Port(), c.object), c.status);
        EXPECT_EQ(fetcher->Body(), c.body);
        EXPECT_EQ(fetcher->ContentType().substr(0, c.contentType.size()), c.contentType);
        EXPECT_FALSE(fetcher->ReadFailed());
        EXPECT_FALSE(fetcher->BodyTruncated());
        EXPECT_EQ(site.Requests(c.object), c.requests);
    }
}

TEST_F(HttpFetcherTest, RefusesCallsThatCannotBeFetched) {
    struct Case {
        const char* name;
        bool openSession;
        std::string scheme;
        std::string host;
        std::string object;
        int result;
    };
    const Case cases[] = {
        {"missing host", true, "http", "", "/", 0},
        {"missing object", true, "http", "127.0.0.1", "", 0},
        {"no session", false, "http", "127.0.0.1", "/", 1},
        {"missing host wins over no session", false, "http", "", "/", 0},
        {"unknown scheme", true, "ftp", "127.0.0.1", "/", FetchError::kUnrecognizedScheme},
        {"user info in host", true, "http", "user@127.0.0.1", "/", FetchError::kInvalidUrl},
        {"blank in host", true, "http", "a b", "/", FetchError::kInvalidUrl},
        {"path in host", true, "http", "a/b", "/", FetchError::kInvalidUrl},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpFetcher fetcher(QuickLimits());
        if (c.openSession) {
            ASSERT_EQ(fetcher.OpenSession(), 1);
        }
        EXPECT_EQ(fetcher.FetchPage(c.scheme, c.host, 80, c.object), c.result);
    }
}

TEST_F(HttpFetcherTest, CloseAllEndsTheSessionAndMayBeRepeated) {
    LoopbackSite site({{"/", {"x"}}});
    auto fetcher = Open();
    ASSERT_EQ(Get(*fetcher, site.Port(), "/"), 200);
    fetcher->CloseAll();
    fetcher->CloseAll();
    EXPECT_EQ(Get(*fetcher, site.Port(), "/"), 1);
    ASSERT_EQ(fetcher->OpenSession(), 1);
    EXPECT_EQ(Get(*fetcher, site.Port(), "/"), 200);
}

TEST_F(HttpFetcherTest, UsesThePortOfTheUrl) {
    LoopbackSite first({{"/", {"first"}}});
    LoopbackSite second({{"/", {"second"}}});
    auto fetcher = Open();
    ASSERT_EQ(Get(*fetcher, second.Port(), "/"), 200);
    EXPECT_EQ(fetcher->Body(), "second");
    ASSERT_EQ(Get(*fetcher, first.Port(), "/"), 200);
    EXPECT_EQ(fetcher->TakeBody(), "first");
    EXPECT_TRUE(fetcher->Body().empty());
    ASSERT_EQ(Get(*fetcher, second.Port(), "/"), 200);
    EXPECT_EQ(fetcher->Body(), "second");
}

// An IPv6 address goes into the URL in brackets, before the port.
TEST_F(HttpFetcherTest, FetchesFromAnIpv6Address) {
    httplib::Server server;
    server.set_keep_alive_max_count(1);  // so that stop() need not wait for our connection
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("six", "text/html");
    });
    const int port = server.bind_to_any_port("::1");
    if (port <= 0) {
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    }
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    auto fetcher = Open();
    EXPECT_EQ(fetcher->FetchPage("http", "::1", static_cast<std::uint16_t>(port), "/"), 200);
    EXPECT_EQ(fetcher->Body(), "six");
    server.stop();
    thread.join();
}

TEST_F(HttpFetcherTest, SendsTheIdentityAndAsksForAFreshCopy) {
    LoopbackSite site({{"/", {"x"}}});
    Prefs().SetIdentity("Quillex Test Agent/2");
    auto fetcher = Open();
    ASSERT_EQ(Get(*fetcher, site.Port(), "/"), 200);
    // A later change of the preference applies to the next request.
    Prefs().SetIdentity("Changed Agent");
    ASSERT_EQ(Get(*fetcher, site.Port(), "/"), 200);
    Prefs().SetIdentity(Preferences::kDefaultIdentity);

    struct Case {
        const char* header;
        std::string value;
    };
    const Case cases[] = {
        {"User-Agent", "Changed Agent"},
        {"Cache-Control", "no-cache"},
        {"Pragma", "no-cache"},
        {"Referer", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(site.LastHeader("/", c.header), c.value);
    }
    EXPECT_NE(site.LastHeader("/", "Accept-Encoding").find("gzip"), std::string::npos);
}

TEST_F(HttpFetcherTest, StopsARedirectLoopAfterTwentyRedirects) {
    LoopbackSite site({{"/loop", LoopbackPage::Redirect("/loop")}});
    auto fetcher = Open();
    EXPECT_EQ(Get(*fetcher, site.Port(), "/loop"), FetchError::kRedirectFailed);
    EXPECT_EQ(site.Requests("/loop"), 21);  // the request and 20 redirects, no retry
}

TEST_F(HttpFetcherTest, RefusesARedirectToAnotherScheme) {
    LoopbackSite site({{"/away", LoopbackPage::Redirect("ftp://127.0.0.1/file", 301)}});
    auto fetcher = Open();
    EXPECT_EQ(Get(*fetcher, site.Port(), "/away"), FetchError::kRedirectFailed);
}

TEST_F(HttpFetcherTest, FetchesOverTlsAndChecksTheCertificate) {
    LoopbackSite site({{"/", {"secret page"}}}, kCertFile, kKeyFile);
    struct Case {
        const char* name;
        std::string caFile;
        int result;
    };
    const Case cases[] = {
        {"trusted test certificate", kCertFile, 200},
        {"not trusted by the system's CAs", "", FetchError::kInvalidCa},
        {"unreadable CA file", std::string(QX_TEST_DATA_DIR) + "/no-such-ca.pem",
         FetchError::kSecureFailure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FetcherLimits limits = QuickLimits();
        limits.caFile = c.caFile;
        auto fetcher = Open(limits);
        EXPECT_EQ(Get(*fetcher, site.Port(), "/", "https"), c.result);
        EXPECT_EQ(fetcher->Body(), c.result == 200 ? "secret page" : "");
    }
}

// A port that nobody listens on.
std::uint16_t ClosedPort() {
    RawServer reserved([](RawServer::Connection&) {}, false);
    return reserved.Port();
}

TEST_F(HttpFetcherTest, ReportsARefusedConnectionAfterTheRetries) {
    auto fetcher = Open();
    EXPECT_EQ(Get(*fetcher, ClosedPort(), "/"), FetchError::kCannotConnect);
    // The failed retry closed the session.
    EXPECT_EQ(Get(*fetcher, ClosedPort(), "/"), 1);
}

TEST_F(HttpFetcherTest, RetriesTheConnectThreeTimesThenTwiceOnTheRetrySession) {
    // A server that takes the connection but never answers the TLS greeting:
    // every attempt times out while connecting.
    std::mutex lock;
    std::vector<std::chrono::steady_clock::time_point> attempts;
    RawServer server([&](RawServer::Connection& c) {
        {
            std::lock_guard<std::mutex> guard(lock);
            attempts.push_back(std::chrono::steady_clock::now());
        }
        c.Wait(10s);
    });
    FetcherLimits limits = QuickLimits();
    limits.connectTimeoutMs = 100;
    limits.retryConnectTimeoutMs = 100;
    limits.retryPauseMs = 1500;  // tells the two sessions apart
    limits.totalTimeoutMs = 20000;
    auto fetcher = Open(limits);
    EXPECT_EQ(Get(*fetcher, server.Port(), "/", "https"), FetchError::kTimeout);
    server.Stop();
    ASSERT_EQ(attempts.size(), 7u);
    // The retry session starts after the long pause: the widest gap.
    std::size_t retryStart = 1;
    for (std::size_t i = 2; i < attempts.size(); ++i) {
        if (attempts[i] - attempts[i - 1] > attempts[retryStart] - attempts[retryStart - 1]) {
            retryStart = i;
        }
    }
    EXPECT_EQ(retryStart, 4u);  // the first try and its 3 retries, then 1 + 2
}

TEST_F(HttpFetcherTest, RetriesTheConnectUntilTheServerListens) {
    RawServer server(
        [](RawServer::Connection& c) {
            c.ReadRequest();
            c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nup");
        },
        false);
    FetcherLimits limits = QuickLimits();
    limits.backoffMs = 200;
    limits.retryPauseMs = 5000;  // the retry session must not be needed
    std::thread opener([&] {
        std::this_thread::sleep_for(300ms);
        server.Listen();
    });
    auto fetcher = Open(limits);
    const int result = Get(*fetcher, server.Port(), "/");
    opener.join();
    EXPECT_EQ(result, 200);
    EXPECT_EQ(fetcher->Body(), "up");
}

TEST_F(HttpFetcherTest, ReportsAnUnresolvableHost) {
    auto fetcher = Open();
    EXPECT_EQ(fetcher->FetchPage("http", "nowhere.invalid", 80, "/"), FetchError::kNameNotResolved);
}

// Hostile and broken servers: the first connection is answered by `first`,
// every later one (the retry) by `later`.
struct HostileCase {
    const char* name;
    RawServer::Handler first;
    RawServer::Handler later;
    int result;
    int connections;
    std::string body;
};

void SendStatusThen404(RawServer::Connection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\ngone");
}

TEST_F(HttpFetcherTest, RetriesOnceWhenNoResponseArrived) {
    const auto silent = [](RawServer::Connection& c) {
        c.ReadRequest();
        c.Wait(60s);
    };
    const auto garbage = [](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send("GARBAGE\r\n\r\n");
    };
    const auto hangUp = [](RawServer::Connection& c) { c.ReadRequest(); };
    const auto dripStatusLine = [](RawServer::Connection& c) {
        c.ReadRequest();
        for (char ch : std::string("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n")) {
            if (!c.Send(std::string(1, ch)) || !c.Wait(200ms)) {
                return;
            }
        }
    };
    const HostileCase cases[] = {
        {"never answers: time-out", silent, silent, FetchError::kTimeout, 2, ""},
        {"garbage status line", garbage, garbage, FetchError::kInvalidServerResponse, 2, ""},
        {"hangs up, then 404 on the retry", hangUp, SendStatusThen404, 404, 2, "gone"},
        {"status line dripped slower than the stall time-out", dripStatusLine, dripStatusLine,
         FetchError::kTimeout, 2, ""},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> seen{0};
        RawServer server(
            [&](RawServer::Connection& conn) { (seen++ == 0 ? c.first : c.later)(conn); });
        FetcherLimits limits = QuickLimits();
        limits.stallTimeoutMs = 300;
        limits.totalTimeoutMs = 20000;
        auto fetcher = Open(limits);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Get(*fetcher, server.Port(), "/"), c.result);
        // The stall guard, not the far later total time-out, ended the tries.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_EQ(fetcher->Body(), c.body);
        server.Stop();
        EXPECT_EQ(server.Connections(), c.connections);
    }
}

std::string Headers(const std::string& contentType, const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\n" + extra + "\r\n";
}

std::string Chunk(const std::string& data) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

// Deflates `copies` times `block` into a gzip stream: a small body that grows
// huge when decoded.
std::string GzipRepeated(const std::string& block, int copies) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out;
    char buf[65536];
    for (int i = 0; i < copies; ++i) {
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        zs.avail_in = static_cast<uInt>(block.size());
        const int flush = i + 1 == copies ? Z_FINISH : Z_NO_FLUSH;
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buf);
            zs.avail_out = sizeof buf;
            deflate(&zs, flush);
            out.append(buf, sizeof buf - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    return out;
}

TEST_F(HttpFetcherTest, KeepsWhatArrivedWhenTheBodyFails) {
    const std::string part(1000, 'p');
    const auto resetMidBody = [&](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("text/html", "Content-Length: 100000\r\n") + part);
        c.Wait(300ms);
        c.Reset();
    };
    const auto stallMidBody = [](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("text/html", "Content-Length: 100\r\n") + "<html>");
        c.Wait(60s);
    };
    const auto dripBody = [](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("text/html", "Content-Length: 1000\r\n"));
        while (c.Send("x") && c.Wait(200ms)) {
        }
    };
    struct Case {
        const char* name;
        RawServer::Handler handler;
        std::string bodyStart;
        long totalTimeoutMs;
        bool endsByTotalTimeout;  // else well before it
    };
    const Case cases[] = {
        {"reset in mid-body", resetMidBody, "ppp", 20000, false},
        {"stall in mid-body", stallMidBody, "<html>", 20000, false},
        {"drips the body: only the total time-out ends it", dripBody, "xxx", 1500, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.handler);
        FetcherLimits limits = QuickLimits();
        limits.stallTimeoutMs = 500;
        limits.totalTimeoutMs = c.totalTimeoutMs;
        auto fetcher = Open(limits);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Get(*fetcher, server.Port(), "/"), 200);
        const auto took = std::chrono::steady_clock::now() - start;
        if (c.endsByTotalTimeout) {
            EXPECT_GE(took, std::chrono::milliseconds(c.totalTimeoutMs - 100));
        } else {
            EXPECT_LT(took, std::chrono::milliseconds(c.totalTimeoutMs / 2));
        }
        EXPECT_TRUE(fetcher->ReadFailed());
        EXPECT_FALSE(fetcher->BodyTruncated());
        EXPECT_EQ(fetcher->Body().substr(0, c.bodyStart.size()), c.bodyStart);
        server.Stop();
        EXPECT_EQ(server.Connections(), 1);  // a response arrived: no retry
    }
}

TEST_F(HttpFetcherTest, CutsEndlessBodiesAtTheCap) {
    const auto endlessChunks = [](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("text/html", "Transfer-Encoding: chunked\r\n"));
        while (c.Send(Chunk(std::string(4096, 'e')))) {
        }
    };
    const std::string bomb = GzipRepeated(std::string(1 << 20, 'a'), 64);
    const auto gzipBomb = [&](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("text/html", "Content-Encoding: gzip\r\nContent-Length: " +
                                        std::to_string(bomb.size()) + "\r\n") +
               bomb);
    };
    struct Case {
        const char* name;
        RawServer::Handler handler;
        char fill;
    };
    const Case cases[] = {
        {"endless chunked body", endlessChunks, 'e'},
        {"gzip bomb, counted after decoding", gzipBomb, 'a'},
    };
    constexpr std::size_t kCap = 256 * 1024;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.handler);
        FetcherLimits limits = QuickLimits();
        limits.maxBodyBytes = kCap;
        auto fetcher = Open(limits);
        EXPECT_EQ(Get(*fetcher, server.Port(), "/"), 200);
        EXPECT_TRUE(fetcher->BodyTruncated());
        EXPECT_FALSE(fetcher->ReadFailed());
        EXPECT_EQ(fetcher->Body(), std::string(kCap, c.fill));
    }
}

TEST_F(HttpFetcherTest, DoesNotDownloadTheBodyOfAnImage) {
    constexpr std::size_t kImageSize = std::size_t{64} << 20;
    std::atomic<std::size_t> sent{0};
    RawServer server([&](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(Headers("image/jpeg", "Content-Length: " + std::to_string(kImageSize) + "\r\n"));
        const std::string block(65536, '\xff');
        for (std::size_t n = 0; n < kImageSize && c.Send(block); n += block.size()) {
        }
        sent = c.BytesSent();
    });
    auto fetcher = Open();
    EXPECT_EQ(Get(*fetcher, server.Port(), "/photo.jpg"), 200);
    EXPECT_EQ(fetcher->ContentType(), "image/jpeg");
    EXPECT_TRUE(fetcher->Body().empty());
    EXPECT_FALSE(fetcher->ReadFailed());
    fetcher.reset();  // closes the connection, so the server's sending ends
    server.Stop();
    EXPECT_LT(sent.load(), kImageSize / 4);
}

TEST_F(HttpFetcherTest, GoesThroughTheProxyFromTheEnvironment) {
    std::string requestLine;
    RawServer proxy([&](RawServer::Connection& c) {
        const std::string request = c.ReadRequest();
        requestLine = request.substr(0, request.find("\r\n"));
        c.Send(Headers("text/plain", "Content-Length: 7\r\n") + "proxied");
    });
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.Port());
    ASSERT_EQ(::setenv("http_proxy", proxyUrl.c_str(), 1), 0);
    auto fetcher = Open();
    const int result = fetcher->FetchPage("http", "pages.invalid", 8080, "/a?b=1");
    ::unsetenv("http_proxy");
    EXPECT_EQ(result, 200);
    EXPECT_EQ(fetcher->Body(), "proxied");
    proxy.Stop();
    EXPECT_EQ(requestLine, "GET http://pages.invalid:8080/a?b=1 HTTP/1.1");
}

}  // namespace
}  // namespace qx
