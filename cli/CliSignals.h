#pragma once

namespace qx {

// SIGINT and SIGTERM for the crawler: the handler only counts the signal,
// remembers which one came and writes a byte to the wake pipe; the loop acts
// on it. SIGPIPE is ignored so that a closed output shows as a write error.
class CliSignals {
public:
    static void Install(int wakeFd);
    // Signals received so far.
    static int Count();
    // The last signal received (0 when none).
    static int Last();
};

}  // namespace qx
