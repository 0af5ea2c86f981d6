#include "search/MatchEvaluation.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <optional>

#include "html/AsciiText.h"
#include "search/MatchedRoots.h"
#include "search/SearchItem.h"
#include "search/SearchSettings.h"

namespace qx {
namespace {

// A word is reckoned as this many characters when estimating how much
// neighbouring text a description needs.
constexpr long long kCharsPerWord = 7;
constexpr long long kDefaultForwardWords = 10;
constexpr long long kDefaultBackwardWords = 1;

bool IsListSeparator(char c) {
    return c == ',' || c == ';';
}

// The words of a lower-cased list text. The text counts as followed by one
// ';', so the segment after the last separator is a word too (possibly empty).
std::vector<std::string_view> SplitWordList(std::string_view loweredList) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= loweredList.size(); ++i) {
        if (i == loweredList.size() || IsListSeparator(loweredList[i])) {
            words.push_back(loweredList.substr(start, i - start));
            start = i + 1;
        }
    }
    return words;
}

bool ListHasWordIn(std::string_view text, std::string_view listText) {
    const std::string lowered = LowerAsciiCopy(listText);
    for (std::string_view word : SplitWordList(lowered)) {
        if (text.find(word) != std::string_view::npos)
            return true;
    }
    return false;
}

// A comma between a digit and exactly three more digits groups thousands.
bool IsGroupingComma(std::string_view token, std::size_t i) {
    if (token[i] != ',' || i == 0 || !IsAsciiDigit(token[i - 1]) || token.size() < i + 4)
        return false;
    for (std::size_t k = i + 1; k <= i + 3; ++k) {
        if (!IsAsciiDigit(token[k]))
            return false;
    }
    return i + 4 == token.size() || !IsAsciiDigit(token[i + 4]);
}

long long ReadPriceToken(std::string_view token) {
    std::string withoutDollars;
    withoutDollars.reserve(token.size());
    for (char c : token) {
        if (c != '$')
            withoutDollars += c;
    }
    std::string digits;
    digits.reserve(withoutDollars.size());
    for (std::size_t i = 0; i < withoutDollars.size(); ++i) {
        if (!IsGroupingComma(withoutDollars, i))
            digits += withoutDollars[i];
    }
    return ReadLeadingNumber(digits);
}

}  // namespace

bool HasIncludeWord(std::string_view text, std::string_view includeText) {
    return ListHasWordIn(text, includeText);
}

bool HasExcludeWord(std::string_view text, std::string_view excludeText) {
    return ListHasWordIn(text, excludeText);
}

bool HasPriceBelowTarget(std::string_view text, int target) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        const long long value = ReadPriceToken(text.substr(start, end - start));
        if (value > 0 && value < target)
            return true;
        start = end + 1;
    }
    return false;
}

bool PassesModeTest(int mode, std::string_view description, const SearchSettings& settings) {
    const auto include = [&] { return HasIncludeWord(description, settings.IncludeText); };
    const auto exclude = [&] { return HasExcludeWord(description, settings.ExcludeText); };
    const auto price = [&] { return HasPriceBelowTarget(description, settings.TargetValue); };
    switch (mode) {
        case 0:
            return true;
        case 1:
            return include() && !exclude();
        case 2:
            return include();
        case 3:
            return !exclude();
        case 4:
            return price();
        case 5:
            return include() && price();
        case 6:
            return price() && !exclude();
        case 7:
            return include() && price() && !exclude();
        default:
            return false;
    }
}

