#include "search/HttpFetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "html/AsciiText.h"
#include "search/CurlHandlePool.h"
#include "search/CurlResultCodes.h"
#include "search/SearchSettings.h"

namespace qx {

namespace {

using Clock = std::chrono::steady_clock;

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Blanks around a header line and its parts.
constexpr std::string_view kHeaderSpaces = " \t\r\n";

// A host goes into the URL verbatim, so anything that would change the URL's
// meaning (user info, path, query, blanks, control bytes) is refused.
bool IsUsableHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (unsigned char c : host) {
        if (c <= 0x20 || c >= 0x7f || std::strchr("/\\@?#%\"<>^`{|}", c) != nullptr) {
            return false;
        }
    }
    return true;
}

// Blanks, control bytes and 8-bit characters are escaped so that pages with
// sloppy links are still fetched; existing escapes are kept as they are.
std::string EscapeObject(std::string_view object) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(object.size() + 1);
    if (object.front() != '/') {
        out += '/';
    }
    for (unsigned char c : object) {
        if (c <= 0x20 || c >= 0x7f || std::strchr("\"<>\\^`{|}", c) != nullptr) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Builds the request URL, or returns a failure code in `code`.
std::string BuildUrl(std::string_view scheme, std::string_view host, std::uint16_t port,
                     std::string_view object, int& code) {
    code = 0;
    std::string lowerScheme;
    for (char c : scheme.empty() ? std::string_view("http") : scheme) {
        lowerScheme += LowerAscii(c);
    }
    if (lowerScheme != "http" && lowerScheme != "https") {
        code = FetchError::kUnrecognizedScheme;
        return {};
    }
    bool ipv6 = host.find(':') != std::string_view::npos && host.front() != '[';
    if (!IsUsableHost(host)) {
        code = FetchError::kInvalidUrl;
        return {};
    }
    // Appended piece by piece into one string, without temporaries.
    std::string url;
    url.reserve(lowerScheme.size() + host.size() + object.size() + 16);
    url.append(lowerScheme).append("://");
    if (ipv6) {
        url.append("[").append(host).append("]");
    } else {
        url.append(host);
    }
    if (port != 0) {
        url.append(":").append(std::to_string(port));
    }
    url.append(EscapeObject(object));
    return url;
}

struct CurlEasyDeleter {
    void operator()(CURL* h) const { curl_handles::Give(h); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct CurlUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlSlistDeleter>;
using CurlUrlPtr = std::unique_ptr<CURLU, CurlUrlDeleter>;

// Resolves a Location value against the URL it came from. Empty when the
// result is not an http or https URL.
std::string ResolveRedirect(const std::string& base, const std::string& location) {
    CurlUrlPtr url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE) != CURLUE_OK) {
        return {};
    }
    // No user name or password is ever sent, not even one a server asks for.
    curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
    char* scheme = nullptr;
    char* full = nullptr;
    std::string result;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        (std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0) &&
        curl_url_get(url.get(), CURLUPART_URL, &full, 0) == CURLUE_OK) {
        result = full;
    }
    curl_free(scheme);
    curl_free(full);
    return result;
}

// Connect settings of a session.
struct SessionSettings {
    long connectTimeoutMs;
    int connectRetries;
    // The retry session does not use the connection its handle kept: a
    // fresh one is what the retry is for.
    bool freshConnection;
};

// Why the fetcher itself ended a transfer early.
enum class StopReason { None, Redirect, RefusedType, BodyCap, Stall };

// State of one transfer (one hop of a redirect chain), seen by the callbacks.
struct Transfer {
    const FetcherLimits* limits = nullptr;
    CURL* handle = nullptr;
    std::string* body = nullptr;
    StopReason stop = StopReason::None;
    bool connected = false;
    bool finalHeaders = false;  // the headers of a response that is not redirected
    long status = 0;
    std::string location;
    std::string contentType;
    // The stall clock: reset by every body byte and every complete header
    // line (libcurl hands headers over line by line only).
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastReceived = 0;
};

// The outcome of a fetch attempt on one session.
struct Outcome {
    bool responseArrived = false;  // a final status line and headers came in
    bool retryable = false;        // failure before any response: worth one retry
    int result = 0;                // status when a response arrived, else the error code
    bool readFailed = false;
    bool truncated = false;
    std::string contentType;
    std::string reason;  // why the attempt failed ("" when it did not)
};

// "60 s", or "300 ms" for limits below a second (tests).
std::string Duration(long ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

struct HttpFetcher::Impl {
    FetcherLimits limits;
    CurlEasyPtr handle;
    CurlSlistPtr headers;
    SessionSettings session{};
    std::string contentType;
    std::string body;
    bool readFailed = false;
    bool truncated = false;
    std::string failureReason;
    // libcurl's words on the last failed transfer.
    char errorWords[CURL_ERROR_SIZE] = {};

    explicit Impl(FetcherLimits l) : limits(std::move(l)) {}

    bool CreateSession(const SessionSettings& settings);
    int Fetch(const std::string& url);
    int RetryFetch(const std::string& url);
    Outcome RunRequest(const std::string& url);
    Outcome PerformWithConnectRetries(const std::string& url, Clock::time_point deadline,
                                      Transfer& t);
    CURLcode PerformOnce(const std::string& url, Clock::time_point deadline, Transfer& t);
    Outcome Classify(CURLcode rc, const Transfer& t) const;
    void ResetResponse();
    // Why the finished fetch gave no readable text page, from its result.
    void SetFailureReason(int result, const Outcome& out);

    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t);
    static int OnConnected(void* user, char*, char*, int, int);
};

bool HttpFetcher::Impl::CreateSession(const SessionSettings& settings) {
    handle.reset(curl_handles::Take());
    if (!handle) {
        return false;
    }
    session = settings;
    // Like a reload: every page comes from its server, never from a cache.
    curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
    curl_slist* withPragma = list ? curl_slist_append(list, "Pragma: no-cache") : nullptr;
    if (!withPragma) {
        curl_slist_free_all(list);
        handle.reset();
        return false;
    }
    headers.reset(withPragma);
    CURL* h = handle.get();
    // Proxies come from http_proxy, https_proxy and no_proxy, which libcurl
    // reads itself as long as no proxy option is set here.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are counted here
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!limits.caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, limits.caFile.c_str());
    }
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &Impl::OnConnected);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorWords);
    curl_easy_setopt(h, CURLOPT_USERAGENT, Prefs().Identity().c_str());
    if (CURLSH* share = curl_handles::WorkerShare()) {
        curl_easy_setopt(h, CURLOPT_SHARE, share);
    }
    // The handle's own cache: once it holds more, the longest idle
    // connection is closed.
    curl_easy_setopt(h, CURLOPT_MAXCONNECTS, curl_handles::kConnectionsKeptPerHandle);
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, settings.freshConnection ? 1L : 0L);
    return true;
}

