#include "html/LinkExtraction.h"

#include <string.h>  // memmem

#include <algorithm>
#include <cstring>
#include <functional>
#include <queue>
#include <utility>

#include "html/AsciiText.h"

namespace qx {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Position of the first `c` in text[from, to), or `to` when there is none.
std::size_t FindByte(std::string_view text, char c, std::size_t from, std::size_t to) {
    if (from >= to) {
        return to;
    }
    const void* hit = std::memchr(text.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : to;
}

// Linear-time substring search (glibc's memmem is two-way), so that long or
// repetitive search words cannot make a page quadratic.
std::size_t FindText(std::string_view text, std::string_view word, std::size_t from) {
    if (from > text.size() || word.size() > text.size() - from) {
        return kNone;
    }
    const void* hit = memmem(text.data() + from, text.size() - from, word.data(), word.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : kNone;
}

struct Attribute {
    std::string_view name;
    std::string_view value;
};

// Skips the '<' and the element name; returns where the attributes start.
// Text without '<' (the rest of a tag that an earlier '>' inside a quoted
// value cut off) is read as attributes from its start.
std::size_t SkipElementName(std::string_view tag, std::string_view& element) {
    std::size_t open = tag.find('<');
    if (open == kNone) {
        element = {};
        return 0;
    }
    std::size_t start = open + 1;
    std::size_t end = start;
    while (end < tag.size() && !IsSpace(tag[end]) && tag[end] != '>' &&
           (tag[end] != '/' || end == start)) {
        ++end;
    }
    element = tag.substr(start, end - start);
    return end;
}

std::string_view ReadAttributeValue(std::string_view tag, std::size_t& pos) {
    const std::size_t size = tag.size();
    if (pos >= size || tag[pos] == '>') {
        return {};
    }
    char quote = tag[pos];
    if (quote == '"' || quote == '\'') {
        std::size_t start = pos + 1;
        std::size_t close = FindByte(tag, quote, start, size);
        if (close < size) {
            pos = close + 1;
            return tag.substr(start, close - start);
        }
        // Unterminated: runs to the end of the tag, without its closing '>'.
        std::size_t end = (size > start && tag[size - 1] == '>') ? size - 1 : size;
        pos = size;
        return tag.substr(start, end - start);
    }
    std::size_t start = pos;
    while (pos < size && !IsSpace(tag[pos]) && tag[pos] != '>') {
        ++pos;
    }
    return tag.substr(start, pos - start);
}

// Reads the next attribute from `pos`; false at the end of the tag.
bool NextAttribute(std::string_view tag, std::size_t& pos, Attribute& attribute) {
    const std::size_t size = tag.size();
    while (pos < size && (IsSpace(tag[pos]) || tag[pos] == '/')) {
        ++pos;
    }
    if (pos >= size || tag[pos] == '>') {
        return false;
    }
    std::size_t start = pos++;  // a leading '=' belongs to the name
    while (pos < size && !IsSpace(tag[pos]) && tag[pos] != '/' && tag[pos] != '>' &&
           tag[pos] != '=') {
        ++pos;
    }
    attribute.name = tag.substr(start, pos - start);
    attribute.value = {};
    std::size_t afterName = pos;
    while (pos < size && IsSpace(tag[pos])) {
        ++pos;
    }
    if (pos < size && tag[pos] == '=') {
        ++pos;
        while (pos < size && IsSpace(tag[pos])) {
            ++pos;
        }
        attribute.value = ReadAttributeValue(tag, pos);
    } else {
        pos = afterName;
    }
    return true;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != kNone;
}

// One entry of a page's tag list: a tag from its '<' through its '>' (empty
// for a stray '>'), or a match marker: the page text of a word occurrence up
// to the next space.
struct TagEntry {
    std::string_view text;
    bool marker = false;
};

// Where the tag collection stands between two calls of SplitTags.
struct TagScan {
    bool collecting = false;
    std::size_t tagStart = 0;
};

// Collects the tags of page[from, to): a '<' starts a tag (a later '<' in it is
// part of it), a '>' ends it; a '>' outside a tag gives an empty entry.
void SplitTags(std::string_view page, std::size_t from, std::size_t to, TagScan& scan,
               std::vector<TagEntry>& entries) {
    std::size_t pos = from;
    while (pos < to) {
        std::size_t close = FindByte(page, '>', pos, to);
        if (!scan.collecting) {
            std::size_t open = FindByte(page, '<', pos, close);
            if (open < close) {
                scan.collecting = true;
                scan.tagStart = open;
            }
        }
        if (close == to) {
            return;
        }
        std::string_view text;
        if (scan.collecting) {
            text = page.substr(scan.tagStart, close - scan.tagStart + 1);
        }
        entries.push_back({text, false});
        scan.collecting = false;
        pos = close + 1;
    }
}

// The lower-cased search words; empty ones are dropped.
std::vector<std::string> SearchWords(std::string_view searchText, std::string_view includeText) {
    std::string list(searchText);
    list += ';';
    if (!includeText.empty()) {
        list += includeText;
        list += ';';
    }
    std::transform(list.begin(), list.end(), list.begin(), LowerAscii);
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t semi = list.find(';'); semi != kNone; semi = list.find(';', start)) {
        if (semi > start) {
            words.push_back(list.substr(start, semi - start));
        }
        start = semi + 1;
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

// Finds the earliest occurrence of any word at or after a rising position.
// Each word's next occurrence is cached and searched again only when the
// position has passed it, so a frequent word beside a rare one stays linear.
class WordOccurrences {
public:
    WordOccurrences(std::string_view page, std::vector<std::string> words)
        : page_(page), words_(std::move(words)) {
        for (std::size_t i = 0; i < words_.size(); ++i) {
            Push(i, 0);
        }
    }

    std::size_t NextAtOrAfter(std::size_t from) {
        while (!next_.empty() && next_.top().first < from) {
            std::size_t word = next_.top().second;
            next_.pop();
            Push(word, from);
        }
        return next_.empty() ? kNone : next_.top().first;
    }

private:
    void Push(std::size_t word, std::size_t from) {
        std::size_t pos = FindText(page_, words_[word], from);
        if (pos != kNone) {
            next_.emplace(pos, word);
        }
    }

    using Slot = std::pair<std::size_t, std::size_t>;  // position, word index
    std::string_view page_;
    std::vector<std::string> words_;
    std::priority_queue<Slot, std::vector<Slot>, std::greater<Slot>> next_;
};

// The tag list of a page with a marker at each reached word occurrence: the
// tag being collected there is discarded and the scan resumes at the space
// that ends the marker. An occurrence that begins inside text already taken
// into a marker is never reached and ends the marking.
std::vector<TagEntry> SplitTagsWithMarkers(std::string_view page, WordOccurrences& occurrences) {
    std::vector<TagEntry> entries;
    const std::size_t size = page.size();
    TagScan scan{true, 0};  // text before the first '<' joins the first tag
    std::size_t pagePos = 0;
    std::size_t searchPos = 0;
    bool searching = true;
    while (true) {
        std::size_t found = kNone;
        if (searching) {
            found = occurrences.NextAtOrAfter(searchPos);
            if (found == kNone || found + 1 >= size) {
                searching = false;
            }
            if (found != kNone) {
                searchPos = found + 1;
            }
        }
        std::size_t stop = (found != kNone && found >= pagePos) ? found : size;
        SplitTags(page, pagePos, stop, scan, entries);
        if (stop == size) {
            return entries;
        }
        std::size_t end = FindByte(page, ' ', found, size);
        if (end > found) {
            entries.push_back({page.substr(found, end - found), true});
        }
        scan.collecting = false;
        pagePos = end;
    }
}

struct Selected {
    std::string link;
    bool marker = false;
};

// Turns tag entries into links and markers; false on a NOINDEX stop.
bool SelectLinks(const std::vector<TagEntry>& entries, std::string_view name,
                 bool useRobotExclusion, std::vector<Selected>& selection) {
    std::string link;
    selection.reserve(entries.size());
    for (const TagEntry& entry : entries) {
        if (useRobotExclusion && HasNoIndex(entry.text)) {
            return false;
        }
        if (entry.marker) {
            selection.push_back({std::string(), true});
        } else if (GetLinkValue(entry.text, name, link)) {
            selection.push_back({link, false});
        }
    }
    return true;
}

// The window around each marker at index k takes entry k-1 to the tail, the
// `before` entries ahead of it to the head (each marker's block in front of
// the previous ones) and the `after` entries behind k to the tail. Only the
// last place of each taken entry is kept: tail places win over head places,
// tail blocks run in page order and so do the indices inside each head block.
void SelectWindows(std::vector<Selected>& selection, std::size_t before, std::size_t after,
                   std::vector<std::string>& head, std::vector<std::string>& tail) {
    const std::size_t count = selection.size();
    std::vector<int> tailCover(count + 1, 0);
    struct Block {
        std::size_t first;
        std::size_t last;
    };
    std::vector<Block> headBlocks;
    std::size_t covered = 0;  // head indices below this are taken by an earlier marker
    for (std::size_t k = 0; k < count; ++k) {
        if (!selection[k].marker) {
            continue;
        }
        std::size_t first = k > 0 ? k - 1 : 0;
        std::size_t last = after >= count - k ? count - 1 : k + after;
        ++tailCover[first];
        --tailCover[last + 1];
        if (before > 0 && k >= 2) {
            std::size_t blockFirst = std::max(k - 1 >= before ? k - 1 - before : 0, covered);
            std::size_t blockLast = k - 2;
            if (blockFirst <= blockLast) {
                headBlocks.push_back({blockFirst, blockLast});
                covered = blockLast + 1;
            }
        }
    }
    std::vector<char> inTail(count, 0);
    int depth = 0;
    for (std::size_t i = 0; i < count; ++i) {
        depth += tailCover[i];
        inTail[i] = depth > 0;
    }
    for (auto block = headBlocks.rbegin(); block != headBlocks.rend(); ++block) {
        for (std::size_t i = block->first; i <= block->last; ++i) {
            if (!selection[i].marker && !inTail[i]) {
                head.push_back(std::move(selection[i].link));
            }
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (inTail[i] && !selection[i].marker) {
            tail.push_back(std::move(selection[i].link));
        }
    }
}

// Whether the window selection takes any entry at all, markers included.
bool WindowTakesAnything(const std::vector<Selected>& selection, std::size_t after) {
    for (std::size_t k = 0; k < selection.size(); ++k) {
        if (selection[k].marker && (k > 0 || (after > 0 && k + 1 < selection.size()))) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool HasNoIndex(std::string_view tag) {
    return Contains(tag, "NOINDEX") || Contains(tag, "noindex");
}

bool GetAttributeValue(std::string_view tag, std::string_view name, std::string& value) {
    value.clear();
    std::string_view element;
    std::size_t pos = SkipElementName(tag, element);
    Attribute attribute;
    while (NextAttribute(tag, pos, attribute)) {
        if (EqualsNoCase(attribute.name, name)) {
            value.assign(attribute.value);
            return true;
        }
    }
    return false;
}

bool GetLinkValue(std::string_view tag, std::string_view name, std::string& link) {
    link.clear();
    std::string_view element;
    std::size_t pos = SkipElementName(tag, element);
    const bool option = EqualsNoCase(element, "option");
    std::string_view optionValue;
    bool hasOptionValue = false;
    Attribute attribute;
    while (NextAttribute(tag, pos, attribute)) {
        if (EqualsNoCase(attribute.name, name)) {
            if (Contains(attribute.value, "mailto:")) {
                return false;
            }
            link.assign(attribute.value);
            return true;
        }
        if (option && !hasOptionValue && EqualsNoCase(attribute.name, "value")) {
            optionValue = attribute.value;
            hasOptionValue = true;
        }
    }
    if (hasOptionValue && Contains(optionValue, "http")) {
        link.assign(optionValue);
        return true;
    }
    return false;
}

bool CollectLinks(std::string_view pageText, std::string_view name, std::vector<std::string>& out,
                  bool useRobotExclusion) {
    if (pageText.empty()) {
        return false;
    }
    std::vector<TagEntry> entries;
    TagScan scan;
    SplitTags(pageText, 0, pageText.size(), scan, entries);
    const std::size_t sizeOnEntry = out.size();
    std::string link;
    for (const TagEntry& entry : entries) {
        if (useRobotExclusion && HasNoIndex(entry.text)) {
            out.resize(sizeOnEntry);
            return false;
        }
        if (GetLinkValue(entry.text, name, link)) {
            out.push_back(link);
        }
    }
    return !out.empty();
}

bool CollectLinksNearMatches(std::string_view pageText, std::string_view name,
                             std::vector<std::string>& out, std::string_view searchText,
                             std::string_view includeText, int width, bool useRobotExclusion) {
    if (pageText.empty() || width < 0) {
        return false;
    }
    WordOccurrences occurrences(pageText, SearchWords(searchText, includeText));
    std::vector<TagEntry> entries = SplitTagsWithMarkers(pageText, occurrences);
    std::vector<Selected> selection;
    if (!SelectLinks(entries, name, useRobotExclusion, selection)) {
        return false;
    }
    const auto before = static_cast<std::size_t>(width / 2);
    const auto after = static_cast<std::size_t>(width) - before;
    const bool selected = !out.empty() || WindowTakesAnything(selection, after);
    std::vector<std::string> head;
    std::vector<std::string> tail;
    SelectWindows(selection, before, after, head, tail);
    head.reserve(head.size() + out.size() + tail.size());
    std::move(out.begin(), out.end(), std::back_inserter(head));
    std::move(tail.begin(), tail.end(), std::back_inserter(head));
    out = std::move(head);
    return selected;
}

}  // namespace qx
