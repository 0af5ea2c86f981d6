#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qx {

// The folder of the program's own files (the engines file, the help page).
// The desktop program, its links page, quillex-cli and the bar's host all ask
// here, and scripts/set-program-folder.sh follows the same order:
//
//   1. [Main] Path in the user's settings file, when set and not empty;
//   2. share/quillex installed beside the running program (from its bin/ or,
//      for the bar's host, its lib/quillex/), when it holds a program file;
//   3. the running program's own folder, when it holds a program file (a
//      build tree or an unpacked archive);
//   4. none (empty): the files are then looked for in the current directory.
//
// A folder "holds a program file" when the engines file or the help page is
// in it. The settings file is the one QSettings(IniFormat, UserScope,
// "Quillex", "Quillex") uses; its value is read with QSettings' INI escaping.
class ProgramFolderLookup {
public:
    static constexpr std::string_view kHelpFileName = "qxhlp.html";

    // The lookup above for this process: the default settings file and the
    // running executable.
    static std::string Find();
    // The lookup above with a given settings file (missing or unreadable:
    // no Path) and executable.
    static std::string Find(const std::string& settingsFile,
                            const std::filesystem::path& executable);

    // $XDG_CONFIG_HOME/Quillex/Quillex.ini (a relative one taken from the
    // current directory, as Qt does), else ~/.config/Quillex/Quillex.ini;
    // empty without either.
    static std::string DefaultSettingsFile();

    // The [Main] Path value of an INI text as QSettings reads it back; empty
    // when absent or when it is not a single text (a list, a binary value).
    static std::string PathFromIni(std::string_view ini);

    // Step 2 alone: the installed share/quillex beside `executable`, or empty.
    static std::string InstalledBeside(const std::filesystem::path& executable);

    // Whether `folder` holds the engines file or the help page.
    static bool HoldsProgramFiles(const std::filesystem::path& folder);
};

}  // namespace qx
