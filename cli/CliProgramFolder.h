#pragma once

#include <string>
#include <string_view>

namespace qx {

// The folder of the program's own files (the engines file), found as the
// desktop program finds it: the [Main] Path value of the user's
// Quillex/Quillex.ini (written by the install). Empty when unset, and the
// engines file is then looked for in the current directory, as the links
// page does.
class CliProgramFolder {
public:
    static std::string Find();

    // The [Main] Path value of an INI text; empty when absent.
    static std::string PathFromIni(std::string_view ini);

    // Where the desktop program keeps its settings file.
    static std::string SettingsFile();
};

}  // namespace qx
