#include "search/CurlResultCodes.h"

#include <cerrno>

#include "search/HttpFetcher.h"

namespace qx {

namespace {

// How libcurl's results become the codes the rest of the program knows.
// Codes not in the table are internal errors (12004).
//
//   libcurl result                         code   meaning
//   CURLE_OPERATION_TIMEDOUT               12002  connect, stall or total time-out
//   CURLE_ABORTED_BY_CALLBACK (stall)      12002
//   CURLE_COULDNT_RESOLVE_HOST / _PROXY    12007  name not resolved
//   CURLE_COULDNT_CONNECT, CURLE_PROXY     12029  cannot connect
//   CURLE_SEND_ERROR, CURLE_PARTIAL_FILE   12030  connection aborted
//   CURLE_RECV_ERROR                       12031  connection reset
//   CURLE_GOT_NOTHING, CURLE_WEIRD_SERVER_REPLY,
//   CURLE_UNSUPPORTED_PROTOCOL (HTTP/0.9 or garbage reply),
//   CURLE_HTTP2, CURLE_HTTP2_STREAM, CURLE_BAD_CONTENT_ENCODING
//                                          12152  invalid server response
//   CURLE_TOO_MANY_REDIRECTS               12156  redirect failed
//   CURLE_SSL_CONNECT_ERROR, CURLE_SSL_ENGINE_*, CURLE_SSL_CIPHER,
//   CURLE_SSL_SHUTDOWN_FAILED              12157  TLS channel error
//   CURLE_PEER_FAILED_VERIFICATION         12045  certificate not trusted
//   CURLE_SSL_CACERT_BADFILE, CURLE_SSL_CERTPROBLEM, CURLE_SSL_CRL_BADFILE,
//   CURLE_SSL_ISSUER_ERROR, CURLE_SSL_PINNEDPUBKEYNOTMATCH,
//   CURLE_SSL_INVALIDCERTSTATUS            12175  certificate problem
//   CURLE_URL_MALFORMAT                    12005  invalid URL
//   CURLE_OUT_OF_MEMORY, CURLE_FAILED_INIT 12001  out of handles
//
// Checked before any transfer: a scheme other than http/https gives 12006, a
// host that cannot be a host name gives 12005; a redirect to such a URL 12156.
struct CurlCodeMapping {
    CURLcode curl;
    int code;
};

constexpr CurlCodeMapping kCurlCodes[] = {
    {CURLE_OPERATION_TIMEDOUT, FetchError::kTimeout},
    {CURLE_ABORTED_BY_CALLBACK, FetchError::kTimeout},
    {CURLE_COULDNT_RESOLVE_HOST, FetchError::kNameNotResolved},
    {CURLE_COULDNT_RESOLVE_PROXY, FetchError::kNameNotResolved},
    {CURLE_COULDNT_CONNECT, FetchError::kCannotConnect},
    {CURLE_PROXY, FetchError::kCannotConnect},
    {CURLE_SEND_ERROR, FetchError::kConnectionAborted},
    {CURLE_PARTIAL_FILE, FetchError::kConnectionAborted},
    {CURLE_RECV_ERROR, FetchError::kConnectionReset},
    {CURLE_GOT_NOTHING, FetchError::kInvalidServerResponse},
    {CURLE_WEIRD_SERVER_REPLY, FetchError::kInvalidServerResponse},
    {CURLE_UNSUPPORTED_PROTOCOL, FetchError::kInvalidServerResponse},
    {CURLE_HTTP2, FetchError::kInvalidServerResponse},
    {CURLE_HTTP2_STREAM, FetchError::kInvalidServerResponse},
    {CURLE_BAD_CONTENT_ENCODING, FetchError::kInvalidServerResponse},
    {CURLE_TOO_MANY_REDIRECTS, FetchError::kRedirectFailed},
    {CURLE_SSL_CONNECT_ERROR, FetchError::kSecurityChannelError},
    {CURLE_SSL_ENGINE_NOTFOUND, FetchError::kSecurityChannelError},
    {CURLE_SSL_ENGINE_SETFAILED, FetchError::kSecurityChannelError},
    {CURLE_SSL_ENGINE_INITFAILED, FetchError::kSecurityChannelError},
    {CURLE_SSL_CIPHER, FetchError::kSecurityChannelError},
    {CURLE_SSL_SHUTDOWN_FAILED, FetchError::kSecurityChannelError},
    {CURLE_PEER_FAILED_VERIFICATION, FetchError::kInvalidCa},
    {CURLE_SSL_CACERT_BADFILE, FetchError::kSecureFailure},
    {CURLE_SSL_CERTPROBLEM, FetchError::kSecureFailure},
    {CURLE_SSL_CRL_BADFILE, FetchError::kSecureFailure},
    {CURLE_SSL_ISSUER_ERROR, FetchError::kSecureFailure},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, FetchError::kSecureFailure},
    {CURLE_SSL_INVALIDCERTSTATUS, FetchError::kSecureFailure},
    {CURLE_URL_MALFORMAT, FetchError::kInvalidUrl},
    {CURLE_OUT_OF_MEMORY, FetchError::kOutOfHandles},
    {CURLE_FAILED_INIT, FetchError::kOutOfHandles},
};

}  // namespace

int MapCurlCode(CURLcode rc) {
    for (const auto& m : kCurlCodes) {
        if (m.curl == rc) {
            return m.code;
        }
    }
    return FetchError::kInternalError;
}

std::string PrintableForReason(std::string_view text) {
    constexpr std::size_t kMaxBytes = 100;
    std::string out;
    for (unsigned char c : text.substr(0, kMaxBytes)) {
        out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string TransferFailureReason(CURLcode rc, std::string_view words, long osErrno) {
    // libcurl's buffer is empty for some failures; its short text for the
    // code stands in.
    const std::string said = PrintableForReason(words.empty() ? curl_easy_strerror(rc) : words);
    switch (MapCurlCode(rc)) {
        case FetchError::kNameNotResolved:
            return rc == CURLE_COULDNT_RESOLVE_PROXY ? "no such proxy host" : "no such host";
        case FetchError::kCannotConnect:
            if (osErrno == ECONNREFUSED) {
                return "connection refused";
            }
            if (osErrno == EHOSTUNREACH || osErrno == ENETUNREACH) {
                return "host unreachable";
            }
            return "cannot connect: " + said;
        case FetchError::kTimeout:
            return "timed out";
        case FetchError::kSecurityChannelError:
        case FetchError::kInvalidCa:
        case FetchError::kSecureFailure:
            return "TLS: " + said;
        case FetchError::kConnectionAborted:
        case FetchError::kConnectionReset:
            return "connection broken: " + said;
        case FetchError::kInvalidServerResponse:
            return "invalid answer: " + said;
        case FetchError::kInvalidUrl:
            return "invalid URL";
        case FetchError::kOutOfHandles:
            return "out of memory";
        default:
            return "failed: " + said;
    }
}

}  // namespace qx
