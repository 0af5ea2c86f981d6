// Runs the built quillex-cli against a site on 127.0.0.1.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/support/JsonChecker.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCli = QX_CLI_PATH;

// A small site: fixed pages plus an endless chain under /n/ and a slow page.
class TestSite {
public:
    TestSite() {
        server_.Get(
            ".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(1ms);
        }
    }
    ~TestSite() {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }

    void SetPage(const std::string& path, std::string body, std::string contentType = "text/html") {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[path] = {std::move(body), std::move(contentType)};
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Requests(const std::string& target) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = requests_.find(target);
        return it == requests_.end() ? 0 : it->second;
    }
    std::vector<std::string> Targets() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> targets;
        for (const auto& [target, count] : requests_) {
            targets.push_back(target);
        }
        return targets;
    }

private:
    void Serve(const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++requests_[req.target];
        }
        if (req.path.rfind("/n/", 0) == 0) {
            // Endless: every page links to three new ones.
            long k = std::atol(req.path.c_str() + 3);
            std::string body = "<html><title>chain</title><body>link page";
            for (long next = 3 * k + 1; next <= 3 * k + 3; ++next) {
                body += " <a href=\"/n/" + std::to_string(next) + ".html\">next</a>";
            }
            res.set_content(body + "</body></html>", "text/html");
            return;
        }
        if (req.path == "/slow.html") {
            auto until = std::chrono::steady_clock::now() + 20s;
            while (!stopping_ && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(10ms);
            }
            res.set_content("<html>late</html>", "text/html");
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pages_.find(req.path);
        if (it == pages_.end()) {
            res.status = 404;
            res.set_content("gone", "text/plain");
            return;
        }
        res.set_content(it->second.first, it->second.second.c_str());
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, std::pair<std::string, std::string>> pages_;
    std::map<std::string, int> requests_;
};

struct CliRun {
    int status = -1;  // exit status, or 128 + signal when killed
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Starts quillex-cli with stdout and stderr going to files in `dir`.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& dir,
            const std::vector<std::string>& env = {}, const fs::path& cwd = {}) {
    // Everything the child needs is made before the fork: between fork and
    // exec the child of a process with threads (the test site's) may not
    // allocate, as another thread may have held the allocator's lock.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kCli.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const std::string outPath = (dir / "out").string();
    const std::string errPath = (dir / "err").string();
    const std::string cwdPath = cwd.string();
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (const std::string& e : env) {
            putenv(const_cast<char*>(e.c_str()));
        }
        if (!cwdPath.empty() && chdir(cwdPath.c_str()) != 0) {
            _exit(126);
        }
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// Waits for the process; kills it after `limit` so a hang fails the test.
CliRun Finish(pid_t pid, const fs::path& dir, std::chrono::seconds limit = 60s) {
    CliRun run;
    auto deadline = std::chrono::steady_clock::now() + limit;
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            ADD_FAILURE() << "quillex-cli did not end in time";
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.out = ReadFile(dir / "out");
    run.err = ReadFile(dir / "err");
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
    for (const std::string& l : Lines(text)) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

using qx::test::JsonChecker;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (kCli.empty()) {
            GTEST_SKIP() << "quillex-cli is not built";
        }
        dir_ = fs::temp_directory_path() /
               ("qx_cli_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        site_.SetPage("/index.html",
                      "<html><head><title>Home\tpage</title></head><body>"
                      "Here is a needle in the text. <a href=\"a.html\">a</a> "
                      "<a href=\"b.html\">b</a> <a href=\"missing.html\">m</a>"
                      "</body></html>");
        site_.SetPage("/a.html",
                      "<html><head><title>Page \"A\" caf\xE9</title></head><body>"
                      "another needle here</body></html>");
        site_.SetPage("/b.html", "<html><head><title>B</title></head><body>nothing</body></html>");
    }
    void TearDown() override {
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    CliRun Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
               const fs::path& cwd = {}) {
        return Finish(Spawn(args, dir_, env, cwd), dir_);
    }

    // An engines file in `folder` with one engine on the test site.
    void WriteEngine(const fs::path& folder, const std::string& pathOnSite) {
        fs::create_directories(folder);
        std::ofstream(folder / "engines.qeg") << site_.Url(pathOnSite) << " -1 -1\r\n";
    }

    // The per-user settings file of the runs below.
    void WriteSettings(const std::string& text) {
        fs::create_directories(dir_ / "config" / "Quillex");
        std::ofstream(dir_ / "config" / "Quillex" / "Quillex.ini") << text;
    }

    // A command-line search with the settings above.
    CliRun RunCommandLine(const std::string& words, const fs::path& cwd = {}) {
        return Run({"--engine-timing", "10,1", "--command-line", words},
                   {"XDG_CONFIG_HOME=" + (dir_ / "config").string()}, cwd);
    }

    // Records `folder` as the program folder the way an install does.
    int SetProgramFolder(const fs::path& folder) {
        const std::string command = "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' '" +
                                    std::string(QX_SCRIPTS_DIR) + "/set-program-folder.sh' '" +
                                    folder.string() + "' >/dev/null";
        return std::system(command.c_str());
    }

    TestSite site_;
    fs::path dir_;
};

