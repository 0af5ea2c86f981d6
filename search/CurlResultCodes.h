#pragma once

#include <curl/curl.h>

namespace qx {

// The WinInet-style code (FetchError, 12000 and up) for a libcurl result of a
// transfer that failed before a response arrived.
int MapCurlCode(CURLcode rc);

}  // namespace qx
