#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

// WinInet-style result codes of a failed fetch (12000 and up), so that the
// callers and the result rows keep the numbers users of such tools know.
namespace FetchError {
constexpr int kOutOfHandles = 12001;        // a session could not be created
constexpr int kTimeout = 12002;             // connect, stall or total time-out
constexpr int kInternalError = 12004;       // anything not listed here
constexpr int kInvalidUrl = 12005;          // host or object cannot form a URL
constexpr int kUnrecognizedScheme = 12006;  // neither http nor https
constexpr int kNameNotResolved = 12007;
constexpr int kCannotConnect = 12029;
constexpr int kConnectionAborted = 12030;
constexpr int kConnectionReset = 12031;
constexpr int kInvalidCa = 12045;  // the server's certificate is not trusted
constexpr int kInvalidServerResponse = 12152;
constexpr int kRedirectFailed = 12156;  // too many, or to an unusable URL
constexpr int kSecurityChannelError = 12157;
constexpr int kSecureFailure = 12175;  // local certificate or CA file problems
}  // namespace FetchError

// Time-outs and limits of the fetcher; the defaults are the program's, tests
// shorten them.
struct FetcherLimits {
    long connectTimeoutMs = 60000;       // first session
    int connectRetries = 3;              // first session
    long retryConnectTimeoutMs = 30000;  // retry session
    int retryConnectRetries = 2;         // retry session
    long backoffMs = 1000;               // pause between connect retries
    long retryPauseMs = 1000;            // pause before the retry after a time-out
    long stallTimeoutMs = 60000;         // no byte for this long ends the transfer
    long totalTimeoutMs = 600000;        // last guard against a server that drips forever
    int maxRedirects = 20;
    std::size_t maxBodyBytes = 32u << 20;  // counted after decompression
    std::string caFile;                    // empty: the system's CAs
    // Read the body whatever its content type (robots.txt), not only text.
    bool anyContentType = false;
    // When set and true, a transfer in flight gives up at its next progress
    // check and is not retried (the page that asked for it is closing).
    const std::atomic<bool>* abortFlag = nullptr;
};

// One worker's HTTP client: its own libcurl easy handle (session), used for
// the worker's one page. Not shared between threads; the handles of all
// fetchers share a DNS cache and TLS sessions, and each keeps its own open
// connection for the next fetcher that takes it (see CurlHandlePool.h).
class HttpFetcher {
public:
    explicit HttpFetcher(FetcherLimits limits = {});
    ~HttpFetcher();
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    // 1 when the session could be created, 0 otherwise.
    int OpenSession(std::uint64_t context = 0);

    // Sends the GET and reads the response. Returns the HTTP status of the
    // final response, a WinInet-style error code (12000 and up), 0 when host
    // or object is missing, or 1 when there is no session.
    int FetchPage(std::string_view scheme, std::string_view host, std::uint16_t port,
                  std::string_view object);

    // The Content-Type header of the last response ("" when none).
    const std::string& ContentType() const;
    // The body of the last response, as received (empty when the body was
    // refused because the content type lacks "text").
    const std::string& Body() const;
    // Moves the body of the last response out, leaving the fetcher's empty:
    // a thousand workers then hold one copy of their pages, not two.
    std::string TakeBody();
    // True when reading the body failed after the status line arrived; the
    // body then holds what was read.
    bool ReadFailed() const;
    // Why the last page cannot be read, for the user: "HTTP 404", "not text:
    // application/gzip", "no such host", "connection refused", "TLS: ...",
    // "stalled for 60 s", "read error: ..." and the like. Empty when the last
    // FetchPage gave 200 with a text body read whole.
    const std::string& FailureReason() const;
    // True when the body was cut at maxBodyBytes.
    bool BodyTruncated() const;
    // A header of the last response ("" when it had none), such as the
    // Retry-After of a 429.
    std::string LastHeader(const char* name) const;

    void CloseAll();

    // Call once in the process before any thread starts.
    static void GlobalInit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qx