TEST_F(CliTest, CrawlWritesScanAndMatchRowsAndFinishes) {
    CliRun run = Run({"--search", "needle", "--engine-timing", "10,1", "--engine-stats",
                      site_.Url("/index.html")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Search finished"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Scanned: 4"), std::string::npos) << run.err;
    // Each of the four pages was examined once to start it.
    long long rounds = 0;
    long long examinations = 0;
    const std::size_t stats = run.err.find("Engine: ");
    ASSERT_NE(stats, std::string::npos) << run.err;
    ASSERT_EQ(std::sscanf(run.err.c_str() + stats,
                          "Engine: %lld rounds, %lld examinations counted against the cap", &rounds,
                          &examinations),
              2);
    EXPECT_GE(rounds, 8);  // at least one with entries, then seven empty ones
    EXPECT_GE(examinations, 4);
    // Tabs inside a title become blanks so the columns stay put; a failed
    // page says why in the fifth field.
    EXPECT_TRUE(HasLine(run.out, "scan\tB\t" + site_.Url("/b.html") + "\tNO MATCH\t")) << run.out;
    const std::string failed = "\t" + site_.Url("/missing.html") + "\tCONNECTION FAILED\tHTTP 404";
    EXPECT_TRUE(HasLine(run.out, "scan\t " + failed)) << run.out;
    int scans = 0, matches = 0;
    for (const std::string& line : Lines(run.out)) {
        scans += line.rfind("scan\t", 0) == 0;
        matches += line.rfind("match\t", 0) == 0;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3 + (line[0] == 's')) << line;
    }
    EXPECT_EQ(matches, 2) << run.out;
    EXPECT_EQ(scans, 4) << run.out;
    EXPECT_NE(run.out.find("match\tHome page\t" + site_.Url("/index.html")), std::string::npos)
        << run.out;
}

