#include "search/ResultExport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "html/TextFragmentUrl.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

// Reads an exported file back with Python's csv or json module and prints
// each record as the hex of its fields' UTF-8 bytes, one record a line.
constexpr const char* kReader = R"(
import csv, json, sys
csv.field_size_limit(sys.maxsize)
path, kind = sys.argv[1], sys.argv[2]
with open(path, newline='', encoding='utf-8') as f:
    if kind == 'csv':
        records = list(csv.reader(f, strict=True))
    else:
        records = [[o['title'], o['url'], o['result']] for o in map(json.loads, f)]
for r in records:
    print(' '.join(field.encode('utf-8').hex() for field in r))
)";

std::string Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

std::string ReadBack(const fs::path& file, const char* kind) {
    const fs::path script = file.string() + ".py";
    std::ofstream(script) << kReader;
    const std::string command =
        "/usr/bin/python3 '" + script.string() + "' '" + file.string() + "' " + kind;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string out;
    std::array<char, 65536> buffer{};
    std::size_t got = 0;
    while (pipe && (got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
        out.append(buffer.data(), got);
    }
    return out;
}

TEST(ResultExportTest, StandardReadersGetTheRowsBack) {
    struct Case {
        const char* name;
        std::string text;
        std::string read;  // what a reader gets: invalid UTF-8 bytes as Latin-1
    };
    const std::string big(1 << 20, 'x');
    const Case cases[] = {
        {"plain", "price 45", "price 45"},
        {"comma and quotes", "a, \"b\",c\"", "a, \"b\",c\""},
        {"line feed", "one\ntwo", "one\ntwo"},
        {"carriage returns", "one\r\ntwo\rthree", "one\r\ntwo\rthree"},
        {"tab and leading blanks", "  a\tb ", "  a\tb "},
        {"empty", "", ""},
        {"nul byte", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"utf-8", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"invalid utf-8", "caf\xE9 \xC0\xAF", "caf\xC3\xA9 \xC3\x80\xC2\xAF"},
        {"a megabyte", big, big},
    };
    std::vector<ExportRow> rows;
    std::string expected;
    std::string expectedCsv = Hex("Title") + ' ' + Hex("URL") + ' ' + Hex("Result") + '\n';
    for (const Case& c : cases) {
        rows.push_back({c.name, "http://h/a b?q=1,2#x", c.text});
        const std::string line = Hex(c.name) + ' ' + Hex("http://h/a b?q=1,2#x") + ' ';
        expected += line + Hex(c.read) + '\n';
        // A NUL cannot travel through spreadsheet readers; it shows as U+2400.
        std::string csvRead = c.read;
        if (const auto nul = csvRead.find('\0'); nul != std::string::npos) {
            csvRead.replace(nul, 1, "\xE2\x90\x80");
        }
        expectedCsv += line + Hex(csvRead) + '\n';
    }
    const fs::path dir = fs::temp_directory_path() / ("qx_export_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const auto format : {ResultExport::Format::kCsv, ResultExport::Format::kJsonLines}) {
        const bool csv = format == ResultExport::Format::kCsv;
        SCOPED_TRACE(csv ? "csv" : "json lines");
        const std::string content = ResultExport::Serialize(format, rows);
        if (csv) {
            EXPECT_EQ(content.substr(0, 18), "Title,URL,Result\r\n");
        }
        const fs::path file = dir / (csv ? "rows.csv" : "rows.jsonl");
        std::ofstream(file, std::ios::binary) << content;
        const std::string got = ReadBack(file, csv ? "csv" : "json");
        const std::string& want = csv ? expectedCsv : expected;
        // Only the start of a difference is shown: one field is a megabyte.
        const auto [wrong, unused] =
            std::mismatch(got.begin(), got.end(), want.begin(), want.end());
        EXPECT_TRUE(got == want) << "read back differs after " << (wrong - got.begin())
                                 << " hex digits: " << std::string(wrong, got.end()).substr(0, 120);
    }
    fs::remove_all(dir);
}

TEST(ResultExportTest, TheScanListCarriesTheReasonAsItsLastColumn) {
    const std::vector<ExportRow> rows = {{"T", "http://h/a", "NO MATCH"},
                                         {" ", "http://h/b", "CONNECTION FAILED", "HTTP 404"}};
    EXPECT_EQ(ResultExport::Serialize(ResultExport::Format::kCsv, rows, true),
              "Title,URL,Result,Reason\r\nT,http://h/a,NO MATCH,\r\n"
              " ,http://h/b,CONNECTION FAILED,HTTP 404\r\n");
    EXPECT_EQ(ResultExport::Serialize(ResultExport::Format::kJsonLines, {rows[1]}, true),
              "{\"title\":\" \",\"url\":\"http://h/b\",\"result\":\"CONNECTION FAILED\","
              "\"reason\":\"HTTP 404\"}\n");
    // The results page has no such column.
    EXPECT_EQ(ResultExport::Serialize(ResultExport::Format::kCsv, {rows[1]}),
              "Title,URL,Result\r\n ,http://h/b,CONNECTION FAILED\r\n");
}

TEST(TextFragmentUrlTest, ReplacesTheFragmentWithTheEncodedWord) {
    const struct {
        const char* url;
        const char* word;
        const char* expected;
    } cases[] = {
        {"http://h/p", "cat food", "http://h/p#:~:text=cat%20food"},
        {"http://h/p#top", " fish & chips, e-mail ",
         "http://h/p#:~:text=fish%20%26%20chips%2C%20e%2Dmail"},
        {"http://h/a%20b?x=1#", "caf\xC3\xA9", "http://h/a%20b?x=1#:~:text=caf%C3%A9"},
        {"http://h/#a#b", "x.y_z~", "http://h/#:~:text=x.y_z~"},
        {"http://h/p#top", "  ", "http://h/p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(TextFragmentUrl::Build(c.url, c.word), c.expected);
    }
}

}  // namespace
}  // namespace qx
