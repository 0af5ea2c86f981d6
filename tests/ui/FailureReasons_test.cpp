// Why a failed page failed, in the desktop program: the Result cell's tool
// tip, and status pane 0 while the row is selected.

#include <QTableView>
#include <QtTest>
#include <memory>

#include "SearchPageFixture.h"
#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchSession.h"
#include "search/SearchSettings.h"
#include "search/ui/CTabPg2.h"
#include "ui/CStatusPanes.h"
#include "ui/SourceRowTableModel.h"

using namespace qx;

class FailureReasonsTest : public QObject, public test::SearchPageFixture {
    Q_OBJECT

private slots:
    void init() {
        OpenWindow();
        window_->SetActivePage(CMainWindow::kSearchPage);
        Send(kResultNoMatch, "http://a.example/", "");
        Send(kResultConnectionFailed, "http://b.example/x.gz", "not text: application/gzip");
        page_->scanModel->FlushPending();
    }
    void cleanup() { CloseWindow(); }

    void theResultCellOfAFailedRowTellsWhy() {
        SourceRowTableModel* model = page_->scanModel;
        QCOMPARE(model->index(1, 2).data().toString(), QStringLiteral("CONNECTION FAILED"));
        QCOMPARE(model->index(1, 2).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("not text: application/gzip"));
        // Other cells keep their own text as tip.
        QCOMPARE(model->index(1, 1).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("http://b.example/x.gz"));
        QCOMPARE(model->index(0, 2).data(Qt::ToolTipRole).toString(), QStringLiteral("NO MATCH"));
    }

    void selectingAFailedRowShowsWhyInPaneZero() {
        CStatusPanes* panes = window_->StatusBar();
        page_->scanView->setCurrentIndex(page_->scanModel->index(1, 0));
        QCOMPARE(panes->PaneText(0), QStringLiteral("not text: application/gzip"));
        page_->scanView->setCurrentIndex(page_->scanModel->index(0, 0));
        QCOMPARE(panes->PaneText(0), QStringLiteral("Ready"));
    }

private:
    void Send(int kind, const char* url, const char* reason) {
        ResultRecord record;
        record.url = url;
        record.reason = reason;
        page_->Session().HandleMessage(WM_SEARCH_RESULT, static_cast<std::uintptr_t>(kind),
                                       reinterpret_cast<std::intptr_t>(&record));
    }
};

QTEST_MAIN(FailureReasonsTest)
#include "FailureReasons_test.moc"
