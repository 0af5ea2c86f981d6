#include "ui/UrlLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace qx {

namespace {

UrlLauncher::Hook& InstalledHook() {
    static UrlLauncher::Hook hook;
    return hook;
}

}  // namespace

void UrlLauncher::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

void UrlLauncher::OpenAsIs(const QString& url) {
    if (InstalledHook()) {
        InstalledHook()(url);
        return;
    }
    // The desktop's opener gets the text as one argument, never through a
    // shell.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !QProcess::startDetached(opener, {url})) {
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    }
}

}  // namespace qx
