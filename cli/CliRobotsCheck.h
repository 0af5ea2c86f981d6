#pragma once

#include <cstdio>

#include "cli/CliOptions.h"

namespace qx {

// `quillex-cli --robots-check FILE AGENT URL`: prints "allowed" or
// "disallowed" on `out` and returns 0; a file that cannot be read gives a
// message on `err` and 2.
int RunRobotsCheck(const CliRobotsCheck& check, std::FILE* out, std::FILE* err);

}  // namespace qx
