#pragma once

#include <QString>

namespace qx {

// The links page's messages, shown in the program's message box (OK button,
// no icon).
class LinksMessage {
public:
    static void Show(const QString& text);

    static constexpr const char* kNoItemSelected = "No item selected";
    static constexpr const char* kSearchRunning =
        "Warning: search under progress.\nTo start a new search you must first \"Stop\" the "
        "current search.";
    static constexpr const char* kFailedToOpen = "Failed to open file!";
    static constexpr const char* kFailedToCreate = "Failed to create!";
    static constexpr const char* kNoSearchItem =
        "Before starting the search you must enter an item to search for.";
    static constexpr const char* kNoEngines =
        "No search engines selected . . .\n\nSelect search engines by pressing \"Engines\" "
        "button from \"Links\" toolbar and select engines\nbefore pressing \"SE\".";
};

}  // namespace qx
