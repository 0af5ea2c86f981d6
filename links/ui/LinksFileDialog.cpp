#include "links/ui/LinksFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "ui/MessageBox.h"
#include "ui/UserSettings.h"

namespace qx {

namespace {

LinksFileDialog::Hook& InstalledHook() {
    static LinksFileDialog::Hook hook;
    return hook;
}

QString RunDialog(LinksFileDialog::Kind kind) {
    const bool save = kind == LinksFileDialog::Kind::Save;
    QFileDialog dialog(QxDialogOwner());
    dialog.setNameFilter(LinksFileDialog::NameFilter());
    dialog.setDefaultSuffix(QString::fromLatin1(LinksFileDialog::kDefaultSuffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Opening needs an existing file; saving asks before replacing one.
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDirectory(LinksFileDialog::StartFolder());
    dialog.selectFile(QString::fromLatin1(save ? LinksFileDialog::kSaveDefaultName
                                               : LinksFileDialog::kOpenDefaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QString LinksFileDialog::NameFilter() {
    return QStringLiteral("QuillEx Links (*.qxt);;Text Files (*.txt);;All Files (*)");
}

QString LinksFileDialog::StartFolder() {
    const QString last = OpenUserSettings()->value(QString::fromLatin1(kLastFolderKey)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return QDir::currentPath();
}

QString LinksFileDialog::Ask(Kind kind) {
    const QString path = InstalledHook() ? InstalledHook()(kind) : RunDialog(kind);
    if (!path.isEmpty()) {
        OpenUserSettings()->setValue(QString::fromLatin1(kLastFolderKey),
                                     QFileInfo(path).absolutePath());
    }
    return path;
}

void LinksFileDialog::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

}  // namespace qx
