#pragma once

#include <QString>
#include <functional>

namespace qx {

// The file dialogs of the links page's Load and Save. Tests replace them
// with a function that names the file instead of a user.
class LinksFileDialog {
public:
    enum class Kind { Open, Save };
    // Returns the chosen path, or an empty string when the user cancelled.
    using Hook = std::function<QString(Kind)>;

    static QString Ask(Kind kind);
    // An empty function restores the real dialogs.
    static void SetHook(Hook hook);

    static QString NameFilter();
    static constexpr const char* kDefaultSuffix = "qxt";
    static constexpr const char* kOpenDefaultName = "links.qxt";
    static constexpr const char* kSaveDefaultName = "links";
};

}  // namespace qx
