#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "links/ui/CListEditView.h"

using qx::CListEditView;
using qx::ListEditModel;

namespace {

// A list with the links page's three columns inside a window that also holds
// a second control to move the focus to.
struct ListWindow {
    QWidget window;
    CListEditView* list;
    QLineEdit* other;
    bool active = false;

    ListWindow() : list(new CListEditView(&window)), other(new QLineEdit(&window)) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(list);
        layout->addWidget(other);
        list->InsertColumn(0, "URL", 200);
        list->InsertColumn(1, "Depth", 60);
        list->InsertColumn(2, "Width", 60);
        for (int row = 0; row < 3; ++row) {
            list->InsertItem(row, QString("http://host%1.com").arg(row));
            list->SetItemText(row, 1, QString::number(row));
            list->SetItemText(row, 2, QString::number(row + 10));
            list->SetStateImage(row, ListEditModel::kUnchecked);
        }
        window.resize(600, 300);
        window.show();
        window.activateWindow();
        active = QTest::qWaitForWindowActive(&window);
    }

    QPoint CellCenter(int row, int column) const {
        QRect cell = list->visualRect(list->Model()->index(row, column));
        if (column == 0)
            cell.setLeft(cell.left() + CListEditView::kStateImageWidth);
        return cell.center();
    }

    void Click(const QPoint& pos) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }

    // Selects the row, then clicks into the cell to edit it.
    QLineEdit* StartEdit(int row, int column) {
        Click(CellCenter(row, 0));
        Click(CellCenter(row, column));
        return list->viewport()->findChild<QLineEdit*>();
    }
};

}  // namespace

class ListEditViewTest : public QObject {
    Q_OBJECT
private slots:
    void checkBoxClickToggles_data();
    void checkBoxClickToggles();
    void checkBoxClickedTwiceReturns();
    void editingWidthWritesOnlyColumnTwo_data();
    void editingWidthWritesOnlyColumnTwo();
    void editorSitsOverTheClickedCell();
    void firstClickOnlySelects();
    void clickRightOfLastColumnStartsNoEdit();
    void clickOnEmptySpaceClearsTheMark();
    void setHighlightTypeKeepsModeAboveTwo();
    void highlightModesPaintTheRightArea_data();
    void highlightModesPaintTheRightArea();
    void longTextEndsInEllipsis();
};

void ListEditViewTest::checkBoxClickToggles_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("unchecked becomes checked")
        << ListEditModel::kUnchecked << ListEditModel::kChecked;
    QTest::newRow("checked becomes unchecked")
        << ListEditModel::kChecked << ListEditModel::kUnchecked;
    QTest::newRow("no state becomes unchecked")
        << ListEditModel::kNoStateImage << ListEditModel::kUnchecked;
}

void ListEditViewTest::checkBoxClickToggles() {
    QFETCH(int, before);
    QFETCH(int, after);
    ListWindow w;
    w.list->SetStateImage(1, before);
    w.Click(w.list->CheckBoxRect(1).center());
    QCOMPARE(w.list->GetStateImage(1), after);
    QCOMPARE(w.list->GetStateImage(0), ListEditModel::kUnchecked);
    QCOMPARE(w.list->GetStateImage(2), ListEditModel::kUnchecked);
    QCOMPARE(w.list->EditColumn(), -1);
}

void ListEditViewTest::checkBoxClickedTwiceReturns() {
    ListWindow w;
    const QPoint box = w.list->CheckBoxRect(0).center();
    w.Click(box);
    QVERIFY(w.list->IsChecked(0));
    w.Click(box);
    QCOMPARE(w.list->GetStateImage(0), ListEditModel::kUnchecked);
    QVERIFY(!w.list->IsEditing());
}

void ListEditViewTest::editingWidthWritesOnlyColumnTwo_data() {
    QTest::addColumn<QString>("ending");
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Escape still writes") << "escape";
    QTest::newRow("focus loss") << "focus";
}

void ListEditViewTest::editingWidthWritesOnlyColumnTwo() {
    QFETCH(QString, ending);
    ListWindow w;
    QVERIFY(w.active);
    QLineEdit* editor = w.StartEdit(1, 2);
    QVERIFY2(editor, "no edit box opened for the Width cell");
    QCOMPARE(w.list->EditColumn(), 2);
    QCOMPARE(editor->text(), QString("11"));
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, "77");
    if (ending == "enter")
        QTest::keyClick(editor, Qt::Key_Return);
    else if (ending == "escape")
        QTest::keyClick(editor, Qt::Key_Escape);
    else
        w.other->setFocus();
    QTRY_COMPARE(w.list->EditColumn(), -1);
    QCOMPARE(w.list->GetItemText(1, 2), QString("77"));
    QCOMPARE(w.list->GetItemText(1, 0), QString("http://host1.com"));
    QCOMPARE(w.list->GetItemText(1, 1), QString("1"));
    QVERIFY2(!w.list->IsRowHighlighted(1), "the edited row stays selected");
}

