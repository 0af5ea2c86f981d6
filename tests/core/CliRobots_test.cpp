// quillex-cli and robots.txt: --robots-check for site owners, and a crawl
// with --obey-robots writing its refused rows and their count.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/support/LoopbackSite.h"

namespace {

namespace fs = std::filesystem;

struct Output {
    int status = -1;
    std::string out;
    std::string err;
};

class CliRobotsTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::string(QX_CLI_PATH).empty()) {
            GTEST_SKIP() << "quillex-cli is not built";
        }
        dir_ = fs::temp_directory_path() / ("qx_cli_robots_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "robots.txt") << "User-agent: *\nDisallow: /private/\n\n"
                                              "User-agent: QuillEx\nDisallow: /\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs quillex-cli with `args` (each single-quoted for the shell).
    Output Run(const std::vector<std::string>& args) {
        std::string command = std::string("'") + QX_CLI_PATH + "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        command += " 2>'" + (dir_ / "err").string() + "'";
        Output result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            ADD_FAILURE() << "cannot run " << command;
            return result;
        }
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            result.out.append(buffer, n);
        }
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(dir_ / "err");
        std::ostringstream text;
        text << err.rdbuf();
        result.err = text.str();
        return result;
    }

    fs::path dir_;
};

TEST_F(CliRobotsTest, RobotsCheckSaysAllowedOrDisallowed) {
    const std::string file = (dir_ / "robots.txt").string();
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
        const Output run = Run({"--robots-check", file, c.agent, c.url});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out) << c.agent << " " << c.url;
    }
    const Output missing = Run({"--robots-check", (dir_ / "none.txt").string(), "Bot", "/"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("none.txt"), std::string::npos) << missing.err;
    const Output folder = Run({"--robots-check", dir_.string(), "Bot", "/"});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.out, "");
}

TEST_F(CliRobotsTest, ObeyingCrawlWritesTheRefusedRowAndCountsIt) {
    qx::test::LoopbackSite site({
        {"/", {"<a href=\"/private/a.html\">a</a> <a href=\"/b.html\">b</a>"}},
        {"/b.html", {"<p>b</p>"}},
        {"/private/a.html", {"<p>a</p>"}},
        {"/robots.txt", {"User-agent: *\nDisallow: /private/\n", "text/plain"}},
    });
    const Output run =
        Run({"--search", "needle", "--engine-timing", "10,1", "--obey-robots", "--include",
             "127.0.0.1:" + std::to_string(site.Port()), "--include-url", site.Url("/")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("scan\t \t" + site.Url("/private/a.html") +
                           "\tROBOTS.TXT DISALLOWED\trobots.txt\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("Disallowed by robots.txt: 1\n"), std::string::npos) << run.err;
    EXPECT_EQ(site.Requests("/private/a.html"), 0);
    EXPECT_EQ(site.Requests("/robots.txt"), 1);
}

}  // namespace
