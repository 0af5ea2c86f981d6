#include "links/EnginesFile.h"

#include "links/LinkFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qx {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class EnginesFileDir : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qx_engines_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "engines.qeg").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteEngines(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

    fs::path dir_;
    std::string path_;
};

TEST(EnginesFileLocation, ProgramFolderOrCurrentDirectory) {
    EXPECT_EQ(EnginesFile::Location(""), "engines.qeg");
    EXPECT_EQ(EnginesFile::Location("/opt/quillex"), "/opt/quillex/engines.qeg");
    EXPECT_EQ(EnginesFile::Location("/opt/quillex/"), "/opt/quillex/engines.qeg");
}

TEST(EnginesFileQuery, SearchWordsTakeTheMarkersPlace) {
    struct Case {
        const char* name;
        std::string engineUrl;
        std::string searchItem;
        std::string expected;
    };
    const Case cases[] = {
        {"two words joined by +", "http://e.com/search?q=|search", "red cars",
         "http://e.com/search?q=red+cars"},
        {"leading blank gives a leading +", "http://e.com/?q=|search", " red",
         "http://e.com/?q=+red"},
        {"marker in the middle", "http://e.com/?q=|search&lang=en", "cats",
         "http://e.com/?q=cats&lang=en"},
        {"only the first of two markers", "http://e.com/?q=|search&r=|search", "a b",
         "http://e.com/?q=a+b&r=|search"},
        {"no marker: copied unchanged", "http://plain.com/start", "cats", "http://plain.com/start"},
        {"marker is case-sensitive", "http://e.com/?q=|SEARCH", "cats", "http://e.com/?q=|SEARCH"},
        {"nothing else is encoded", "http://e.com/?q=|search", "a&b+c\xe9",
         "http://e.com/?q=a&b+c\xe9"},
        {"marker alone", "|search", "x y", "x+y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EnginesFile::QueryUrl(c.engineUrl, EnginesFile::QueryWords(c.searchItem)),
                  c.expected);
    }
}

TEST(EnginesFileTemplate, WhatALocationTeaches) {
    struct Case {
        const char* name;
        std::string location;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"query value with parameters after it", "http://e.com/s?q=quillex&lang=en&n=10",
         "http://e.com/s?q=|search&lang=en&n=10"},
        {"word ends the location", "http://e.com/s?q=quillex", "http://e.com/s?q=|search"},
        {"only the first occurrence", "http://e.com/quillex?q=quillex",
         "http://e.com/|search?q=quillex"},
        {"capital Q teaches nothing", "http://e.com/s?q=Quillex", std::nullopt},
        {"no product word", "http://e.com/s?q=cats", std::nullopt},
        {"product's own domain", "http://www.quillex.com/?q=quillex", std::nullopt},
        {"product's domain in other case", "http://WWW.QUILLEX.COM/?q=quillex", std::nullopt},
        {"product's domain anywhere", "http://e.com/?q=quillex&ref=quillex.com", std::nullopt},
        {"line break in the location", "http://e.com/?q=quillex\r\nx", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EnginesFile::TemplateFromLocation(c.location), c.expected);
    }
}

TEST(EnginesFileTemplate, LearnedLineIsALinkLine) {
    EXPECT_EQ(EnginesFile::LearnedLine(" http://e.com/?q=|search\t"),
              "http://e.com/?q=|search -1 -1");
    std::string line = EnginesFile::LearnedLine("http://e.com/a b?q=|search");
    EXPECT_EQ(LinkFile::ParseLine(line), (LinkLine{"http://e.com/a%20b?q=|search", "-1", "-1"}));
}

TEST_F(EnginesFileDir, LearningAppendsOneLine) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const std::string added = "http://e.com/?q=|search -1 -1\r\n";
    const Case cases[] = {
        {"empty file", "", added},
        {"file ending in CR LF", "http://a.com/?q=|search -1 -1\r\n",
         "http://a.com/?q=|search -1 -1\r\n" + added},
        {"file ending in LF", "http://a.com/?q=|search -1 -1\n",
         "http://a.com/?q=|search -1 -1\n" + added},
        {"file without a final line end", "http://a.com/?q=|search -1 -1",
         "http://a.com/?q=|search -1 -1\r\n" + added},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteEngines(c.before);
        EXPECT_EQ(EnginesFile::Learn("http://e.com/?q=quillex", path_),
                  EnginesFile::LearnResult::Added);
        EXPECT_EQ(ReadAll(path_), c.after);
        const auto lines = EnginesFile::Read(path_);
        ASSERT_TRUE(lines.has_value());
        EXPECT_EQ(lines->back(), "http://e.com/?q=|search -1 -1");
    }
}

