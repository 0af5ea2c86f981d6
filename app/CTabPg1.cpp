#include "app/CTabPg1.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/CMainWindow.h"
#include "links/ui/CListEditView.h"
#include "links/ui/CToolBarCtrlPage.h"

namespace qx {

CTabPg1::CTabPg1(QWidget* parent)
    : CPropertyPage(parent),
      record_(new QCheckBox(QStringLiteral("Record"), this)),
      urlBox_(new QLineEdit(this)),
      browser_(new CWebBrowser2(this)) {
    auto* row = new QHBoxLayout;
    row->addWidget(AddButton(QStringLiteral("<"), &CTabPg1::OnBack));
    row->addWidget(AddButton(QStringLiteral(">"), &CTabPg1::OnForward));
    row->addWidget(AddButton(QStringLiteral("<=>"), &CTabPg1::OnRefresh));
    row->addWidget(AddButton(QStringLiteral("!"), &CTabPg1::OnStop));
    row->addWidget(new QLabel(QStringLiteral("URL:"), this));
    row->addWidget(urlBox_, 1);
    row->addWidget(AddButton(QStringLiteral("Go!"), &CTabPg1::OnGo));
    record_->setToolTip(QStringLiteral("Record the visited pages in the links list"));
    row->addWidget(record_);
    QPushButton* home = AddButton(QString(), &CTabPg1::OnHomePage);
    home->setIcon(QIcon(QStringLiteral(":/icons/home.png")));
    home->setObjectName(QStringLiteral("homePageButton"));
    row->addWidget(home);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(browser_, 1);

    connect(urlBox_, &QLineEdit::returnPressed, this, &CTabPg1::OnGo);
    connect(browser_, &CWebBrowser2::BeforeNavigate2, this, &CTabPg1::OnBeforeNavigate2);
    connect(browser_, &CWebBrowser2::NavigateComplete2, this, &CTabPg1::OnNavigateComplete2);
    connect(browser_, &CWebBrowser2::StatusTextChange, this, &CTabPg1::OnStatusTextChange);
}

QPushButton* CTabPg1::AddButton(const QString& text, void (CTabPg1::*handler)()) {
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    if (!text.isEmpty()) {
        button->setObjectName(text);
        button->setMaximumWidth(std::max(40, button->fontMetrics().horizontalAdvance(text) + 16));
    }
    connect(button, &QPushButton::clicked, this, handler);
    return button;
}

void CTabPg1::OnSetActive() {
    // The engine starts when the tab is first shown, not with the window.
    browser_->Create();
}

void CTabPg1::Navigate(const QString& url) {
    lastUrl_ = url;
    browser_->Navigate(url);
}

void CTabPg1::OnGo() {
    urlBox_->setModified(false);
    Navigate(urlBox_->text());
}

void CTabPg1::OnBeforeNavigate2(const QString& url, bool mainFrame) {
    if (navigated_ == 0) {
        // The links list must exist before the first URL can be recorded.
        if (Owner() != nullptr) {
            Owner()->SetActivePage(CMainWindow::kLinksPage);
            Owner()->SetActivePage(CMainWindow::kHomePage);
        }
        navigated_ = 1;
    }
    browser_->SetBorder(false);
    if (mainFrame && !(urlBox_->hasFocus() && urlBox_->isModified())) {
        urlBox_->setText(url);
    }
    if (recorded_ == 0 && record_->isChecked()) {
        RecordUrl(url);
        recorded_ = 1;
    }
}

void CTabPg1::OnNavigateComplete2(const QString& url) {
    recorded_ = 0;
    // The address box follows the page, unless the user is typing in it.
    if (!url.isEmpty() && !(urlBox_->hasFocus() && urlBox_->isModified())) {
        urlBox_->setText(url);
    }
}

void CTabPg1::OnStatusTextChange(const QString& text) {
    // A page still loading behind another tab leaves that tab's pane alone.
    if (Owner() != nullptr && Owner()->ActivePage() == CMainWindow::kHomePage) {
        Owner()->StatusBar()->SetPaneText(0, text);
    }
}

void CTabPg1::RecordUrl(const QString& url) {
    if (Owner() == nullptr || Owner()->LinksPage() == nullptr) {
        return;
    }
    CListEditView* list = Owner()->LinksPage()->List();
    // The second row, or the first of an empty list.
    const int row = list->InsertItem(1, url);
    if (row < 0) {
        return;
    }
    list->SetStateImage(row, ListEditModel::kUnchecked);
    list->SetItemFocused(row);
}

}  // namespace qx