namespace {

// Everything one description is cut from: the pieces before the occurrence's
// piece (nearest first), the piece itself and the pieces after it.
struct DescriptionSource {
    std::vector<std::string_view> before;
    std::size_t beforeLength = 0;  // each piece followed by one space
    std::string_view piece;
    std::vector<std::string_view> after;
    std::size_t afterLength = 0;  // each piece preceded by one space
};

// Backward context, a space, the piece, a space, forward context; parts that
// are empty are left out with their space. The forward context may be the
// whole rest of a long fragment, so only its first `afterLimit` characters
// are copied; `truncated` tells whether some were left out.
std::string CombineContext(const DescriptionSource& source, std::size_t afterLimit,
                           bool& truncated) {
    std::string combined;
    combined.reserve(source.beforeLength + source.piece.size() +
                     std::min(source.afterLength, afterLimit) + 2);
    bool first = true;
    const auto separate = [&] {
        if (!first)
            combined += ' ';
        first = false;
    };
    if (!source.before.empty()) {
        separate();
        for (auto it = source.before.rbegin(); it != source.before.rend(); ++it) {
            combined += *it;
            combined += ' ';
        }
    }
    if (!source.piece.empty()) {
        separate();
        combined += source.piece;
    }
    truncated = source.afterLength > afterLimit;
    if (!source.after.empty()) {
        separate();
        std::size_t budget = afterLimit;
        for (std::string_view next : source.after) {
            if (budget == 0)
                break;
            combined += ' ';
            --budget;
            const std::size_t take = std::min(budget, next.size());
            combined += next.substr(0, take);
            budget -= take;
        }
    }
    return combined;
}

// The word holding the key and `forward` further words: up to and including
// the (forward + 1)-th space, or all of `rest` when it has fewer spaces.
// Without the end of the text the cut may be unknown.
std::optional<std::string_view> CutAfterPart(std::string_view rest, long long forward,
                                             bool truncated) {
    long long spaces = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == ' ' && ++spaces == forward + 1)
            return rest.substr(0, i + 1);
    }
    if (truncated)
        return std::nullopt;
    return rest;
}

// The last `backward` + 1 words before the key. A single word of more than
// one character is dropped, as the original cut did.
std::string_view CutBeforePart(std::string_view head, long long backward) {
    const std::string_view words = Trim(head);
    if (words.size() == 1)
        return words;
    long long spaces = 0;
    for (std::size_t i = words.size(); i-- > 0;) {
        if (words[i] == ' ' && ++spaces == backward + 1)
            return Trim(words.substr(i));
    }
    return spaces > 0 ? words : std::string_view();
}

// Cuts the description from the combined text. `start` is where the key is
// looked for again (in the trimmed text). Returns nothing when the text was
// truncated too early to decide.
std::optional<std::string> CutDescription(std::string_view combined, bool truncated,
                                          std::string_view key, long long start, long long forward,
                                          long long backward) {
    // When truncated, this is only the known beginning of the trimmed text.
    const std::string_view text = Trim(combined);
    if (truncated && text.empty())
        return std::nullopt;
    std::size_t q = std::string_view::npos;
    if (start > 0) {
        if (static_cast<unsigned long long>(start) <= text.size())
            q = text.find(key, static_cast<std::size_t>(start));
        if (q == std::string_view::npos && truncated)
            return std::nullopt;
    }
    if (q == std::string_view::npos) {
        q = text.find(key);
        if (q == std::string_view::npos && truncated)
            return std::nullopt;
    }
    // A key lost to the trimming (one ending in a blank) leaves the whole text.
    const std::size_t from = q == std::string_view::npos ? 0 : q;
    const std::string_view rest = TrimLeft(text.substr(from));
    if (truncated && rest.empty())
        return std::nullopt;
    const std::optional<std::string_view> afterPart = CutAfterPart(rest, forward, truncated);
    if (!afterPart)
        return std::nullopt;
    std::string_view beforePart;
    if (q != std::string_view::npos && q > 0)
        beforePart = CutBeforePart(text.substr(0, q), backward);
    std::string description(beforePart);
    if (!beforePart.empty() && !afterPart->empty())
        description += ' ';
    description += *afterPart;
    return description;
}

std::size_t InitialAfterLimit(long long forward) {
    return static_cast<std::size_t>(std::min<long long>(256 + 16 * forward, 1LL << 24));
}

