#include "search/RemainingRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace qx {
namespace {

RemainingRow Row(const std::string& url) {
    return RemainingRow{url, "1", "infinity", "-1"};
}

std::vector<std::string> Urls(const RemainingRows& rows) {
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        urls.push_back(rows.At(i).url);
    }
    return urls;
}

TEST(RemainingRows, RemovalByUrlTakesTheTopmostAndReportsItsPosition) {
    RemainingRows rows;
    for (const char* url : {"a", "b", "c", "b", "d"}) {
        rows.Append(Row(url));
    }
    struct Case {
        const char* url;
        std::optional<std::size_t> position;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"b", 1, {"a", "c", "b", "d"}},
        {"b", 2, {"a", "c", "d"}},
        {"b", std::nullopt, {"a", "c", "d"}},
        {"a", 0, {"c", "d"}},
        {"d", 1, {"c"}},
        {"D", std::nullopt, {"c"}},  // exact comparison
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(rows.RemoveByUrl(c.url), c.position);
        EXPECT_EQ(Urls(rows), c.after);
    }
}

TEST(RemainingRows, SetRenamesTheRowForLaterLookups) {
    RemainingRows rows;
    rows.Append(Row("host"));
    rows.Append(Row("other"));
    rows.Set(0, Row("http://host"));
    EXPECT_EQ(rows.Find("host"), std::nullopt);
    EXPECT_EQ(rows.Find("http://host"), 0u);
    EXPECT_EQ(rows.RemoveByUrl("http://host"), 0u);
    EXPECT_EQ(Urls(rows), std::vector<std::string>{"other"});
}

TEST(RemainingRows, OutOfRangeRowThrowsInsteadOfReadingPastTheEnd) {
    RemainingRows rows;
    EXPECT_THROW(rows.At(0), std::out_of_range);
    rows.Append(Row("a"));
    rows.RemoveAt(0);
    EXPECT_THROW(rows.At(0), std::out_of_range);
    EXPECT_TRUE(rows.Empty());
}

// Mixed appends and removals against a plain vector, across compactions.
TEST(RemainingRows, KeepsEveryColumnTextAsGiven) {
    const std::string longText(300, '7');
    const std::string oddBytes = std::string("\xFF\xFE", 2) + std::string(1, '\0') + "x";
    const std::vector<RemainingRow> given = {
        {"http://a/", "0", "infinity", "infinity"},
        {"http://b/", "", "-1", "-1"},
        {"http://c/", longText, "Infinity", "infinity "},
        {"http://d/", oddBytes, std::string(1, '\xFF'), std::string(253, 'w')},
        {"http://e/", std::string(254, 'v'), "3", ""},
    };
    RemainingRows rows;
    for (const RemainingRow& row : given) {
        rows.Append(row);
    }
    rows.Set(1, {"http://b2/", "1", "infinity", "2"});
    for (std::size_t i = 0; i < given.size(); ++i) {
        const RemainingRow expected =
            i == 1 ? RemainingRow{"http://b2/", "1", "infinity", "2"} : given[i];
        const RemainingRow got = rows.At(i);
        EXPECT_EQ(got.url, expected.url) << "row " << i;
        EXPECT_EQ(got.depth, expected.depth) << "row " << i;
        EXPECT_EQ(got.maxDepth, expected.maxDepth) << "row " << i;
        EXPECT_EQ(got.width, expected.width) << "row " << i;
    }
}

TEST(RemainingRows, AgreesWithAPlainListThroughInsertsAndCompactions) {
    RemainingRows rows;
    std::vector<std::string> model;
    std::mt19937 random(7);
    for (int step = 0; step < 6000; ++step) {
        const int choice = static_cast<int>(random() % 10);
        if (choice < 4 || model.empty()) {
            const std::string url = "u" + std::to_string(random() % 500);
            EXPECT_EQ(rows.Append(Row(url)), model.size());
            model.push_back(url);
        } else if (choice == 4) {
            // Inserted rows, past the end too; a later removal by URL must
            // still find the topmost copy.
            const std::string url = "u" + std::to_string(random() % 500);
            const std::size_t at = random() % (model.size() + 2);
            const std::size_t expected = std::min(at, model.size());
            ASSERT_EQ(rows.Insert(at, Row(url)), expected) << "step " << step;
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(expected), url);
        } else if (choice < 8) {
            const std::string url = "u" + std::to_string(random() % 500);
            std::optional<std::size_t> expected;
            for (std::size_t i = 0; i < model.size(); ++i) {
                if (model[i] == url) {
                    expected = i;
                    break;
                }
            }
            ASSERT_EQ(rows.RemoveByUrl(url), expected) << "step " << step << " url " << url;
            if (expected) {
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(*expected));
            }
        } else {
            const std::size_t at = random() % model.size();
            rows.RemoveAt(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(rows.Size(), model.size()) << "step " << step;
    }
    EXPECT_EQ(Urls(rows), model);
}

}  // namespace
}  // namespace qx