void HttpFetcher::Impl::ResetResponse() {
    contentType.clear();
    body.clear();
    readFailed = false;
    truncated = false;
    failureReason.clear();
}

void HttpFetcher::Impl::SetFailureReason(int result, const Outcome& out) {
    if (!out.responseArrived) {
        failureReason = out.reason;
    } else if (result != 200) {
        failureReason = "HTTP " + std::to_string(result);
    } else if (contentType.empty()) {
        failureReason = "no content type";
    } else if (contentType.find("text") == std::string::npos) {
        failureReason = "not text: " + PrintableForReason(contentType);
    } else {
        failureReason = out.reason;  // a read error, or nothing
    }
}

size_t HttpFetcher::Impl::OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t total = size * count;
    std::string_view line(data, total);
    t.lastActivity = Clock::now();
    if (t.finalHeaders) {
        return total;  // trailers after the body change nothing
    }
    if (line.substr(0, 5) == "HTTP/") {
        t.location.clear();
        t.contentType.clear();
        return total;
    }
    if (Trim(line, kHeaderSpaces).empty()) {
        long status = 0;
        curl_easy_getinfo(t.handle, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200) {
            return total;  // an interim response; the real one follows
        }
        t.status = status;
        if (IsRedirectStatus(status) && !t.location.empty()) {
            t.stop = StopReason::Redirect;
            return 0;  // the body of a redirect is of no use
        }
        t.finalHeaders = true;
        if (!t.limits->anyContentType && t.contentType.find("text") == std::string::npos) {
            t.stop = StopReason::RefusedType;
            return 0;  // only text is analysed, so the body is not downloaded
        }
        return total;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return total;
    }
    const std::string_view name = Trim(line.substr(0, colon), kHeaderSpaces);
    const std::string_view value = Trim(line.substr(colon + 1), kHeaderSpaces);
    if (EqualsNoCase(name, "Location")) {
        t.location = value;
    } else if (EqualsNoCase(name, "Content-Type")) {
        t.contentType = value;
    }
    return total;
}

