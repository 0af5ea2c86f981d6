#include "app/CModelessMain.h"

#include <QMenu>

namespace qx {

CModelessMain::CModelessMain(const QStringList& paneTexts, QWidget* parent)
    : CModelessDialog(parent),
      menuBar_(new QMenuBar(this)),
      statusBar_(new CStatusPanes(paneTexts, this)),
      layout_(new QVBoxLayout(this)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->setMenuBar(menuBar_);
    layout_->addWidget(statusBar_);
    statusBar_->SetPaneText(0, QString::fromLatin1(kIdlePrompt));
}

QMenu* CModelessMain::AddMenu(const QString& title, QMenuBar* bar) {
    QMenu* menu = bar->addMenu(title);
    connect(menu, &QMenu::hovered, this, &CModelessMain::ShowPrompt);
    connect(menu, &QMenu::aboutToHide, this,
            [this] { statusBar_->SetPaneText(0, QString::fromLatin1(kIdlePrompt)); });
    return menu;
}

void CModelessMain::SetCentralWidget(QWidget* widget) {
    layout_->insertWidget(0, widget, 1);
}

void CModelessMain::ShowPrompt(const QAction* action) {
    // Separators and submenus have no prompt; the pane keeps its text then.
    if (action != nullptr && !action->statusTip().isEmpty()) {
        statusBar_->SetPaneText(0, action->statusTip());
    }
}

}  // namespace qx
