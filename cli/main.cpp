#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRobotsCheck.h"
#include "cli/CliRunner.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    qx::CliParseResult parsed = qx::ParseCliOptions(args);
    if (!parsed.ok) {
        std::fprintf(stderr, "quillex-cli: %s\nTry \"quillex-cli --help\".\n",
                     parsed.error.c_str());
        return qx::CliRunner::kExitUsage;
    }
    if (parsed.options.help) {
        std::fputs(qx::CliUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::printf("quillex-cli %s\n", QX_VERSION);
        return 0;
    }
    if (parsed.options.robotsCheck) {
        return qx::RunRobotsCheck(*parsed.options.robotsCheck, stdout, stderr);
    }
    return qx::CliRunner(parsed.options).Run();
}
