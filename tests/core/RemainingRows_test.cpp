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
            // As for a list no view shows: the next positional call below
            // works the skipped positions out again.
            if (choice == 7) {
                ASSERT_EQ(rows.DropByUrl(url), expected.has_value()) << "step " << step;
            } else {
                ASSERT_EQ(rows.RemoveByUrl(url), expected) << "step " << step << " url " << url;
            }
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

// Many repeats of one URL among other rows, as when every page links home:
// the topmost repeat is the one found and removed, wherever repeats were
// inserted, renamed into or removed from.
TEST(RemainingRows, RepeatsOfOneUrlKeepTheirListOrder) {
    RemainingRows rows;
    std::vector<std::string> model;
    for (int i = 0; i < 300; ++i) {
        const std::string url = i % 3 == 0 ? "home" : "p" + std::to_string(i);
        rows.Append(Row(url));
        model.push_back(url);
    }
    const auto put = [&](std::size_t at, const std::string& url) {
        rows.Insert(at, Row(url));
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), url);
    };
    const auto rename = [&](std::size_t at, const std::string& url) {
        rows.Set(at, Row(url));
        model[at] = url;
    };
    put(100, "home");    // between repeats
    put(2, "home");      // above every repeat
    rename(1, "home");   // a row renamed into the repeats, above the rest
    rename(0, "other");  // the topmost repeat renamed away
    std::vector<std::size_t> repeats;
    for (std::size_t i = 0; i < model.size(); ++i) {
        if (model[i] == "home") {
            repeats.push_back(i);
        }
    }
    // The bottom-most repeat, then one in the middle.
    for (const std::size_t at : {repeats.back(), repeats[repeats.size() / 2]}) {
        rows.RemoveAt(at);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
    }
    rows.Append(Row("home"));
    model.push_back("home");
    ASSERT_EQ(Urls(rows), model);
    while (true) {
        const auto top = std::find(model.begin(), model.end(), "home");
        const std::optional<std::size_t> expected =
            top == model.end()
                ? std::nullopt
                : std::optional<std::size_t>(static_cast<std::size_t>(top - model.begin()));
        ASSERT_EQ(rows.Find("home"), expected);
        ASSERT_EQ(rows.RemoveByUrl("home"), expected);
        if (!expected) {
            break;
        }
        model.erase(top);
    }
    EXPECT_EQ(Urls(rows), model);
}

// Rows rewritten with ever longer texts, some longer than a block of the
// list's storage, then most rows removed: every row keeps its texts, its
// place and its lookup through the compactions this causes.
TEST(RemainingRows, RewrittenRowsSurviveCompaction) {
    RemainingRows rows;
    std::vector<RemainingRow> model;
    for (int i = 0; i < 200; ++i) {
        model.push_back(Row("u" + std::to_string(i)));
        rows.Append(model.back());
    }
    for (int round = 1; round <= 6; ++round) {
        for (std::size_t i = 0; i < model.size(); i += 3) {
            const std::size_t length = i % 30 == 0 ? 70000 : 50 * round;
            model[i] = {"u" + std::to_string(i) + std::string(length, 'x'), std::to_string(round),
                        "infinity", std::string(round, 'w')};
            rows.Set(i, model[i]);
        }
    }
    // Removed from the top down, so that the rows left move up in storage.
    std::vector<RemainingRow> kept;
    for (std::size_t i = 0; i < model.size(); ++i) {
        if (i % 4 == 1) {
            kept.push_back(model[i]);
        } else {
            ASSERT_EQ(rows.RemoveByUrl(model[i].url), kept.size()) << "row " << i;
        }
    }
    model = kept;
    ASSERT_EQ(rows.Size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        const RemainingRow got = rows.At(i);
        EXPECT_EQ(got.url, model[i].url) << "row " << i;
        EXPECT_EQ(got.depth, model[i].depth) << "row " << i;
        EXPECT_EQ(got.width, model[i].width) << "row " << i;
        EXPECT_EQ(rows.Find(model[i].url), i) << "row " << i;
    }
}

// A crawl's worth of distinct URLs: with this many, some share the part of
// their hash the list keeps, and each must still be found at its own row.
TEST(RemainingRows, EachOfManyUrlsIsFoundAtItsOwnRow) {
    constexpr std::size_t kCount = 300000;
    const auto url = [](std::size_t i) { return "http://127.0.0.1/p" + std::to_string(i); };
    RemainingRows rows;
    for (std::size_t i = 0; i < kCount; ++i) {
        rows.Append(Row(url(i)));
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < kCount; ++i) {
        wrong += rows.Find(url(i)) != i;
    }
    EXPECT_EQ(wrong, 0u);
    // Every other row removed from the top down: each one is then the second row.
    for (std::size_t i = 0; i < kCount; i += 2) {
        wrong += rows.RemoveByUrl(url(i + 1)) != std::optional<std::size_t>(i / 2 + 1);
    }
    EXPECT_EQ(wrong, 0u);
    for (std::size_t i = 0; i < kCount; i += 2) {
        wrong += rows.Find(url(i)) != i / 2;
    }
    EXPECT_EQ(wrong, 0u);
}

// Repeats of a URL with the same texts hold one copy of them: it stays
// counted while any of its rows is listed, and neither a rewritten sharer
// nor two compactions take the others' texts.
TEST(RemainingRows, RowsSharingTextsKeepThemThroughRewritesAndCompactions) {
    // Every text below takes the same number of bytes.
    const auto row = [](int i, const char* depth) {
        return RemainingRow{"u" + std::to_string(i % 3), depth, "1", "-1"};
    };
    RemainingRows one;
    one.Append(row(0, "2"));
    const std::size_t text = one.TextBytes();
    RemainingRows rows;
    std::vector<RemainingRow> model;
    for (int i = 0; i < 100; ++i) {
        model.push_back(row(i, "2"));
        rows.Append(model.back());
    }
    model[50].depth = "3";
    rows.Set(50, model[50]);
    for (int round = 0; round < 2; ++round) {
        // Three shared texts and row 50's own, then after a compaction
        // three shared texts from before it and three after it.
        const std::size_t held = (round == 0 ? 4 : 6) * text;
        for (int i = 0; i < 60; ++i) {
            ASSERT_TRUE(rows.RemoveByUrl(model.front().url));
            model.erase(model.begin());
            if (i < 20) {
                ASSERT_EQ(rows.TextBytes(), held) << "round " << round << " removal " << i;
            }
        }
        for (std::size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(rows.At(i).url, model[i].url) << "round " << round << " row " << i;
            ASSERT_EQ(rows.At(i).depth, model[i].depth) << "round " << round << " row " << i;
        }
        for (int i = 0; i < 60; ++i) {
            model.push_back(row(i, "4"));
            rows.Append(model.back());
        }
    }
}

}  // namespace
}  // namespace qx
