#include "html/AsciiText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <string_view>
#include <vector>

namespace qx {
namespace {

using namespace std::string_view_literals;

// Every helper over one table of texts; a byte from 0x80 up ("\xDD" is the
// dotted capital I of ISO-8859-9, "\xC4\xB0" the same letter in UTF-8) must
// pass through untouched and never match its ASCII look-alike.
void ExpectAsciiRules(const std::string& locale) {
    struct Lowering {
        std::string_view text, lowered;
    };
    const Lowering lowerings[] = {
        {"", ""},           {"HTTP://Example.COM/Path", "http://example.com/path"},
        {"TITLE", "title"}, {"I\xDD\xFD\xC4\xB0", "i\xDD\xFD\xC4\xB0"},
        {"@[`{", "@[`{"},  // the neighbours of A-Z and a-z stay
    };
    for (const auto& c : lowerings) {
        EXPECT_EQ(LowerAsciiCopy(c.text), c.lowered) << locale << ": lowering " << c.text;
    }

    struct Comparing {
        const char* name;
        std::string_view text, other;
        bool equal, startsWith, endsWith;
        std::size_t found;
    };
    constexpr std::size_t npos = std::string_view::npos;
    const Comparing comparisons[] = {
        {"same letters", "Content-TYPE", "content-type", true, true, true, 0},
        {"prefix", "Location: x", "LOCATION", false, true, false, 0},
        {"suffix", "PHOTO.JPG", ".jpg", false, false, true, 5},
        {"in the middle", "a Title here", "TITLE", false, false, false, 2},
        {"dotted I", "\xDD", "i", false, false, false, npos},
        {"dotless i", "\xFD", "I", false, false, false, npos},
        {"UTF-8 I", "\xC4\xB0stanbul", "istanbul", false, false, false, npos},
        {"high bytes alike", "x\xC4\xB0", "\xC4\xB0", false, false, true, 1},
        {"longer needle", "ab", "abc", false, false, false, npos},
        {"empty needle", "abc", "", false, true, true, 0},
    };
    for (const auto& c : comparisons) {
        const std::string where = locale + ": " + c.name;
        EXPECT_EQ(EqualsNoCase(c.text, c.other), c.equal) << where;
        EXPECT_EQ(StartsWithNoCase(c.text, c.other), c.startsWith) << where;
        EXPECT_EQ(EndsWithNoCase(c.text, c.other), c.endsWith) << where;
        EXPECT_EQ(FindNoCase(c.text, c.other), c.found) << where;
    }
    EXPECT_EQ(FindNoCase("abcABC", "abc", 1), 3u) << locale << ": search from an offset";
    EXPECT_EQ(FindNoCase("abc", "c", 4), npos) << locale << ": offset past the end";

    struct Trimming {
        std::string_view text, left, right, both;
    };
    const Trimming trimmings[] = {
        {"", "", "", ""},
        {" \t\n\v\f\r", "", "", ""},
        {" \t a b \r\n", "a b \r\n", " \t a b", "a b"},
        // 0x85 and 0xA0 are spaces in some 8-bit locales, not here.
        {"\xA0x\x85", "\xA0x\x85", "\xA0x\x85", "\xA0x\x85"},
    };
    for (const auto& c : trimmings) {
        EXPECT_EQ(TrimLeft(c.text), c.left) << locale << ": trimming left " << c.text;
        EXPECT_EQ(TrimRight(c.text), c.right) << locale << ": trimming right " << c.text;
        EXPECT_EQ(Trim(c.text), c.both) << locale << ": trimming " << c.text;
    }
    EXPECT_EQ(Trim("\0 x \0"sv, " \0"sv), "x") << locale << ": own set of blanks";

    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const bool upper = byte >= 'A' && byte <= 'Z';
        EXPECT_EQ(IsAsciiUpper(c), upper) << locale << ": byte " << byte;
        EXPECT_EQ(IsAsciiDigit(c), byte >= '0' && byte <= '9') << locale << ": byte " << byte;
        EXPECT_EQ(IsAsciiSpace(c), kAsciiSpaces.find(c) != npos) << locale << ": byte " << byte;
        EXPECT_EQ(LowerAscii(c), upper ? static_cast<char>(byte + 32) : c)
            << locale << ": byte " << byte;
    }
}

// atoi's reading, without the locale and without overflow: edit boxes and
// prices are read with it.
TEST(AsciiText, ReadsTheLeadingNumberSaturating) {
    struct Case {
        const char* name;
        std::string_view text;
        long long value;
    };
    const Case cases[] = {
        {"plain", "42", 42},
        {"blanks then digits then more", " \t\n 42abc", 42},
        {"signs", "-7", -7},
        {"plus", "+3", 3},
        {"sign alone", "-", 0},
        {"no digits", "x1", 0},
        {"empty", "", 0},
        {"hex is not read", "0x10", 0},
        {"two signs", "--5", 0},
        {"too long", "123456789012345678901234567890", kLeadingNumberCap},
        {"too long below zero", "-123456789012345678901234567890", -kLeadingNumberCap},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadLeadingNumber(c.text), c.value) << c.name;
    }
}

// Restores the process locale however the test ends.
class LocaleScope {
public:
    LocaleScope() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleScope() { std::setlocale(LC_ALL, saved_.c_str()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    std::string saved_;
};

TEST(AsciiText, FoldsComparesAndTrimsOnlyAscii) {
    ExpectAsciiRules("C locale");
}

// In a Turkish locale <cctype> lowers 'I' to a dotless i (or leaves it as it
// is in UTF-8); the helpers must give the same answers as in the C locale.
TEST(AsciiText, TurkishLocaleChangesNothing) {
    LocaleScope scope;
    int tried = 0;
    for (const char* name : {"tr_TR.UTF-8", "tr_TR.ISO-8859-9"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            ExpectAsciiRules(name);
            ++tried;
        }
    }
    if (tried == 0) {
        GTEST_SKIP() << "no Turkish locale installed";
    }
}

}  // namespace
}  // namespace qx
