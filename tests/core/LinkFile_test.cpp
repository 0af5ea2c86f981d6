#include "links/LinkFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qx {
namespace {

namespace fs = std::filesystem;

class LinkFileDir : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qx_linkfile_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path dir_;
};

TEST(LinkFileParseLine, FieldsOfALine) {
    struct Case {
        const char* name;
        std::string line;
        LinkLine expected;
        std::string trimmedLine;
    };
    const Case cases[] = {
        {"all three fields", "http://a.com 3 5", {"http://a.com", "3", "5"}, "http://a.com 3 5"},
        {"URL only", "http://a.com", {"http://a.com", "", ""}, "http://a.com"},
        {"URL and depth", "http://a.com 3", {"http://a.com", "3", ""}, "http://a.com 3"},
        {"white space at both ends",
         " \t http://a.com 3 5\r\n",
         {"http://a.com", "3", "5"},
         "http://a.com 3 5"},
        {"tab inside the URL field",
         "http://a.com\t3 5",
         {"http://a.com\t3", "5", ""},
         "http://a.com\t3 5"},
        {"tab at the ends of the depth field",
         "http://a.com \t3\t 5",
         {"http://a.com", "3", "5"},
         "http://a.com \t3\t 5"},
        {"two blanks after the URL",
         "http://a.com  5",
         {"http://a.com", "", "5"},
         "http://a.com  5"},
        {"further blanks stay in the width",
         "http://a.com 1 2 3",
         {"http://a.com", "1", "2 3"},
         "http://a.com 1 2 3"},
        {"empty line", "", {"", "", ""}, ""},
        {"blanks only", "   \t ", {"", "", ""}, ""},
        {"saved empty columns come back as -1",
         "http://a.com -1 -1",
         {"http://a.com", "-1", "-1"},
         "http://a.com -1 -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = c.line;
        EXPECT_EQ(LinkFile::ParseLine(line), c.expected);
        EXPECT_EQ(line, c.trimmedLine);
    }
}

TEST(LinkFileFormatLine, MissingColumnsBecomeMinusOne) {
    struct Case {
        const char* name;
        LinkLine row;
        std::string expected;
    };
    const Case cases[] = {
        {"URL only", {"http://a.com", "", ""}, "http://a.com -1 -1"},
        {"depth only", {"http://a.com", "3", ""}, "http://a.com 3 -1"},
        {"width only", {"http://a.com", "", "5"}, "http://a.com -1 5"},
        {"both", {"http://a.com", "3", "5"}, "http://a.com 3 5"},
        {"empty URL is not saved", {"", "3", "5"}, ""},
        {"white space at the ends is removed", {" http://a.com", "3", "5 "}, "http://a.com 3 5"},
        {"blank inside the URL is written as is",
         {"http://a.com x", "", ""},
         "http://a.com x -1 -1"},
        {"a line break cannot split the row", {"http://a.com\nb", "1", "2"}, "http://a.com b 1 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LinkFile::FormatLine(c.row), c.expected);
    }
}

TEST(LinkFileRoundTrip, SavedRowsLoadBack) {
    struct Case {
        const char* name;
        LinkLine saved;
        LinkLine loaded;
    };
    const Case cases[] = {
        {"URL only gives -1 -1", {"http://a.com", "", ""}, {"http://a.com", "-1", "-1"}},
        {"depth only", {"http://a.com", "3", ""}, {"http://a.com", "3", "-1"}},
        {"width only", {"http://a.com", "", "5"}, {"http://a.com", "-1", "5"}},
        {"full row unchanged", {"http://a.com/?q=x", "2", "7"}, {"http://a.com/?q=x", "2", "7"}},
        {"blank in the URL moves the rest into depth",
         {"http://a.com x", "1", "2"},
         {"http://a.com", "x", "1 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> lines = LinkFile::SplitLines(LinkFile::Serialize({c.saved}));
        ASSERT_EQ(lines.size(), 1u);
        std::string line = lines[0];
        EXPECT_EQ(LinkFile::ParseLine(line), c.loaded);
    }
}

TEST(LinkFileSerialize, CrLfLinesAndEmptyUrlsSkipped) {
    const std::vector<LinkLine> rows = {
        {"http://a.com", "1", "2"}, {"", "5", "5"}, {"http://b.com", "", ""}};
    EXPECT_EQ(LinkFile::Serialize(rows), "http://a.com 1 2\r\nhttp://b.com -1 -1\r\n");
    EXPECT_EQ(LinkFile::Serialize({}), "");
}

TEST(LinkFileSplitLines, LineEnds) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"empty content", "", {}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"mixed", "a\r\nb\nc", {"a", "b", "c"}},
        {"no final line end", "a\r\nb", {"a", "b"}},
        {"empty line in between", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"lone CR stays in the line", "a\rb\n", {"a\rb"}},
        {"NUL bytes are kept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LinkFile::SplitLines(c.content), c.lines);
    }
}

TEST_F(LinkFileDir, ReadsWhatSerializeWrote) {
    const std::vector<LinkLine> rows = {{"http://a.com", "1", "2"}, {"http://b.com", "", "4"}};
    const auto lines = LinkFile::ReadLines(Write("links.qxt", LinkFile::Serialize(rows)));
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, (std::vector<std::string>{"http://a.com 1 2", "http://b.com -1 4"}));
}

TEST_F(LinkFileDir, UnreadablePathsFailCleanly) {
    EXPECT_FALSE(LinkFile::ReadLines((dir_ / "missing.qxt").string()).has_value());
    EXPECT_FALSE(LinkFile::ReadLines(dir_.string()).has_value()) << "a directory is no link file";
    EXPECT_FALSE(LinkFile::ReadLines("").has_value());
}

TEST_F(LinkFileDir, BadInputLoadsWithoutHarm) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    const std::string longLine(1 << 20, 'x');
    std::string manyLines;
    for (int i = 0; i < 100000; ++i)
        manyLines += "http://host" + std::to_string(i) + ".com 1 2\r\n";
    struct Case {
        const char* name;
        std::string content;
        size_t lines;
    };
    const std::vector<Case> cases = {
        {"binary bytes", binary, LinkFile::SplitLines(binary).size()},
        {"NUL bytes", std::string("ab\0cd 1 2\r\n\0\0\0\r\n", 16), 2},
        {"invalid UTF-8", "http://a.com/\xff\xfe\xc3 1 2\r\n\x80\x80\r\n", 2},
        {"one megabyte line", longLine + " 3 4\r\n", 1},
        {"100,000 lines", manyLines, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lines = LinkFile::ReadLines(Write("bad.qxt", c.content));
        ASSERT_TRUE(lines.has_value());
        ASSERT_EQ(lines->size(), c.lines);
        for (std::string line : *lines) {
            const LinkLine row = LinkFile::ParseLine(line);
            EXPECT_LE(row.url.size() + row.depth.size() + row.width.size(), line.size());
        }
    }
}

}  // namespace
}  // namespace qx
