#pragma once

#include <string>
#include <string_view>

namespace qx {

// Starts the desktop program with the search words, the way the bar does.
class ProgramLauncher {
public:
    // The program: "quillex" in the program folder, or looked up on PATH when
    // no folder is set.
    static std::string ProgramFor(std::string_view programFolder);

    // Starts `program` with `words` as its one argument: no shell, standard
    // streams on /dev/null, in a session of its own so that it outlives the
    // host. False when it could not be started.
    static bool Start(const std::string& program, const std::string& words);
};

}  // namespace qx