TEST_F(CliTest, JsonLinesAreValidEvenForLatin1Titles) {
    CliRun run =
        Run({"--json", "--search", "needle", "--engine-timing", "10,1", site_.Url("/index.html")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 6u) << run.out;
    for (const std::string& line : lines) {
        EXPECT_TRUE(JsonChecker(line).Valid()) << line;
    }
    EXPECT_NE(run.out.find("\"title\":\"Page \\\"A\\\" caf\\u00e9\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("{\"type\":\"match\""), std::string::npos) << run.out;
}

TEST_F(CliTest, StartUrlLimitsAreHonoured) {
    // Max depth 0: the start page's own links are fetched, theirs are not.
    site_.SetPage("/b.html", "<html><title>B</title><body><a href=\"c.html\">c</a></body></html>");
    site_.SetPage("/c.html", "<html><title>C</title><body>end</body></html>");
    CliRun run =
        Run({"--search", "needle", "--engine-timing", "10,1", site_.Url("/index.html"), "0", "-1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/b.html"), 1);
    EXPECT_EQ(site_.Requests("/c.html"), 0);
    // Unlimited (-1) follows the chain to its end.
    run = Run({"--search", "needle", "--engine-timing", "10,1", site_.Url("/index.html"), "-1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/c.html"), 1);
}

TEST_F(CliTest, BadArgumentsAndRefusedStartExitTwo) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* errPart;
    } cases[] = {
        {"unknown option", {"--search", "x", "--frobnicate", "http://h/"}, "--frobnicate"},
        {"missing value", {"http://h/", "--max-depth"}, "needs a value"},
        {"non-number", {"--search", "x", "--max-connections", "many", "http://h/"}, "many"},
        {"no url", {"--search", "x"}, "no start URL"},
        {"no search", {"http://h/"}, "no search item"},
        {"blank search refused by Start",
         {"--search", "   ", "http://h/"},
         "Before starting the search you must enter an item to search for."},
        {"unreadable link file",
         {"--search", "x", "--links", "/nonexistent/links.qxt"},
         "/nonexistent/links.qxt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliTest, HelpAndVersion) {
    CliRun help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--engine-timing"), std::string::npos);
    CliRun version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quillex-cli 1.0.2.0\n");
}

TEST_F(CliTest, ManyConnectionsWarnAndContinue) {
    CliRun run = Run({"--search", "needle", "--engine-timing", "10,1", "--max-connections", "200",
                      site_.Url("/index.html")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Warning: QuillEx is continuing with \"Max Connections:\" greater "
                           "than 115."),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Search finished"), std::string::npos);
}

TEST_F(CliTest, SignalsStopTheSearch) {
    const struct {
        const char* name;
        int signo;
        int status;
    } cases[] = {{"interrupt", SIGINT, 130}, {"terminate", SIGTERM, 143}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The last case's rows must not pass for this one's before it starts.
        fs::remove(dir_ / "out");
        pid_t pid =
            Spawn({"--search", "needle", "--engine-timing", "10,1", site_.Url("/n/0.html")}, dir_);
        // Wait until the endless crawl is under way (rows written).
        auto deadline = std::chrono::steady_clock::now() + 20s;
        while (ReadFile(dir_ / "out").find("/n/1.html") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        kill(pid, c.signo);
        CliRun run = Finish(pid, dir_, 30s);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.out.find("/n/0.html\tNO MATCH"), std::string::npos);
        EXPECT_NE(run.err.find("Scanned: "), std::string::npos) << run.err;
    }
}

TEST_F(CliTest, SecondInterruptEndsAtOnce) {
    pid_t pid =
        Spawn({"--search", "needle", "--engine-timing", "10,1", site_.Url("/slow.html")}, dir_);
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (site_.Requests("/slow.html") == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGINT);
    std::this_thread::sleep_for(200ms);
    kill(pid, SIGINT);
    // The slow page takes 20 s; the second interrupt must not wait for it.
    auto start = std::chrono::steady_clock::now();
    CliRun run = Finish(pid, dir_, 30s);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(CliTest, LinkFileRowsStartTheSearch) {
    fs::path links = dir_ / "links.qxt";
    std::ofstream(links) << site_.Url("/a.html") << " 0 -1\r\n\r\n"
                         << site_.Url("/b.html") << " 0\r\n";
    CliRun run = Run({"--search", "needle", "--engine-timing", "10,1", "--links", links.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/a.html"), 1);
    EXPECT_EQ(site_.Requests("/b.html"), 1);
    EXPECT_EQ(site_.Requests("/index.html"), 0);
}

TEST_F(CliTest, CommandLineSearchAsksEveryEngineWithAllWords) {
    site_.SetPage("/se/cats+dogs++birds",
                  "<html><title>Results</title><body>cats and birds</body></html>");
    fs::path folder = dir_ / "program";
    WriteEngine(folder, "/se/|search");
    WriteSettings("[Main]\nPath=" + folder.string() + "\n");
    CliRun run = RunCommandLine("cats dogs  birds");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/se/cats+dogs++birds"), 1)
        << ::testing::PrintToString(site_.Targets());
    // The first word is the search item.
    EXPECT_NE(run.out.find("match\tResults\t"), std::string::npos) << run.out;
}

TEST_F(CliTest, EnginesFilePutsTheSearchWordsIn) {
    site_.SetPage("/q/red+cars", "<html><title>R</title><body>red cars</body></html>");
    fs::path engines = dir_ / "engines.qeg";
    std::ofstream(engines) << site_.Url("/q/|search") << " 0 -1\r\n";
    CliRun run =
        Run({"--search", "red cars", "--engine-timing", "10,1", "--engines", engines.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/q/red+cars"), 1) << ::testing::PrintToString(site_.Targets());
}

TEST_F(CliTest, CommandLineSearchFindsTheEnginesInTheInstalledProgramFolder) {
    site_.SetPage("/se/cats", "<html><title>Results</title><body>cats</body></html>");
    // A blank in the folder's name, as in a home folder "My Programs".
    fs::path folder = dir_ / "my programs";
    WriteEngine(folder, "/se/|search");
    WriteSettings("[General]\nx=10\n");
    ASSERT_EQ(SetProgramFolder(folder), 0);
    // A second install elsewhere keeps the folder the user has.
    ASSERT_EQ(SetProgramFolder(dir_ / "elsewhere"), 0);
    const std::string settings = ReadFile(dir_ / "config" / "Quillex" / "Quillex.ini");
    EXPECT_NE(settings.find("x=10"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("elsewhere"), std::string::npos) << settings;

    CliRun run = RunCommandLine("cats");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/se/cats"), 1) << ::testing::PrintToString(site_.Targets());
}

TEST_F(CliTest, CommandLineSearchWithoutAProgramFolderReadsTheCurrentDirectory) {
    site_.SetPage("/here/cats", "<html><title>Here</title><body>cats</body></html>");
    fs::path work = dir_ / "work";
    WriteEngine(work, "/here/|search");
    WriteSettings("[Main]\nPath=\n");
    CliRun run = RunCommandLine("cats", work);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(site_.Requests("/here/cats"), 1) << ::testing::PrintToString(site_.Targets());
}

}  // namespace
