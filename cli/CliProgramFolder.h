#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qx {

// The folder of the program's own files (the engines file), found as the
// desktop program finds it: the [Main] Path value of the user's
// Quillex/Quillex.ini (written by `cmake --install`), else the installed
// folder beside the running program (a package records no Path). Empty when
// neither is there, and the engines file is then looked for in the current
// directory, as the links page does.
class CliProgramFolder {
public:
    static std::string Find();

    // The installed program folder share/quillex beside `executable`: its
    // bin/ (quillex-cli) or its lib/quillex/ (qxbar-host). Only a folder that
    // holds the engines file counts; empty when there is none.
    static std::string InstalledBeside(const std::filesystem::path& executable);

    // The [Main] Path value of an INI text; empty when absent.
    static std::string PathFromIni(std::string_view ini);

    // Where the desktop program keeps its settings file.
    static std::string SettingsFile();
};

}  // namespace qx
