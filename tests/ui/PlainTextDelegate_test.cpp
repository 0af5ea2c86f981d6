#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QtTest>

#include "ui/ListViews.h"
#include "ui/PlainTextDelegate.h"

using namespace qx;

// The report lists draw their cells through PlainTextDelegate; a user must
// see exactly what the style itself would draw.
class PlainTextDelegateTest : public QObject {
    Q_OBJECT

private slots:
    // Two report views over one model, one with the style's own item drawing,
    // are compared pixel by pixel: short and repeated texts, texts elided at
    // the column's edge, empty cells, a selected row, right-aligned numbers,
    // a cell whose text changes, a larger font, and a newline the style
    // draws on its own.
    void drawsCellsAsTheStyleDoes() {
        QStandardItemModel model(0, 3);
        const QString longUrl =
            QStringLiteral("http://127.0.0.1:18172/section/a/long/path/p1234.html");
        for (int row = 0; row < 12; ++row) {
            QList<QStandardItem*> cells = {
                new QStandardItem(row % 3 == 1 ? longUrl + QString::number(row)
                                               : QStringLiteral("http://x.example/p%1").arg(row)),
                new QStandardItem(row % 2 == 0 ? QStringLiteral("infinity") : QString()),
                new QStandardItem(QString::number(row * 37))};
            cells[2]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            model.appendRow(cells);
        }
        QTableView* fast = MakeReportView(nullptr);
        QTableView* styled = MakeReportView(nullptr);
        styled->setItemDelegate(new QStyledItemDelegate(styled));
        QVERIFY(qobject_cast<PlainTextDelegate*>(fast->itemDelegate()) != nullptr);
        for (QTableView* view : {fast, styled}) {
            view->setModel(&model);
            SizeReportColumns(view, {20, 6, 6});
            view->resize(500, 300);
            view->selectRow(4);
        }
        auto same = [&](const char* what) {
            const QImage a = fast->grab().toImage();
            const QImage b = styled->grab().toImage();
            QVERIFY2(a == b, what);
        };
        same("first paint");
        same("drawn again from the kept texts");
        model.item(1, 0)->setText(QStringLiteral("http://changed.example/"));
        model.item(2, 1)->setText(longUrl);
        same("changed texts");
        QFont larger = fast->font();
        larger.setPointSizeF(larger.pointSizeF() * 1.5);
        fast->setFont(larger);
        styled->setFont(larger);
        same("larger font");
        model.item(5, 0)->setText(QStringLiteral("two\nlines"));
        same("newline");
        delete fast;
        delete styled;
    }
};

QTEST_MAIN(PlainTextDelegateTest)
#include "PlainTextDelegate_test.moc"
