#pragma once

#include "search/RemainingRow.h"

namespace qx {

// The search page as the links page sees it when it hands over start rows
// ("To Search" and the engine queries). The main window connects it to the
// search page.
class RemainingRowsTarget {
public:
    virtual ~RemainingRowsTarget() = default;

    // True while a search is under way; the links page then hands over nothing.
    virtual bool SearchRunning() const = 0;
    // Brings the search page to the front.
    virtual void ShowSearchPage() = 0;
    // Inserts a row at `index` of the Remaining list (0 = top): the URL, an
    // empty Depth, the Max Depth and the Width ("infinity" for no limit).
    virtual void InsertRemainingRow(int index, const RemainingRow& row) = 0;
};

}  // namespace qx
