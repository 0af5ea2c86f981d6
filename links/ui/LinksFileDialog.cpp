#include "links/ui/LinksFileDialog.h"

#include <QFileDialog>
#include <QStringList>

#include "app/MessageBox.h"

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

QString LinksFileDialog::Ask(Kind kind) {
    if (InstalledHook())
        return InstalledHook()(kind);
    return RunDialog(kind);
}

void LinksFileDialog::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

}  // namespace qx