// Walks the fragments of one page. Pieces already walked (whole fragments and
// the parts of split ones) are kept as views in `done_`; the rest of a split
// fragment is walked next without copying, so a fragment with many
// occurrences costs no more than the text it holds.
class PageEvaluator {
public:
    PageEvaluator(SearchItem& item, ResultRecord& record, std::vector<std::string>& fragments,
                  const SearchSettings& settings, MatchedRoots& matchedRoots, ResultSink& sink)
        : item_(item),
          record_(record),
          fragments_(fragments),
          settings_(settings),
          matchedRoots_(matchedRoots),
          sink_(sink),
          searchKey_(LowerAsciiCopy(settings.SearchText)),
          forward_(settings.DescribeForward < 0 ? kDefaultForwardWords : settings.DescribeForward),
          backward_(settings.DescribeBackward < 0 ? kDefaultBackwardWords
                                                  : settings.DescribeBackward) {
        if (!settings.ItemInclude) {
            // The Include words become alternative search words.
            wordListText_ = searchKey_;
            if (!settings.IncludeText.empty())
                wordListText_ += ";" + LowerAsciiCopy(settings.IncludeText);
            words_ = SplitWordList(wordListText_);
        }
        key_ = searchKey_;
    }

    PageEvaluator(const PageEvaluator&) = delete;
    PageEvaluator& operator=(const PageEvaluator&) = delete;

    int Run() {
        if (fragments_.empty())
            return 0;
        for (std::string& fragment : fragments_)
            std::transform(fragment.begin(), fragment.end(), fragment.begin(), LowerAscii);
        done_.reserve(fragments_.size());
        for (std::size_t i = 0; i < fragments_.size(); ++i)
            EvaluateFragment(i);
        if (anyFound_)
            return 1;
        record_.description = " ";
        record_.matched = 0;
        sink_.SendResult(kResultNoMatch, record_);
        return 0;
    }

private:
    // Position of the key in `piece`. Without Item Include the first word of
    // the list found in the piece becomes the key.
    std::optional<std::size_t> FindOccurrence(std::string_view piece) {
        if (settings_.ItemInclude) {
            const std::size_t p = piece.find(key_);
            return p == std::string_view::npos ? std::nullopt : std::optional<std::size_t>(p);
        }
        for (std::string_view word : words_) {
            const std::size_t p = piece.find(word);
            if (p != std::string_view::npos) {
                key_ = word;
                return p;
            }
        }
        return std::nullopt;
    }

    void EvaluateFragment(std::size_t index) {
        std::string_view piece = fragments_[index];
        std::optional<std::size_t> found = FindOccurrence(piece);
        if (!found) {
            if (!anyFound_)
                item_.matched = 0;
            if (settings_.ItemInclude)
                ReportIncludeWordFragment(piece);
            done_.push_back(piece);
            return;
        }
        for (;;) {
            NoteOccurrence();
            const std::size_t p = *found;
            std::size_t restPosition = std::string_view::npos;
            const std::optional<std::string_view> rest =
                SecondOccurrenceRest(piece, p, restPosition);
            if (!rest) {
                DescribeAndReport(piece, static_cast<long long>(p), std::nullopt, index + 1);
                done_.push_back(piece);
                return;
            }
            const std::string_view head = TrimLeft(piece.substr(0, p + key_.size()));
            const std::size_t headPosition = head.find(key_);
            DescribeAndReport(
                head,
                headPosition == std::string_view::npos ? -1 : static_cast<long long>(headPosition),
                rest, index + 1);
            done_.push_back(head);
            // The rest is walked as the next piece; the words before the key are
            // absent from it as they were from the whole piece.
            piece = *rest;
            found = restPosition;
        }
    }

    // The left-trimmed text after the occurrence at `p` when it holds the key
    // again. An empty key is never split: its rest would be the piece itself.
    std::optional<std::string_view> SecondOccurrenceRest(std::string_view piece, std::size_t p,
                                                         std::size_t& restPosition) const {
        const std::size_t end = p + key_.size();
        if (key_.empty() || end >= piece.size())
            return std::nullopt;
        const std::string_view rest = TrimLeft(piece.substr(end));
        restPosition = rest.find(key_);
        if (restPosition == std::string_view::npos)
            return std::nullopt;
        return rest;
    }

