#include "app/MessageBox.h"

#include <QApplication>

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
                    QApplication::activeWindow());
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    return box.exec();
}

void SetQxMessageBoxHook(QxMessageBoxHook hook) {
    Hook() = std::move(hook);
}

}  // namespace qx