size_t HttpFetcher::Impl::OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t total = size * count;
    t.lastActivity = Clock::now();
    const size_t room = t.limits->maxBodyBytes - std::min(t.limits->maxBodyBytes, t.body->size());
    if (total > room) {
        t.body->append(data, room);
        t.stop = StopReason::BodyCap;
        return 0;
    }
    t.body->append(data, total);
    return total;
}

int HttpFetcher::Impl::OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t,
                                  curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.limits->abortFlag != nullptr && t.limits->abortFlag->load()) {
        t.stop = StopReason::Stall;
        return 1;
    }
    const auto now = Clock::now();
    if (!t.connected) {
        return 0;  // the connect time-out covers this phase
    }
    if (received != t.lastReceived) {
        t.lastReceived = received;
        t.lastActivity = now;
    }
    if (now - t.lastActivity >= std::chrono::milliseconds(t.limits->stallTimeoutMs)) {
        t.stop = StopReason::Stall;
        return 1;
    }
    return 0;
}

int HttpFetcher::Impl::OnConnected(void* user, char*, char*, int, int) {
    auto& t = *static_cast<Transfer*>(user);
    t.connected = true;
    t.lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

CURLcode HttpFetcher::Impl::PerformOnce(const std::string& url, Clock::time_point deadline,
                                        Transfer& t) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return CURLE_OPERATION_TIMEDOUT;
    }
    body.clear();
    CURL* h = handle.get();
    t = Transfer{};
    t.limits = &limits;
    t.handle = h;
    t.body = &body;
    errorWords[0] = '\0';
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    curl_easy_setopt(h, CURLOPT_USERAGENT, Prefs().Identity().c_str());
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &t);
    return curl_easy_perform(h);
}

Outcome HttpFetcher::Impl::Classify(CURLcode rc, const Transfer& t) const {
    Outcome out;
    if (t.finalHeaders) {
        out.responseArrived = true;
        out.result = static_cast<int>(t.status);
        out.contentType = t.contentType;
        out.truncated = t.stop == StopReason::BodyCap;
        out.readFailed =
            rc != CURLE_OK && t.stop != StopReason::BodyCap && t.stop != StopReason::RefusedType;
        if (out.readFailed) {
            out.reason = t.stop == StopReason::Stall
                             ? "stalled for " + Duration(limits.stallTimeoutMs)
                             : "read error: " + PrintableForReason(errorWords[0] != '\0'
                                                                       ? errorWords
                                                                       : curl_easy_strerror(rc));
        }
        return out;
    }
    out.retryable = true;
    out.result = t.stop == StopReason::Stall ? FetchError::kTimeout : MapCurlCode(rc);
    if (t.stop == StopReason::Stall) {
        out.reason = "stalled for " + Duration(limits.stallTimeoutMs);
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        out.reason = t.connected ? "timed out after " + Duration(limits.totalTimeoutMs)
                                 : "connect timed out";
    } else {
        long osErrno = 0;
        curl_easy_getinfo(t.handle, CURLINFO_OS_ERRNO, &osErrno);
        out.reason = TransferFailureReason(rc, errorWords, osErrno);
    }
    return out;
}

Outcome HttpFetcher::Impl::PerformWithConnectRetries(const std::string& url,
                                                     Clock::time_point deadline, Transfer& t) {
    for (int attempt = 0;; ++attempt) {
        const CURLcode rc = PerformOnce(url, deadline, t);
        const bool connectFailed =
            rc == CURLE_COULDNT_CONNECT || (rc == CURLE_OPERATION_TIMEDOUT && !t.connected);
        const auto backoff = std::chrono::milliseconds(limits.backoffMs);
        if (!connectFailed || attempt >= session.connectRetries ||
            Clock::now() + backoff >= deadline) {
            return Classify(rc, t);
        }
        std::this_thread::sleep_for(backoff);
    }
}

