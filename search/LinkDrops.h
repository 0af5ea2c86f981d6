#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qx {

// Why a link found on a page did not join the pending queue. The order is
// the order the figures are shown in.
enum class DropReason : std::uint8_t {
    kImage,         // ends with .jpg or .gif
    kDepth,         // the page lies below Max Depth
    kWidth,         // no width levels left, or a negative width on a matching page
    kIncludeUrl,    // Include URL: no Include word in it
    kExcludeUrl,    // Exclude URL: an Exclude word in it
    kMaxRemaining,  // the queue held Max Remaining entries
    kNoindex,       // the page says NOINDEX and the robot exclusion rule is on
    kEscaped,       // holds '%', '#' or a blank
    kNotHttp,       // an FTP link
    kStyleSheet,    // names a .css file
    kDotPath,       // starts with '.'
    kShort,         // empty or one character
    kRepeat,        // the same link again further down the page
    kUnresolvable,  // relative, on a page whose own URL cannot be split
    kDuplicate,     // its URL was already started in this search
    kStopOnMatch,   // Stop on Match: a page of its start URL matched
    kRobots,        // robots.txt disallows it
    kCount
};

inline constexpr std::size_t kDropReasonCount = static_cast<std::size_t>(DropReason::kCount);

// The short name of a reason, as written in skip lines ("image", "depth", ...).
std::string_view DropReasonName(DropReason reason);

// Hears of each dropped link one by one (quillex-cli --explain). Called from
// worker threads and from the engine thread, possibly at once.
class DropListener {
public:
    virtual ~DropListener() = default;
    // `url` as resolved where it could be; `page` the page it was found on
    // (empty when no longer known).
    virtual void LinkDropped(DropReason reason, std::string_view url, std::string_view page) = 0;
};

// The links of one page as its worker accounts for them: plain counts kept
// on the worker's stack and added to the search's tally once per page, so
// that counting takes no lock. With a listener each drop is also told.
struct LinkDrops {
    std::array<long long, kDropReasonCount> dropped{};
    long long seen = 0;
    long long queued = 0;
    DropListener* listener = nullptr;
    std::string_view page;

    void Drop(DropReason reason, std::string_view url) {
        ++dropped[static_cast<std::size_t>(reason)];
        if (listener != nullptr) {
            listener->LinkDropped(reason, url, page);
        }
    }
    long long TotalDropped() const;
};

}  // namespace qx
