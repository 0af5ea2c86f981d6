#pragma once

class QTableView;
class QWidget;

namespace qx {

class CTabPg2;

// The search page's arrangement, top to bottom: the search row, the advanced
// controls (shown on demand), the scan list, the Remaining list and the row of
// list commands. The two lists share the free height but never drop below a
// few rows; a window too short for all of it scrolls the page instead of
// squeezing the lists away.
class SearchPageLayout {
public:
    static constexpr int kMinListRows = 3;

    // Lays out `page`'s controls; `advanced` holds the advanced controls.
    static void Build(CTabPg2& page, QWidget* advanced);
    // The height at which `list` shows its header and `rows` rows above its
    // horizontal scroll bar.
    static int ListHeightFor(const QTableView* list, int rows);
};

}  // namespace qx
