#pragma once

#include "search/HttpFetcher.h"

namespace qx::test {

// Fetcher limits with short time-outs, so that failures against loopback
// servers show in milliseconds, not minutes.
inline FetcherLimits QuickLimits() {
    FetcherLimits limits;
    limits.connectTimeoutMs = 1000;
    limits.retryConnectTimeoutMs = 1000;
    limits.backoffMs = 10;
    limits.retryPauseMs = 10;
    limits.stallTimeoutMs = 1000;
    limits.totalTimeoutMs = 5000;
    return limits;
}

}  // namespace qx::test
