#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace qx {

// The WinInet-style code (FetchError, 12000 and up) for a libcurl result of a
// transfer that failed before a response arrived.
int MapCurlCode(CURLcode rc);

// Why a transfer failed, in words a user can act on ("no such host",
// "connection refused", "TLS: ..."), from its libcurl result and the words
// libcurl left in the transfer's error buffer (may be empty) and the system's
// error number of the failed connect (0 when none). Time-outs and stalls are
// told by the fetcher, which knows which limit ran out.
std::string TransferFailureReason(CURLcode rc, std::string_view words, long osErrno = 0);

// `text` (a server's content type, libcurl's words) fit for a reason: bytes
// outside printable ASCII become '?', and it is cut at 100 bytes.
std::string PrintableForReason(std::string_view text);

}  // namespace qx
