#include "links/ui/LinksMessage.h"

#include <QMessageBox>

namespace qx {

namespace {

LinksMessage::Hook& InstalledHook() {
    static LinksMessage::Hook hook;
    return hook;
}

}  // namespace

void LinksMessage::Show(const QString& text) {
    if (InstalledHook()) {
        InstalledHook()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillex"), text, QMessageBox::Ok);
    box.exec();
}

void LinksMessage::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

}  // namespace qx
