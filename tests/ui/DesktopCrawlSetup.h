#pragma once

// Sets up a crawl in the desktop program's main window as a user would: the
// start URL in the Remaining list, the search item, Max Connections and
// Engine Timing ("REVS,DAMP") typed and checked. Start is left to the caller.
// Shared by the desktop crawl check and the desktop crawl benchmark.

#include <QCheckBox>
#include <QLineEdit>
#include <QString>

#include "app/CMainWindow.h"
#include "search/SearchSession.h"
#include "search/ui/CTabPg2.h"

namespace qx::test {

// A new, shown main window; it deletes itself when closed, as the program's
// does, so a caller that leaves its event loop with exit() keeps it open.
inline CMainWindow* OpenWindowForCrawl(const char* url, const char* search, const char* connections,
                                       const QString& timing) {
    auto* window = new CMainWindow;
    window->resize(1000, 700);
    window->show();
    window->SetActivePage(CMainWindow::kSearchPage);
    CTabPg2* page = window->SearchPage();
    page->Session().AppendRemaining({url, "", "infinity", "infinity"});
    page->searchEdit->setText(QString::fromLocal8Bit(search));
    page->maxConnectionsCheck->setChecked(true);
    page->maxConnectionsEdit->setText(QString::fromLocal8Bit(connections));
    page->engineTimingCheck->setChecked(true);
    page->engineRevsEdit->setText(timing.section(',', 0, 0));
    page->engineDampEdit->setText(timing.section(',', 1, 1));
    return window;
}

}  // namespace qx::test
