#pragma once

#include "cli/CliOptions.h"

namespace qx {

// Runs one search from the command line with the desktop program's search
// session and returns the exit status: 0 at "Search finished", 2 when Start
// refuses or a named file cannot be read, 130 / 143 after SIGINT / SIGTERM,
// 1 when the output cannot be written.
class CliRunner {
public:
    static constexpr int kExitFinished = 0;
    static constexpr int kExitFailure = 1;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitSignalBase = 128;

    explicit CliRunner(const CliOptions& options) : options_(options) {}
    int Run();

private:
    const CliOptions& options_;
};

}  // namespace qx
