#pragma once

#include <QString>
#include <functional>

namespace qx {

// The links page's message boxes (OK button, no icon, caption "Quillex").
// Tests replace the box with a function that records the text.
class LinksMessage {
public:
    using Hook = std::function<void(const QString&)>;

    static void Show(const QString& text);
    // An empty function restores the real message box.
    static void SetHook(Hook hook);

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
