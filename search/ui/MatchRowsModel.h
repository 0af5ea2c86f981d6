#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "search/RemainingRow.h"
#include "ui/SourceRowTableModel.h"

namespace qx {

// The Hot Track list over the session's matches, read where they are kept.
// Columns 0 to 2 are the list's; each row also gives two cells that no column
// shows, the search item and Include text of the search that found it, which
// ShownCell reads so that the row is highlighted with its own search's words.
enum MatchCell {
    kMatchTitle = 0,
    kMatchUrl = 1,
    kMatchResult = 2,
    kMatchSearchItem = 3,
    kMatchInclude = 4,
};

// The rows, or null while there are none to read (the session is not made
// yet, or is gone).
using MatchRowsSource = std::function<const std::vector<MatchRow>*()>;

// Tell the model of every appended row (RowAppended) and every rewrite
// (Reset), as for the scan list.
SourceRowTableModel* NewMatchRowsModel(MatchRowsSource rows, QObject* parent);

}  // namespace qx
