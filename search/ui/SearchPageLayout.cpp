#include "search/ui/SearchPageLayout.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "search/ui/CTabPg2.h"

namespace qx {

namespace {

// Padding beside a button's text when the row is short of width.
constexpr int kButtonTextPadding = 12;
constexpr int kMinSearchChars = 10;

// At the window's least width the buttons give up their spare width, down to
// their texts, before the row is cut.
QLayout* SearchRow(CTabPg2& page, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Search:"), parent));
    page.searchEdit->setMinimumWidth(page.searchEdit->fontMetrics().averageCharWidth() *
                                     kMinSearchChars);
    row->addWidget(page.searchEdit, 1);
    for (QPushButton* button : {page.startButton, page.stopButton, page.clearButton,
                                page.advancedButton, page.seButton}) {
        button->setSizePolicy(QSizePolicy::Preferred, button->sizePolicy().verticalPolicy());
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) +
                                2 * kButtonTextPadding);
        row->addWidget(button);
    }
    return row;
}

QLayout* ListCommandRow(CTabPg2& page) {
    auto* row = new QHBoxLayout;
    row->addWidget(page.deleteButton, 1);
    row->addWidget(page.toLinksButton, 1);
    return row;
}

// The page's one child: scrolls its content only when the page is shorter
// than the content's least height.
QScrollArea* PageScroller(QWidget* content, QWidget* page) {
    auto* scroller = new QScrollArea(page);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidgetResizable(true);
    scroller->setWidget(content);
    scroller->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return scroller;
}

}  // namespace

int SearchPageLayout::ListHeightFor(const QTableView* list, int rows) {
    return list->horizontalHeader()->sizeHint().height() +
           rows * list->verticalHeader()->defaultSectionSize() +
           list->horizontalScrollBar()->sizeHint().height() + 2 * list->frameWidth();
}

void SearchPageLayout::Build(CTabPg2& page, QWidget* advanced) {
    auto* content = new QWidget;
    // The advanced controls get the height they need; the lists share the
    // rest, down to a few rows each.
    for (QTableView* list : {page.scanView, page.remainingView}) {
        list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
        list->setMinimumHeight(ListHeightFor(list, kMinListRows));
    }
    auto* layout = new QVBoxLayout(content);
    layout->addLayout(SearchRow(page, content));
    layout->addWidget(advanced);
    layout->addWidget(page.scanView, 1);
    layout->addWidget(page.remainingView, 1);
    layout->addLayout(ListCommandRow(page));

    auto* outer = new QVBoxLayout(&page);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(PageScroller(content, &page));
}

}  // namespace qx
