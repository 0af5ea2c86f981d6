#include "cli/CliProgramFolder.h"

#include "links/EnginesFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qx {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string CliProgramFolder::PathFromIni(std::string_view ini) {
    bool inMain = false;
    std::size_t start = 0;
    while (start <= ini.size()) {
        std::size_t end = ini.find('\n', start);
        if (end == std::string_view::npos) {
            end = ini.size();
        }
        std::string_view line = TrimBlanks(ini.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inMain = line == "[Main]";
            continue;
        }
        std::size_t eq = line.find('=');
        if (!inMain || eq == std::string_view::npos || TrimBlanks(line.substr(0, eq)) != "Path") {
            continue;
        }
        std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return "";
}

std::string CliProgramFolder::SettingsFile() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        return "";
    }
    return base + "/Quillex/Quillex.ini";
}

std::string CliProgramFolder::InstalledBeside(const std::filesystem::path& executable) {
    namespace fs = std::filesystem;
    const fs::path dir = executable.parent_path();
    for (const fs::path& relative :
         {fs::path("../share/quillex"), fs::path("../../share/quillex")}) {
        const fs::path folder = (dir / relative).lexically_normal();
        std::error_code error;
        if (fs::is_regular_file(folder / EnginesFile::kFileName, error))
            return folder.string();
    }
    return "";
}

std::string CliProgramFolder::Find() {
    std::string settings = SettingsFile();
    if (!settings.empty()) {
        std::ifstream file(settings, std::ios::binary);
        if (file) {
            std::ostringstream text;
            text << file.rdbuf();
            std::string path = PathFromIni(text.str());
            if (!path.empty())
                return path;
        }
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    return error ? std::string() : InstalledBeside(self);
}

}  // namespace qx
