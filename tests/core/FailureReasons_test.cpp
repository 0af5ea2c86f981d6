// Why a page could not be read, as the fetcher tells it beside the
// "CONNECTION FAILED" row: one case per kind of failure, against loopback
// servers that fail that way.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "core/support/LoopbackSite.h"
#include "core/support/QuickLimits.h"
#include "core/support/RawServer.h"
#include "search/CurlHandlePool.h"
#include "search/CurlResultCodes.h"
#include "search/HttpFetcher.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::LoopbackPage;
using test::LoopbackSite;
using test::RawServer;

const std::string kCertFile = std::string(QX_TEST_DATA_DIR) + "/loopback-cert.pem";
const std::string kKeyFile = std::string(QX_TEST_DATA_DIR) + "/loopback-key.pem";

// A raw server's whole answer to every request.
RawServer::Handler Answer(std::string text) {
    return [text](RawServer::Connection& c) {
        c.ReadRequest();
        c.Send(text);
    };
}

struct ReasonCase {
    const char* name;
    RawServer::Handler handler;
    std::string reason;  // expected; a trailing '*' matches any rest
};

class FailureReasonsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { HttpFetcher::GlobalInit(); }

    static FetcherLimits Limits() {
        FetcherLimits limits = test::QuickLimits();
        limits.stallTimeoutMs = 300;
        limits.maxRedirects = 3;
        return limits;
    }

    // The reason the fetch of `object` gives, with its status checked
    // against 200 (a readable page has no reason).
    static std::string ReasonOf(std::string_view scheme, std::uint16_t port,
                                std::string_view object = "/") {
        HttpFetcher fetcher(Limits());
        EXPECT_EQ(fetcher.OpenSession(), 1);
        fetcher.FetchPage(scheme, "127.0.0.1", port, object);
        return fetcher.FailureReason();
    }

    static void ExpectReason(const std::string& got, const std::string& expected) {
        if (!expected.empty() && expected.back() == '*') {
            EXPECT_EQ(got.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1))
                << got;
        } else {
            EXPECT_EQ(got, expected);
        }
    }
};

TEST_F(FailureReasonsTest, EachKindOfAnswerGivesItsReason) {
    const std::string gzipped(64, '\x1f');
    const ReasonCase cases[] = {
        {"a text page",
         Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
                "\r\nhi"),
         ""},
        {"not found", Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"), "HTTP 404"},
        {"too many requests",
         Answer("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\nContent-Length: 0\r\n\r\n"),
         "HTTP 429"},
        {"gzip file", Answer("HTTP/1.1 200 OK\r\nContent-Type: application/gzip\r\n\r\n" + gzipped),
         "not text: application/gzip"},
        {"no content type", Answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"),
         "no content type"},
        {"control bytes and 8-bit bytes in the type",
         Answer("HTTP/1.1 200 OK\r\nContent-Type: image/\x01x\xff\r\nContent-Length: 0\r\n\r\n"),
         "not text: image/?x?"},
        {"headers, then silence",
         [](RawServer::Connection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nab");
             c.Wait(5s);
         },
         "stalled for 300 ms"},
        {"reset in the middle of the body",
         [](RawServer::Connection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n" +
                    std::string(1000, 'x'));
             c.Wait(200ms);
             c.Reset();
         },
         "read error: *"},
        {"garbage", Answer("GARBAGE\r\n\r\n"), "invalid answer: *"},
        {"a redirect loop",
         Answer("HTTP/1.1 302 Found\r\nLocation: /\r\nContent-Length: 0\r\n\r\n"),
         "too many redirects"},
        {"a redirect to another scheme",
         Answer("HTTP/1.1 301 Moved\r\nLocation: ftp://127.0.0.1/x\r\nContent-Length: 0\r\n\r\n"),
         "redirect to an unusable URL"},
    };
    for (const ReasonCase& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(c.handler);
        ExpectReason(ReasonOf("http", server.Port()), c.reason);
        server.Stop();
        curl_handles::DropKept();
    }
}

TEST_F(FailureReasonsTest, FailuresBeforeAnyAnswer) {
    RawServer closed([](RawServer::Connection&) {}, false);  // the port refuses
    EXPECT_EQ(ReasonOf("http", closed.Port()), "connection refused");
    EXPECT_EQ(ReasonOf("ftp", closed.Port()), "not http or https");
    // A certificate that no trusted authority signed.
    LoopbackSite tls({{"/", {"secret"}}}, kCertFile, kKeyFile);
    ExpectReason(ReasonOf("https", tls.Port()), "TLS: *");
    HttpFetcher unopened(Limits());
    EXPECT_EQ(unopened.FetchPage("http", "127.0.0.1", closed.Port(), "/"), 1);
    EXPECT_EQ(unopened.FailureReason(), "no session");
}

TEST_F(FailureReasonsTest, AReasonAfterAFailureIsGoneWithTheNextPage) {
    LoopbackSite site({{"/ok", {"fine"}}, {"/zip", {"PK", "application/zip"}}});
    HttpFetcher fetcher(Limits());
    ASSERT_EQ(fetcher.OpenSession(), 1);
    fetcher.FetchPage("http", "127.0.0.1", site.Port(), "/zip");
    EXPECT_EQ(fetcher.FailureReason(), "not text: application/zip");
    EXPECT_EQ(fetcher.FetchPage("http", "127.0.0.1", site.Port(), "/ok"), 200);
    EXPECT_EQ(fetcher.FailureReason(), "");
}

TEST(PrintableForReason, KeepsPrintableAsciiAndCutsLongTexts) {
    EXPECT_EQ(PrintableForReason("text/plain; charset=utf-8"), "text/plain; charset=utf-8");
    EXPECT_EQ(PrintableForReason(std::string("a\0b\r\n\xc3\xa9", 7)), "a?b????");
    EXPECT_EQ(PrintableForReason(std::string(500, 'x')).size(), 100u);
}

}  // namespace
}  // namespace qx
