#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace qx {

// The host manifests that tell Chromium, Google Chrome and Firefox where the
// host is and which extension may start it, one file per browser in the
// installing user's folders.
class HostRegistration {
public:
    struct Target {
        std::filesystem::path folder;
        bool firefox = false;
    };

    // The user's manifest folders: under XDG_CONFIG_HOME (or ~/.config) for
    // Chromium and Chrome, under ~/.mozilla for Firefox. Empty when neither
    // variable says where home is.
    static std::vector<Target> UserTargets(const std::string& home,
                                           const std::string& xdgConfigHome);

    // The manifest text for one browser.
    static std::string Manifest(const std::filesystem::path& hostPath, bool firefox);

    // Writes the manifest into every target folder, creating folders that are
    // missing. A folder that fails is reported and skipped; true only when
    // every target was written.
    static bool Register(const std::filesystem::path& hostPath, const std::vector<Target>& targets,
                         std::ostream& log);

    // Removes the manifests written by Register and nothing else; the folders
    // stay. True when none is left behind.
    static bool Unregister(const std::vector<Target>& targets, std::ostream& log);

    static std::filesystem::path FileIn(const Target& target);
};

}  // namespace qx