Outcome HttpFetcher::Impl::RunRequest(const std::string& startUrl) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits.totalTimeoutMs);
    std::string url = startUrl;
    Transfer t;
    for (int redirects = 0;; ++redirects) {
        Outcome out = PerformWithConnectRetries(url, deadline, t);
        if (t.stop != StopReason::Redirect) {
            return out;
        }
        // Redirect failures are the server's answer, not a network fault, so
        // they are not retried.
        Outcome failed;
        failed.result = FetchError::kRedirectFailed;
        if (redirects >= limits.maxRedirects) {
            failed.reason = "too many redirects";
            return failed;
        }
        url = ResolveRedirect(url, t.location);
        if (url.empty()) {
            failed.reason = "redirect to an unusable URL";
            return failed;
        }
    }
}

int HttpFetcher::Impl::Fetch(const std::string& url) {
    Outcome out = RunRequest(url);
    const bool aborted = limits.abortFlag != nullptr && limits.abortFlag->load();
    if (out.retryable && !aborted) {
        handle.reset();
        headers.reset();
        if (out.result == FetchError::kTimeout) {
            std::this_thread::sleep_for(std::chrono::milliseconds(limits.retryPauseMs));
        }
        return RetryFetch(url);
    }
    contentType = std::move(out.contentType);
    readFailed = out.readFailed;
    truncated = out.truncated;
    if (!out.responseArrived) {
        body.clear();
    }
    SetFailureReason(out.result, out);
    return out.result;
}

int HttpFetcher::Impl::RetryFetch(const std::string& url) {
    body.clear();
    if (!CreateSession({limits.retryConnectTimeoutMs, limits.retryConnectRetries, true})) {
        failureReason = "out of memory";
        return FetchError::kOutOfHandles;
    }
    Outcome out = RunRequest(url);
    if (!out.responseArrived) {
        body.clear();
        if (out.retryable) {
            handle.reset();
            headers.reset();
        }
        failureReason = out.reason;
        return out.result;
    }
    contentType = std::move(out.contentType);
    readFailed = out.readFailed;
    truncated = out.truncated;
    SetFailureReason(out.result, out);
    return out.result;
}

HttpFetcher::HttpFetcher(FetcherLimits limits) : impl_(std::make_unique<Impl>(std::move(limits))) {}

HttpFetcher::~HttpFetcher() = default;

int HttpFetcher::OpenSession(std::uint64_t /*context*/) {
    const FetcherLimits& limits = impl_->limits;
    return impl_->CreateSession({limits.connectTimeoutMs, limits.connectRetries, false}) ? 1 : 0;
}

int HttpFetcher::FetchPage(std::string_view scheme, std::string_view host, std::uint16_t port,
                           std::string_view object) {
    impl_->ResetResponse();
    if (host.empty() || object.empty()) {
        impl_->failureReason = "no host or path";
        return 0;
    }
    if (!impl_->handle) {
        impl_->failureReason = "no session";
        return 1;
    }
    int code = 0;
    const std::string url = BuildUrl(scheme, host, port, object, code);
    if (code != 0) {
        impl_->failureReason =
            code == FetchError::kUnrecognizedScheme ? "not http or https" : "invalid URL";
        return code;
    }
    return impl_->Fetch(url);
}

const std::string& HttpFetcher::ContentType() const {
    return impl_->contentType;
}

const std::string& HttpFetcher::Body() const {
    return impl_->body;
}

std::string HttpFetcher::TakeBody() {
    return std::exchange(impl_->body, std::string());
}

const std::string& HttpFetcher::FailureReason() const {
    return impl_->failureReason;
}

bool HttpFetcher::ReadFailed() const {
    return impl_->readFailed;
}

bool HttpFetcher::BodyTruncated() const {
    return impl_->truncated;
}

std::string HttpFetcher::LastHeader(const char* name) const {
    curl_header* h = nullptr;
    CURL* handle = impl_->handle.get();
    const bool found =
        handle && curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &h) == CURLHE_OK;
    return found ? std::string(h->value) : std::string();
}

void HttpFetcher::CloseAll() {
    impl_->handle.reset();
    impl_->headers.reset();
}

}  // namespace qx
