#pragma once

#include <QMenuBar>
#include <QVBoxLayout>

#include "app/CModelessDialog.h"
#include "ui/CStatusPanes.h"

namespace qx {

// A modeless dialog with a menu bar whose item prompts show in the first pane
// of a status bar ("Ready" while no menu is open).
class CModelessMain : public CModelessDialog {
    Q_OBJECT
public:
    static constexpr const char* kIdlePrompt = "Ready";

    CModelessMain(const QStringList& paneTexts, QWidget* parent = nullptr);

    CStatusPanes* StatusBar() const { return statusBar_; }
    QMenuBar* MenuBar() const { return menuBar_; }

protected:
    // Adds a menu whose items show their status tips as prompts.
    QMenu* AddMenu(const QString& title, QMenuBar* bar);
    // The widget between the menu and the status bar.
    void SetCentralWidget(QWidget* widget);

private:
    void ShowPrompt(const QAction* action);

    QMenuBar* menuBar_;
    CStatusPanes* statusBar_;
    QVBoxLayout* layout_;
};

}  // namespace qx
