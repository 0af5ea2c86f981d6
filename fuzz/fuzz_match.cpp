// Evaluates pages of fuzzed fragments with fuzzed settings and checks the
// rows that come out.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/MatchEvaluation.h"
#include "search/MatchedRoots.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace {

struct Row {
    int kind;
    std::string description;
};

class RecordingSink : public qx::ResultSink {
public:
    void SendResult(int kind, const qx::ResultRecord& record) override {
        rows.push_back({kind, record.description});
    }
    std::vector<Row> rows;
};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

#define CHECK(condition) Check((condition), #condition)

bool HasUpperAscii(const std::string& text) {
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    qx::SearchSettings settings;
    settings.ItemInclude = input.ConsumeBool() ? 1 : 0;
    settings.StopOnMatch = input.ConsumeBool() ? 1 : 0;
    settings.DescribeForward = input.ConsumeIntegralInRange(-1, 64);
    settings.DescribeBackward = input.ConsumeIntegralInRange(-1, 64);
    settings.TargetValue = input.ConsumeIntegral<int>();
    settings.SearchText = input.ConsumeRandomLengthString(24);
    settings.IncludeText = input.ConsumeRandomLengthString(24);
    settings.ExcludeText = input.ConsumeRandomLengthString(24);
    qx::SearchItem item;
    item.matchMode = input.ConsumeIntegralInRange(-1, 8);
    item.rootId = 1;

    std::vector<std::string> fragments;
    std::size_t bytes = 0;
    while (input.remaining_bytes() > 0 && fragments.size() < 512) {
        fragments.push_back(input.ConsumeRandomLengthString(8192));
        bytes += fragments.back().size();
    }
    for (const std::string& fragment : fragments) {
        qx::HasPriceBelowTarget(fragment, settings.TargetValue);
        qx::HasIncludeWord(fragment, settings.IncludeText);
    }

    const bool empty = fragments.empty();
    qx::ResultRecord record;
    qx::MatchedRoots roots;
    RecordingSink sink;
    const int result = qx::EvaluatePage(item, record, fragments, settings, roots, sink);

    CHECK(result == 0 || result == 1);
    if (empty) {
        CHECK(result == 0 && sink.rows.empty());
        return 0;
    }
    int noMatchRows = 0;
    for (const Row& row : sink.rows) {
        CHECK(row.kind == qx::kResultNoMatch || row.kind == qx::kResultMatch ||
              row.kind == qx::kResultDescribed);
        noMatchRows += row.kind == qx::kResultNoMatch;
        CHECK(!HasUpperAscii(row.description));
        // A description holds page text and separators between the pieces
        // (fragments and the parts of split ones), nothing more.
        CHECK(row.description.size() <= bytes + 2 * (fragments.size() + sink.rows.size()) + 2);
    }
    CHECK(noMatchRows == (result == 0 ? 1 : 0));
    CHECK(result == 0 || sink.rows.back().kind != qx::kResultNoMatch);
    if (result == 0)
        CHECK(sink.rows.back().kind == qx::kResultNoMatch && sink.rows.back().description == " ");
    CHECK(item.matched == result);
    CHECK(roots.Contains(1) == (result == 1 && settings.StopOnMatch == 1));
    return 0;
}
