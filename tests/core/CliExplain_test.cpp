// quillex-cli --explain and --summary on a loopback site.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/support/JsonChecker.h"
#include "core/support/LoopbackSite.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    std::vector<std::string> out;
    std::vector<std::string> err;
};

std::vector<std::string> LinesOf(std::istream& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Runs quillex-cli kept on the site's loopback address.
CliRun RunCli(const std::string& options, const std::string& url) {
    const fs::path err = fs::temp_directory_path() / ("qx-explain-" + std::to_string(getpid()));
    const std::string command = std::string(QX_CLI_PATH) +
                                " --search word --include 127.0.0.1 --include-url"
                                " --engine-timing 20,1 " +
                                options + " " + url + " 2>" + err.string();
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot start " << command;
        return run;
    }
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    std::istringstream outText(text);
    run.out = LinesOf(outText);
    std::ifstream errFile(err);
    run.err = LinesOf(errFile);
    fs::remove(err);
    return run;
}

long long Member(const std::string& json, const std::string& key) {
    const std::string quoted = "\"" + key + "\":";
    const std::size_t at = json.find(quoted);
    return at == std::string::npos ? -1 : std::atoll(json.c_str() + at + quoted.size());
}

TEST(CliExplainTest, AHundredThousandDroppedLinksGiveValidLinesAndAJsonSummary) {
    std::string page = "<p>word</p><a href=\"/next.html\">n</a>";
    for (int i = 0; i < 100000; ++i) {
        page += "<a href=\"/p" + std::to_string(i) + ",'x'.jpg\">i</a>";
    }
    test::LoopbackSite site({{"/", {page}}, {"/next.html", {"<a href=\"/next.html\">self</a>"}}});

    const CliRun run = RunCli("--explain --summary --json", site.Url("/"));
    long long images = 0;
    long long duplicates = 0;
    for (const std::string& line : run.out) {
        ASSERT_TRUE(test::JsonChecker(line).Valid()) << line;
        images += line.find("\"reason\":\"image\"") != std::string::npos ? 1 : 0;
        duplicates += line.find("\"reason\":\"duplicate\"") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(images, 100000);
    EXPECT_EQ(duplicates, 1);
    std::string summary;
    for (const std::string& line : run.err) {
        if (!line.empty() && line.front() == '{') {
            summary = line;
        }
    }
    ASSERT_TRUE(test::JsonChecker(summary).Valid()) << summary;
    EXPECT_EQ(Member(summary, "image"), 100000) << summary;
    EXPECT_EQ(Member(summary, "pages_fetched"), 2) << summary;
    EXPECT_EQ(Member(summary, "links_seen"),
              Member(summary, "links_queued") + Member(summary, "links_dropped"))
        << summary;
}

TEST(CliExplainTest, WithoutExplainNoSkipLinesAndTheSummaryIsText) {
    test::LoopbackSite site({{"/", {"<p>word</p><a href=\"/a.jpg\">i</a>"}}});
    const CliRun run = RunCli("--summary", site.Url("/"));
    for (const std::string& line : run.out) {
        EXPECT_NE(line.rfind("skip", 0), 0u) << line;
    }
    bool imageLine = false;
    for (const std::string& line : run.err) {
        imageLine = imageLine || line == "  image: 1";
    }
    EXPECT_TRUE(imageLine);
}

}  // namespace
}  // namespace qx