TEST_F(EnginesFileDir, NothingLearnedLeavesTheFileAlone) {
    WriteEngines("http://a.com/?q=|search -1 -1\r\n");
    for (const char* location : {"http://e.com/?q=Quillex", "http://www.quillex.com/?q=quillex"}) {
        SCOPED_TRACE(location);
        EXPECT_EQ(EnginesFile::Learn(location, path_), EnginesFile::LearnResult::NothingToLearn);
        EXPECT_EQ(ReadAll(path_), "http://a.com/?q=|search -1 -1\r\n");
    }
    EXPECT_TRUE(EnginesFile::MessageFor(EnginesFile::LearnResult::NothingToLearn).empty());
}

TEST_F(EnginesFileDir, MissingFileIsNotCreated) {
    EXPECT_EQ(EnginesFile::Learn("http://e.com/?q=quillex", path_),
              EnginesFile::LearnResult::FileNotFound);
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(EnginesFile::MessageFor(EnginesFile::LearnResult::FileNotFound),
              "Engine File not Found");
    EXPECT_EQ(EnginesFile::Learn("http://e.com/?q=quillex", dir_.string()),
              EnginesFile::LearnResult::FileNotFound)
        << "a directory is no engines file";
    EXPECT_EQ(EnginesFile::MessageFor(EnginesFile::LearnResult::Added),
              "Search engine added to QuillEx");
}

TEST_F(EnginesFileDir, ReadingFailsCleanlyWhenMissing) {
    EXPECT_FALSE(EnginesFile::Read(path_).has_value());
    WriteEngines("http://a.com/?q=|search -1 -1\r\nhttp://b.com/?q=|search\n");
    const auto lines = EnginesFile::Read(path_);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, (std::vector<std::string>{"http://a.com/?q=|search -1 -1",
                                                "http://b.com/?q=|search"}));
}

TEST(EnginesFileShipped, EveryLineIsAnEngineTemplate) {
    const fs::path shipped =
        fs::path(__FILE__).parent_path() / ".." / ".." / "data" / "engines.qeg";
    const std::string content = ReadAll(shipped);
    ASSERT_FALSE(content.empty()) << shipped;
    const auto lines = EnginesFile::Read(shipped.string());
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(LinkFile::SplitLines(content).size() * 2,
              static_cast<size_t>(std::count(content.begin(), content.end(), '\n') +
                                  std::count(content.begin(), content.end(), '\r')))
        << "every line ends in CR LF";
    for (std::string line : *lines) {
        SCOPED_TRACE(line);
        const LinkLine row = LinkFile::ParseLine(line);
        EXPECT_TRUE(row.url.starts_with("https://"));
        EXPECT_NE(row.url.find(EnginesFile::kSearchMarker), std::string::npos);
        EXPECT_EQ(row.depth, "-1");
        EXPECT_EQ(row.width, "-1");
    }
}

// Every line of the file must be one whole learned line: no torn or joined lines.
void ExpectWholeLines(const std::string& content, size_t expectedLines) {
    const std::vector<std::string> lines = LinkFile::SplitLines(content);
    ASSERT_EQ(lines.size(), expectedLines);
    for (const std::string& line : lines) {
        ASSERT_TRUE(line.rfind("http://engine", 0) == 0 && line.ends_with("/?q=|search -1 -1"))
            << "torn line: " << line.substr(0, 80);
    }
    ASSERT_TRUE(content.ends_with("\r\n"));
}

std::string LongLocation(int writer, int k) {
    // Long enough that an unlocked writer's line would be split across writes.
    return "http://engine" + std::to_string(writer) + "-" + std::to_string(k) + "." +
           std::string(3000, 'a') + ".com/?q=quillex";
}

TEST_F(EnginesFileDir, ConcurrentThreadsNeverTearLines) {
    WriteEngines("http://engine0-start.com/?q=|search -1 -1");  // no final line end
    constexpr int kWriters = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([this, w] {
            for (int k = 0; k < kEach; ++k)
                EnginesFile::Learn(LongLocation(w, k), path_);
        });
    }
    for (auto& t : writers)
        t.join();
    ExpectWholeLines(ReadAll(path_), 1 + kWriters * kEach);
}

TEST_F(EnginesFileDir, ConcurrentProcessesNeverTearLines) {
    WriteEngines("");
    constexpr int kWriters = 4;
    constexpr int kEach = 50;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int k = 0; k < kEach; ++k)
                failures += EnginesFile::Learn(LongLocation(w, k), path_) !=
                            EnginesFile::LearnResult::Added;
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ExpectWholeLines(ReadAll(path_), kWriters * kEach);
}

}  // namespace
}  // namespace qx
