#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace qx {

// A highlighted stretch of a result text: [start, end) in characters.
struct TextRange {
    int start = 0;
    int end = 0;
    bool operator==(const TextRange&) const = default;
};

// Each highlighting pass marks at most this many ranges.
inline constexpr int kMaxHighlightRanges = 19;

// Occurrences of the search item in the text: each next one is looked for one
// character after the start of the previous, so occurrences may overlap.
std::vector<TextRange> SearchItemRanges(const QString& text, const QString& searchItem);

// Occurrences of the include words (lower-cased; "quillex" when there are
// none) in the text, compared exactly. Starts and ends are each sorted
// ascending.
std::vector<TextRange> IncludeWordRanges(const QString& text, const QString& includeText);

// The word list used for the second pass: the include words lower-cased and
// split at ',' and ';', or "quillex" when the include text is empty.
QStringList HighlightWords(const QString& includeText);

}  // namespace qx
