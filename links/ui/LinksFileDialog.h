#pragma once

#include <QString>
#include <functional>

namespace qx {

// The file dialogs of the links page's Load and Save. Tests replace them
// with a function that names the file instead of a user; the folder of a
// chosen file is remembered either way.
class LinksFileDialog {
public:
    enum class Kind { Open, Save };
    // Returns the chosen path, or an empty string when the user cancelled.
    using Hook = std::function<QString(Kind)>;

    static QString Ask(Kind kind);
    // An empty function restores the real dialogs.
    static void SetHook(Hook hook);

    // The folder both dialogs start in: the one of the file chosen last (kept
    // in the user's settings), or the current directory before the first
    // choice or when that folder has gone.
    static QString StartFolder();
    static constexpr const char* kLastFolderKey = "Links/LastFolder";

    static QString NameFilter();
    static constexpr const char* kDefaultSuffix = "qxt";
    static constexpr const char* kOpenDefaultName = "links.qxt";
    static constexpr const char* kSaveDefaultName = "links";
};

}  // namespace qx
