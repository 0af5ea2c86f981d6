#include "app/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>

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
    GiveTheCaptionRoom(box);
    return box.exec();
}

int CaptionWidthNeeded(const QWidget& window) {
    // Title bars draw the caption in a bold face on most desktops.
    QFont title = window.font();
    title.setBold(true);
    return QFontMetrics(title).horizontalAdvance(window.windowTitle()) + kTitleBarButtonsWidth;
}

void GiveTheCaptionRoom(QMessageBox& box) {
    // The box fixes its size from its layout, so a spacer as wide as the
    // caption needs is what widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(CaptionWidthNeeded(box), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
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
