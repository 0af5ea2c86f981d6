#include "app/MessageBox.h"

#include <QApplication>

#include "app/CMainWindow.h"

namespace qx {

namespace {

QxMessageBoxHook& Hook() {
    static QxMessageBoxHook hook;
    return hook;
}

QMessageBox::Icon ToQtIcon(QxIcon icon) {
    switch (icon) {
        case QxIcon::Exclamation:
            return QMessageBox::Warning;
        case QxIcon::Question:
            return QMessageBox::Question;
        case QxIcon::Information:
            return QMessageBox::Information;
        case QxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int QxMessageBox(const QString& text, QMessageBox::StandardButtons buttons, QxIcon icon,
                 QMessageBox::StandardButton defaultButton) {
    const QxMessage message{text, buttons, icon, defaultButton};
    if (Hook()) {
        return Hook()(message);
    }
    QMessageBox box(ToQtIcon(icon), QString::fromLatin1(kMessageCaption), text, buttons,
                    QxDialogOwner());
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    return box.exec();
}

QWidget* QxDialogOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    CMainWindow* hidden = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<CMainWindow*>(window)) {
            if (main->isVisible()) {
                return main;
            }
            hidden = main;
        }
    }
    return hidden;
}

void SetQxMessageBoxHook(QxMessageBoxHook hook) {
    Hook() = std::move(hook);
}

}  // namespace qx