void ListEditViewTest::editorSitsOverTheClickedCell() {
    ListWindow w;
    QLineEdit* editor = w.StartEdit(2, 1);
    QVERIFY(editor);
    QCOMPARE(w.list->EditColumn(), 1);
    const QRect cell = w.list->visualRect(w.list->Model()->index(2, 1));
    QVERIFY2(cell.contains(editor->geometry().center()), "edit box not over the Depth cell");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(w.list->GetItemText(2, 1), QString("2"));
    // In the first column the box covers the label and leaves the check box.
    ListWindow first;
    editor = first.StartEdit(0, 0);
    QVERIFY(editor);
    QCOMPARE(first.list->EditColumn(), 0);
    QVERIFY2(!editor->geometry().intersects(first.list->CheckBoxRect(0)),
             "edit box over the check box");
    QVERIFY2(first.list->visualRect(first.list->Model()->index(0, 0))
                 .contains(editor->geometry().center()),
             "edit box not over the URL cell");
    QTest::keyClick(editor, Qt::Key_Return);
}

void ListEditViewTest::firstClickOnlySelects() {
    ListWindow w;
    w.Click(w.CellCenter(0, 2));
    QVERIFY(w.list->IsRowHighlighted(0));
    QCOMPARE(w.list->EditColumn(), -1);
    QCOMPARE(w.list->GetSelectionMark(), 0);
}

void ListEditViewTest::clickRightOfLastColumnStartsNoEdit() {
    ListWindow w;
    w.Click(w.CellCenter(0, 0));
    const QRect last = w.list->visualRect(w.list->Model()->index(0, 2));
    const QPoint beyond(last.right() + 40, last.center().y());
    QVERIFY(beyond.x() < w.list->viewport()->width());
    QCOMPARE(w.list->EditColumnAt(beyond), -1);
    w.Click(beyond);
    QCOMPARE(w.list->EditColumn(), -1);
    QVERIFY(!w.list->IsEditing());
    QVERIFY(!w.list->viewport()->findChild<QLineEdit*>());
}

void ListEditViewTest::clickOnEmptySpaceClearsTheMark() {
    ListWindow w;
    w.Click(w.CellCenter(1, 1));
    QCOMPARE(w.list->GetSelectionMark(), 1);
    w.Click(QPoint(10, w.list->viewport()->height() - 5));
    QCOMPARE(w.list->GetSelectionMark(), -1);
}

void ListEditViewTest::setHighlightTypeKeepsModeAboveTwo() {
    CListEditView list;
    QCOMPARE(list.SetHighlightType(2), 0);
    QCOMPARE(list.SetHighlightType(3), 2);
    QCOMPARE(list.GetHighlightType(), 2);
    QCOMPARE(list.SetHighlightType(1), 2);
    QCOMPARE(list.GetHighlightType(), 1);
}

void ListEditViewTest::highlightModesPaintTheRightArea_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("widthCellLit");
    QTest::addColumn<bool>("rightEdgeLit");
    QTest::newRow("0: first column's text only") << 0 << false << false;
    QTest::newRow("1: all columns") << 1 << true << false;
    QTest::newRow("2: up to the right edge") << 2 << true << true;
}

void ListEditViewTest::highlightModesPaintTheRightArea() {
    QFETCH(int, mode);
    QFETCH(bool, widthCellLit);
    QFETCH(bool, rightEdgeLit);
    ListWindow w;
    w.list->SetHighlightType(mode);
    w.list->SetItemText(1, 2, QString());  // nothing drawn over the cell's background
    w.Click(w.CellCenter(1, 1));
    const QImage image = w.list->viewport()->grab().toImage();
    const QColor highlight = w.list->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect width = w.list->visualRect(w.list->Model()->index(1, 2));
    const QPoint inWidth(width.center().x(), width.center().y());
    const QPoint atRightEdge(w.list->viewport()->width() - 3, width.center().y());
    QCOMPARE(image.pixelColor(inWidth) == highlight, widthCellLit);
    QCOMPARE(image.pixelColor(atRightEdge) == highlight, rightEdgeLit);
    const QRect label = w.list->visualRect(w.list->Model()->index(1, 0));
    QCOMPARE(image.pixelColor(label.left() + CListEditView::kStateImageWidth + 2, label.top() + 2),
             highlight);
}

void ListEditViewTest::longTextEndsInEllipsis() {
    ListWindow w;
    const QString longUrl = "http://" + QString(500, 'a') + ".com";
    w.list->SetItemText(0, 0, longUrl);
    w.list->SetItemText(0, 2, QString(200, '9'));
    const QString url = w.list->DisplayedText(0, 0);
    const QString width = w.list->DisplayedText(0, 2);
    QVERIFY2(url.endsWith(QChar(0x2026)), qPrintable(url));
    QVERIFY(url.size() < longUrl.size());
    QVERIFY2(width.endsWith(QChar(0x2026)), qPrintable(width));
    QCOMPARE(w.list->DisplayedText(1, 0), QString("http://host1.com"));
}

QTEST_MAIN(ListEditViewTest)
#include "ListEditView_test.moc"
