#include "cli/CliOutput.h"

#include <gtest/gtest.h>

#include <string>

#include "core/support/JsonChecker.h"
#include "search/ResultExport.h"

namespace qx {
namespace {

TEST(CliOutputTest, JsonStringEscapesAndKeepsEveryByte) {
    const struct {
        const char* name;
        std::string input;
        std::string expected;
    } cases[] = {
        {"plain", "abc", "\"abc\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line breaks and tab", "a\r\n\tb", "\"a\\r\\n\\tb\""},
        {"control byte",
         std::string("a\x01"
                     "b"),
         "\"a\\u0001b\""},
        {"nul byte", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"valid two-byte utf8", "caf\xC3\xA9", "\"caf\xC3\xA9\""},
        {"valid four-byte utf8", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
        {"latin1 byte", "caf\xE9", "\"caf\\u00e9\""},
        {"truncated sequence at end", "x\xE2\x82", "\"x\\u00e2\\u0082\""},
        {"overlong slash", "\xC0\xAF", "\"\\u00c0\\u00af\""},
        {"surrogate", "\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},
        {"lone continuation", "\x80z", "\"\\u0080z\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResultExport::JsonString(c.input), c.expected);
    }
}

TEST(CliOutputTest, TabFieldsCannotSplitALine) {
    EXPECT_EQ(TabField("a\tb\r\nc"), "a b  c");
}

TEST(CliOutputTest, RowsInEachFormatWithTheReasonOfScanRows) {
    CliOutput tabs(stdout, CliOutput::Format::kTabs);
    EXPECT_EQ(tabs.FormatRow("scan", "T\tx", "http://h/", "NO MATCH"),
              "scan\tT x\thttp://h/\tNO MATCH\t\n");
    EXPECT_EQ(tabs.FormatRow("scan", " ", "http://h/", "CONNECTION FAILED", "not text:\ta"),
              "scan\t \thttp://h/\tCONNECTION FAILED\tnot text: a\n");
    EXPECT_EQ(tabs.FormatRow("match", " ", "http://h/", "line1\nline2"),
              "match\t \thttp://h/\tline1 line2\n");
    CliOutput json(stdout, CliOutput::Format::kJson);
    EXPECT_EQ(json.FormatRow("scan", "T", "http://h/", "CONNECTION FAILED", "HTTP 404"),
              "{\"type\":\"scan\",\"title\":\"T\",\"url\":\"http://h/\","
              "\"result\":\"CONNECTION FAILED\",\"reason\":\"HTTP 404\"}\n");
    EXPECT_EQ(json.FormatRow("match", "T", "u", "d"),
              "{\"type\":\"match\",\"title\":\"T\",\"url\":\"u\",\"description\":\"d\"}\n");
    CliOutput csv(stdout, CliOutput::Format::kCsv);
    EXPECT_EQ(csv.FormatRow("match", "T", "u", "a,\"b\"\n"), "match,T,u,\"a,\"\"b\"\"\n\",\r\n");
    EXPECT_EQ(csv.FormatRow("scan", "T", "u", "CONNECTION FAILED", "TLS: a, b"),
              "scan,T,u,CONNECTION FAILED,\"TLS: a, b\"\r\n");
}

TEST(CliOutputTest, SkipLinesKeepAwkwardUrlsWholeInEachFormat) {
    const std::string url = "http://h/a,b?q=\"x\"\tz\n";
    const std::string page = "http://h/p\x01\xE9";
    CliOutput tabs(stdout, CliOutput::Format::kTabs);
    EXPECT_EQ(tabs.FormatSkip("escaped", url, page),
              "skip\tescaped\thttp://h/a,b?q=\"x\" z \thttp://h/p\x01\xE9\n");
    CliOutput csv(stdout, CliOutput::Format::kCsv);
    EXPECT_EQ(csv.FormatSkip("width", url, "http://h/"),
              "skip,,\"http://h/a,b?q=\"\"x\"\"\tz\n\",http://h/,width\r\n");
    CliOutput json(stdout, CliOutput::Format::kJson);
    const std::string line = json.FormatSkip("duplicate", url, page);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_TRUE(test::JsonChecker(line.substr(0, line.size() - 1)).Valid()) << line;
    EXPECT_EQ(line.rfind("{\"type\":\"skip\",\"reason\":\"duplicate\",", 0), 0u) << line;
}

}  // namespace
}  // namespace qx
