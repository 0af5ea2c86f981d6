#pragma once

#include <QString>
#include <functional>

namespace qx {

// Opens an address in the default browser exactly as it is written. QUrl, and
// with it QDesktopServices, decodes the escapes of characters such as '-',
// which a text fragment needs kept.
class UrlLauncher {
public:
    // Replaces the browser (tests); an empty function restores it.
    using Hook = std::function<void(const QString& url)>;
    static void SetHook(Hook hook);

    // `url` must be fully encoded (ASCII).
    static void OpenAsIs(const QString& url);
};

}  // namespace qx
