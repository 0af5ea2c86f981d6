#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "search/RemainingRow.h"
#include "search/SearchControls.h"

namespace qx {

// What the crawler hands the search session: the controls and the Remaining
// rows, gathered from the options, a link file, the engines file or the
// program's command-line search, plus the messages those steps showed.
struct CliSearchPlan {
    SearchControls controls;
    std::vector<RemainingRow> rows;
    std::vector<std::string> messages;  // shown before Start, in order
    std::string error;                  // a named file could not be read: exit 2

    static constexpr const char* kMsgFailedToOpen = "Failed to open file!";
    static constexpr const char* kMsgNoItem =
        "Before starting the search you must enter an item to search for.";
    static constexpr const char* kMsgNoEngines =
        "No search engines selected . . .\n\nSelect search engines by pressing \"Engines\" "
        "button from \"Links\" toolbar and select engines\nbefore pressing \"SE\".";

    // `programFolder` locates engines.qeg for --command-line.
    static CliSearchPlan Build(const CliOptions& options, const std::string& programFolder);

    // Rows for every line of a link file or engines file, as "To Search" and
    // "SE" transfer checked rows: empty URLs skipped, the first search marker
    // replaced by `queryWords` (when not null), empty limits read "infinity".
    static std::vector<RemainingRow> RowsFromLines(const std::vector<std::string>& lines,
                                                   const std::string* queryWords);

    // The command-line search's split of its words: the search item and the
    // Include text (empty when nothing follows the first blank).
    static void SplitCommandLine(const std::string& line, std::string& search,
                                 std::string& include);
};

}  // namespace qx
