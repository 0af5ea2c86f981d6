#include "ui/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <algorithm>
#include <vector>

namespace qx {

namespace {

QxMessageBoxHook& Hook() {
    static QxMessageBoxHook hook;
    return hook;
}

// Only the UI thread registers owners and raises dialogs.
std::vector<QWidget*>& OwnerWindows() {
    static std::vector<QWidget*> windows;
    return windows;
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
    const std::vector<QWidget*>& windows = OwnerWindows();
    const auto visible = std::find_if(windows.begin(), windows.end(),
                                      [](const QWidget* window) { return window->isVisible(); });
    if (visible != windows.end()) {
        return *visible;
    }
    return windows.empty() ? nullptr : windows.back();
}

DialogOwnerRegistration::DialogOwnerRegistration(QWidget* window) : window_(window) {
    OwnerWindows().push_back(window_);
}

DialogOwnerRegistration::~DialogOwnerRegistration() {
    std::erase(OwnerWindows(), window_);
}

void SetQxMessageBoxHook(QxMessageBoxHook hook) {
    Hook() = std::move(hook);
}

}  // namespace qx
