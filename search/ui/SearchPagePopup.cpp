// The search page's right-click menu over its two lists.
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

#include "search/ui/CTabPg2.h"

namespace qx {

void CTabPg2::ConnectPopup(QTableView* view) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& position) { ShowPopup(view, position); });
}

QString CTabPg2::PopupUrl(const QTableView* view, int row) const {
    if (view == scanView) {
        return scanModel->ShownCell(row, 1);
    }
    if (view == remainingView) {
        return remainingModel->ShownCell(row, 0);
    }
    return {};
}

void CTabPg2::ShowPopup(QTableView* view, const QPoint& position) {
    const QString url = PopupUrl(view, view->indexAt(position).row());
    QMenu menu(this);
    const QAction* browse = menu.addAction(QStringLiteral("Browse"));
    const QAction* launch = menu.addAction(QStringLiteral("Launch"));
    const QAction* copy = menu.addAction(QStringLiteral("Copy"));
    const QAction* chosen = menu.exec(view->viewport()->mapToGlobal(position));
    if (chosen == browse) {
        RunPopupCommand(kPopupBrowse, url);
    } else if (chosen == launch) {
        RunPopupCommand(kPopupLaunch, url);
    } else if (chosen == copy) {
        RunPopupCommand(kPopupCopy, url);
    }
}

void CTabPg2::RunPopupCommand(int command, const QString& url) {
    if (url.isEmpty()) {
        return;
    }
    switch (command) {
        case kPopupBrowse:
            emit BrowseRequested(url);
            break;
        case kPopupLaunch:
            QDesktopServices::openUrl(QUrl::fromUserInput(url));
            break;
        case kPopupCopy:
            QGuiApplication::clipboard()->setText(url);
            break;
        default:
            break;
    }
}

}  // namespace qx
