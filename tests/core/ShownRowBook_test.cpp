#include "search/ShownRowBook.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qx {
namespace {

// A holder with its book and the rows a view has been told of, changed the
// way a list model changes them.
struct Screen {
    std::vector<std::string> holder;
    std::vector<std::string> view;  // as of the last batch
    ShownRowBook book{2};
    int next = 0;

    void Append() {
        holder.push_back(std::to_string(next++));
        book.Appended(holder.size() - 1);
    }
    void Remove(std::size_t row) {
        book.Removing(row, [this](std::size_t at, const ShownRowBook::CellSink& cell) {
            cell(holder[at]);
            cell("second");
        });
        holder.erase(holder.begin() + static_cast<std::ptrdiff_t>(row));
    }
    std::string Shown(std::size_t row) const {
        if (const auto copied = book.CopiedCell(row, 0)) {
            return std::string(*copied);
        }
        const std::size_t at = book.HolderIndexOf(row);
        return at < holder.size() ? holder[at] : "(past the end)";
    }
    // What a model does with a batch: the views' rows change step by step.
    bool Batch() {
        if (book.BatchIsReset()) {
            book.Reset(book.HolderRows());
            view = holder;
            return true;
        }
        while (const auto run = book.BottomRun()) {
            view.erase(view.begin() + static_cast<std::ptrdiff_t>(run->first),
                       view.begin() + static_cast<std::ptrdiff_t>(run->last + 1));
            book.DropBottomRun();
        }
        for (std::size_t i = book.Shown(); i < book.Shown() + book.Pending(); ++i) {
            view.push_back(holder[i]);
        }
        book.ShowPending();
        return false;
    }
};

// Between batches every shown row keeps its text, removed ones from their
// copies; after a batch the views have the holder's rows.
TEST(ShownRowBook, ShownRowsFollowTheHolderThroughRandomChanges) {
    struct Case {
        const char* name;
        int appends;   // per batch
        int removals;  // per batch, random rows
        bool wantsReset;
        int batches = 8;
    };
    const Case cases[] = {
        {"appends only", 40, 0, false},
        {"few removals: signalled runs", 30, 3, false},
        {"many scattered removals: a reset", 60, 40, true},
        {"more removals than the book keeps: a reset", 5000, 4500, true, 2},
    };
    for (const Case& c : cases) {
        Screen s;
        std::mt19937 random(7);
        bool sawReset = false;
        for (int batch = 0; batch < c.batches; ++batch) {
            for (int i = 0; i < c.appends; ++i) {
                s.Append();
            }
            for (int i = 0; i < c.removals && !s.holder.empty(); ++i) {
                s.Remove(random() % s.holder.size());
                // Between batches the views still show what they were told.
                ASSERT_EQ(s.book.Shown(), s.view.size()) << c.name;
            }
            if (!s.book.BatchIsReset()) {
                for (std::size_t row = 0; row < s.view.size(); ++row) {
                    ASSERT_EQ(s.Shown(row), s.view[row]) << c.name << ", shown row " << row;
                }
            }
            ASSERT_EQ(s.book.HolderRows(), s.holder.size()) << c.name;
            sawReset |= s.Batch();
            ASSERT_EQ(s.view, s.holder) << c.name << ", batch " << batch;
            for (std::size_t row = 0; row < s.view.size(); ++row) {
                ASSERT_EQ(s.Shown(row), s.view[row]) << c.name << ", after batch, row " << row;
            }
        }
        EXPECT_EQ(sawReset, c.wantsReset) << c.name;
    }
}

TEST(ShownRowBook, OddChangesTurnTheBatchIntoAReset) {
    struct Case {
        const char* name;
        void (*change)(Screen&);
    };
    const Case cases[] = {
        {"a row appended out of step",
         [](Screen& s) {
             s.holder.push_back("unannounced");
             s.Append();
         }},
        {"one run longer than the copies the book keeps",
         [](Screen& s) {
             for (int i = 0; i < 5000; ++i) {
                 s.Append();
             }
             s.Batch();
             for (std::size_t i = 0; i <= ShownRowBook::kMaxRemovedRows; ++i) {
                 s.Remove(0);
             }
         }},
    };
    for (const Case& c : cases) {
        Screen s;
        for (int i = 0; i < 3; ++i) {
            s.Append();
        }
        s.Batch();
        c.change(s);
        EXPECT_TRUE(s.book.BatchIsReset()) << c.name;
        s.Batch();
        EXPECT_EQ(s.view, s.holder) << c.name;
        EXPECT_FALSE(s.book.Dirty()) << c.name;
    }
}

}  // namespace
}  // namespace qx
