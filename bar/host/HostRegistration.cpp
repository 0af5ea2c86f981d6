#include "bar/host/HostRegistration.h"

#include "bar/host/BarIdentity.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <system_error>

namespace qx {

namespace fs = std::filesystem;

std::vector<HostRegistration::Target> HostRegistration::UserTargets(
    const std::string& home, const std::string& xdgConfigHome) {
    std::vector<Target> targets;
    fs::path config;
    if (!xdgConfigHome.empty())
        config = xdgConfigHome;
    else if (!home.empty())
        config = fs::path(home) / ".config";
    if (!config.empty()) {
        targets.push_back({config / "chromium" / "NativeMessagingHosts", false});
        targets.push_back({config / "google-chrome" / "NativeMessagingHosts", false});
    }
    if (!home.empty())
        targets.push_back({fs::path(home) / ".mozilla" / "native-messaging-hosts", true});
    return targets;
}

std::string HostRegistration::Manifest(const fs::path& hostPath, bool firefox) {
    nlohmann::ordered_json manifest;
    manifest["name"] = BarIdentity::kHostName;
    manifest["description"] = BarIdentity::kDescription;
    manifest["path"] = hostPath.string();
    manifest["type"] = "stdio";
    if (firefox)
        manifest["allowed_extensions"] = {BarIdentity::kFirefoxId};
    else
        manifest["allowed_origins"] = {BarIdentity::kChromiumOrigin};
    return manifest.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

fs::path HostRegistration::FileIn(const Target& target) {
    return target.folder / (std::string(BarIdentity::kHostName) + ".json");
}

namespace {

// Writes the file whole or not at all: a new file beside it, then a rename.
bool WriteReplacing(const fs::path& file, const std::string& text) {
    fs::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace

bool HostRegistration::Register(const fs::path& hostPath, const std::vector<Target>& targets,
                                std::ostream& log) {
    if (targets.empty())
        log << "qxbar-host: neither HOME nor XDG_CONFIG_HOME says where to register\n";
    bool allWritten = !targets.empty();
    for (const Target& target : targets) {
        std::error_code error;
        fs::create_directories(target.folder, error);
        const fs::path file = FileIn(target);
        if (error || !WriteReplacing(file, Manifest(hostPath, target.firefox))) {
            log << "qxbar-host: cannot write " << file.string() << "\n";
            allWritten = false;
            continue;
        }
        log << "qxbar-host: registered in " << file.string() << "\n";
    }
    return allWritten;
}

bool HostRegistration::Unregister(const std::vector<Target>& targets, std::ostream& log) {
    bool allRemoved = !targets.empty();
    for (const Target& target : targets) {
        const fs::path file = FileIn(target);
        std::error_code error;
        fs::remove(file, error);
        // A folder we cannot even look into may still hold the file.
        if (error && error != std::errc::no_such_file_or_directory) {
            log << "qxbar-host: cannot remove " << file.string() << "\n";
            allRemoved = false;
        }
    }
    return allRemoved;
}

}  // namespace qx