    // With Item Include, a fragment without the search item is still listed
    // (whole, no match) when it holds an Include word.
    void ReportIncludeWordFragment(std::string_view piece) {
        record_.description.assign(piece);
        if (HasIncludeWord(piece, settings_.IncludeText)) {
            record_.description.assign(Trim(piece));
            sink_.SendResult(kResultDescribed, record_);
        }
    }

    void NoteOccurrence() {
        anyFound_ = true;
        item_.matched = 1;
        if (settings_.StopOnMatch)
            matchedRoots_.Add(item_.rootId);
    }

    void DescribeAndReport(std::string_view piece, long long p,
                           std::optional<std::string_view> rest, std::size_t next) {
        record_.description = Describe(GatherContext(piece, p, rest, next), p);
        const int mode = item_.matchMode;
        if (mode == 0) {
            record_.matched = 1;
            sink_.SendResult(kResultMatch, record_);
            sink_.SendResult(kResultDescribed, record_);
            return;
        }
        sink_.SendResult(kResultDescribed, record_);
        if (PassesModeTest(mode, record_.description, settings_))
            sink_.SendResult(kResultMatch, record_);
    }

    DescriptionSource GatherContext(std::string_view piece, long long p,
                                    std::optional<std::string_view> rest, std::size_t next) const {
        DescriptionSource source;
        source.piece = piece;
        const long long keyLength = static_cast<long long>(key_.size());
        const long long pieceLength = static_cast<long long>(piece.size());
        if ((pieceLength - keyLength - p) / kCharsPerWord < forward_) {
            const auto wantsMore = [&] {
                return static_cast<long long>(source.afterLength) / kCharsPerWord < forward_;
            };
            const auto append = [&](std::string_view following) {
                source.after.push_back(following);
                source.afterLength += following.size() + 1;
            };
            if (rest && wantsMore())
                append(*rest);
            for (std::size_t i = next; i < fragments_.size() && wantsMore(); ++i)
                append(fragments_[i]);
        }
        if ((p + keyLength) / kCharsPerWord < backward_) {
            for (auto it = done_.rbegin();
                 it != done_.rend() &&
                 static_cast<long long>(source.beforeLength) / kCharsPerWord < backward_;
                 ++it) {
                source.before.push_back(*it);
                source.beforeLength += it->size() + 1;
            }
        }
        return source;
    }

    std::string Describe(const DescriptionSource& source, long long p) const {
        const long long start = p + static_cast<long long>(source.beforeLength) -
                                static_cast<long long>(key_.size()) + 1;
        std::size_t limit = InitialAfterLimit(forward_);
        for (;;) {
            bool truncated = false;
            const std::string combined = CombineContext(source, limit, truncated);
            if (std::optional<std::string> description =
                    CutDescription(combined, truncated, key_, start, forward_, backward_))
                return std::move(*description);
            limit = limit >= source.afterLength / 2 ? source.afterLength : limit * 2;
        }
    }

    SearchItem& item_;
    ResultRecord& record_;
    std::vector<std::string>& fragments_;
    const SearchSettings& settings_;
    MatchedRoots& matchedRoots_;
    ResultSink& sink_;
    const std::string searchKey_;
    std::string wordListText_;
    std::vector<std::string_view> words_;
    std::string_view key_;
    const long long forward_;
    const long long backward_;
    std::vector<std::string_view> done_;
    bool anyFound_ = false;
};

}  // namespace

int EvaluatePage(SearchItem& item, ResultRecord& record, std::vector<std::string>& fragments,
                 const SearchSettings& settings, MatchedRoots& matchedRoots, ResultSink& sink) {
    PageEvaluator evaluator(item, record, fragments, settings, matchedRoots, sink);
    return evaluator.Run();
}

}  // namespace qx
