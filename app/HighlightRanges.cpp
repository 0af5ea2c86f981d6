#include "app/HighlightRanges.h"

#include <algorithm>

namespace qx {

namespace {

void AddOccurrences(const QString& text, const QString& needle, std::vector<TextRange>& ranges) {
    // An empty needle would mark every position with nothing to show.
    if (needle.isEmpty()) {
        return;
    }
    qsizetype from = 0;
    while (static_cast<int>(ranges.size()) < kMaxHighlightRanges && from < text.size()) {
        const qsizetype found = text.indexOf(needle, from, Qt::CaseSensitive);
        if (found < 0) {
            break;
        }
        ranges.push_back({static_cast<int>(found), static_cast<int>(found + needle.size())});
        from = found + 1;
    }
}

}  // namespace

std::vector<TextRange> SearchItemRanges(const QString& text, const QString& searchItem) {
    std::vector<TextRange> ranges;
    AddOccurrences(text, searchItem, ranges);
    return ranges;
}

QStringList HighlightWords(const QString& includeText) {
    const QString list =
        includeText.isEmpty() ? QStringLiteral("quillex;") : includeText + QLatin1Char(';');
    const QString lower = list.toLower();
    QStringList words;
    QString word;
    // Each separator ends a word; text after the last separator is no word,
    // but the appended ';' makes sure the last word is ended.
    for (const QChar c : lower) {
        if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            words.append(word);
            word.clear();
        } else {
            word.append(c);
        }
    }
    return words;
}

std::vector<TextRange> IncludeWordRanges(const QString& text, const QString& includeText) {
    std::vector<TextRange> ranges;
    for (const QString& word : HighlightWords(includeText)) {
        AddOccurrences(text, word, ranges);
    }
    std::vector<int> starts;
    std::vector<int> ends;
    for (const TextRange& range : ranges) {
        starts.push_back(range.start);
        ends.push_back(range.end);
    }
    std::sort(starts.begin(), starts.end());
    std::sort(ends.begin(), ends.end());
    for (size_t i = 0; i < ranges.size(); ++i) {
        ranges[i] = {starts[i], ends[i]};
    }
    return ranges;
}

}  // namespace qx
