#include "cli/CliRobotsCheck.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "cli/CliRunner.h"
#include "html/RobotsTxt.h"

namespace qx {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads as much of the file as a crawler would read; false with errno set
// when it cannot be read (missing, a folder, no permission).
bool ReadRobotsFile(const std::string& path, std::string& text) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    text.resize(RobotsRules::kMaxFileBytes);
    const std::size_t read = std::fread(text.data(), 1, text.size(), file.get());
    text.resize(read);
    return std::ferror(file.get()) == 0;
}

}  // namespace

int RunRobotsCheck(const CliRobotsCheck& check, std::FILE* out, std::FILE* err) {
    std::string text;
    if (!ReadRobotsFile(check.file, text)) {
        std::fprintf(err, "quillex-cli: cannot read %s: %s\n", check.file.c_str(),
                     std::strerror(errno));
        return CliRunner::kExitUsage;
    }
    const RobotsRules rules = RobotsRules::Parse(text, RobotsProductToken(check.agent));
    std::fputs(rules.Allowed(RobotsPathOf(check.url)) ? "allowed\n" : "disallowed\n", out);
    return std::fflush(out) == 0 ? 0 : CliRunner::kExitFailure;
}

}  // namespace qx
