// quillex-cli --robots-check, for site owners checking their robots.txt.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/CliRobotsCheck.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

// What a stream received.
std::string Written(std::FILE* stream) {
    std::string text(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    return text;
}

TEST(CliRobotsTest, RobotsCheckSaysAllowedOrDisallowed) {
    const fs::path file = fs::temp_directory_path() / ("qx_robots_" + std::to_string(getpid()));
    std::ofstream(file)
        << "User-agent: *\nDisallow: /private/\n\nUser-agent: QuillEx\nDisallow: /\n";
    const struct {
        const char* agent;
        const char* url;
        const char* out;
    } cases[] = {
        {"Mozilla/5.0 (X11)", "http://h.example/private/a.html", "disallowed\n"},
        {"Mozilla/5.0 (X11)", "http://h.example/public/a.html", "allowed\n"},
        {"QuillEx/1.0", "http://h.example/public/a.html", "disallowed\n"},
        {"Mozilla/5.0 (X11)", "/private/", "disallowed\n"},
    };
    for (const auto& c : cases) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(RunRobotsCheck({file.string(), c.agent, c.url}, out, err), 0) << Written(err);
        EXPECT_EQ(Written(out), c.out) << c.agent << " " << c.url;
    }
    fs::remove(file);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(RunRobotsCheck({file.string(), "Bot", "/"}, out, err), 2);
    EXPECT_EQ(Written(out), "");
    EXPECT_NE(Written(err).find(file.filename().string()), std::string::npos);
}

}  // namespace
}  // namespace qx
