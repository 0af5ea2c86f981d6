#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace qx {

// Every message of the program goes through QxMessageBox so that texts,
// caption and buttons stay uniform, and so that tests can record the texts and
// choose the answers instead of a user.
enum class QxIcon { None, Exclamation, Question, Information };

struct QxMessage {
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QxIcon icon = QxIcon::None;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

inline constexpr const char* kMessageCaption = "Quillex";

// Returns the button that closed the box (QMessageBox::Ok, Yes, No, Cancel).
int QxMessageBox(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                 QxIcon icon = QxIcon::None,
                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A small box is only as wide as its text; some window managers (openbox)
// then cut the caption to "Q…x". These give a window the width its title bar
// needs for the whole caption, with room for the bar's icon and buttons.
inline constexpr int kTitleBarButtonsWidth = 150;
int CaptionWidthNeeded(const QWidget& window);
void GiveTheCaptionRoom(QMessageBox& box);

// The window that every dialog and message box of the program belongs to: the
// open modal dialog, else the main window (none before it exists). Owned so, a
// dialog stays above the window when that is kept on top, even while another
// program is active.
QWidget* QxDialogOwner();

// The main window makes itself the dialogs' owner for as long as it lives by
// holding one of these. When several are registered (tests open more than one
// main window) the first visible one owns the dialogs, else the latest hidden.
class DialogOwnerRegistration {
public:
    explicit DialogOwnerRegistration(QWidget* window);
    ~DialogOwnerRegistration();
    DialogOwnerRegistration(const DialogOwnerRegistration&) = delete;
    DialogOwnerRegistration& operator=(const DialogOwnerRegistration&) = delete;

private:
    QWidget* window_;
};

// Replaces the real message box; an empty function restores it.
using QxMessageBoxHook = std::function<int(const QxMessage&)>;
void SetQxMessageBoxHook(QxMessageBoxHook hook);

}  // namespace qx
