#include "app/CTabPg3.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QUrl>

#include "app/CMainWindow.h"
#include "app/ResultHighlightDelegate.h"
#include "html/TextFragmentUrl.h"
#include "search/SearchSettings.h"
#include "ui/ListViews.h"
#include "ui/MessageBox.h"
#include "ui/UrlLauncher.h"

namespace qx {

namespace {

constexpr std::initializer_list<int> kColumnChars = {30, 30, 100};

}  // namespace

CTabPg3::CTabPg3(QWidget* parent)
    : CPropertyPage(parent),
      view_(MakeReportView(this)),
      countLabel_(new QLabel(this)),
      browse_(new QPushButton(QStringLiteral("Browse"), this)),
      launch_(new QPushButton(QStringLiteral("Launch"), this)) {
    view_->setItemDelegateForColumn(
        kResult,
        new ResultHighlightDelegate(
            [this](const QModelIndex& index) { return RowSearchItem(index.row()); },
            [this](const QModelIndex& index) { return RowIncludeText(index.row()); }, view_));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Results:"), this));
    top->addWidget(countLabel_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(browse_, 1);
    buttons->addWidget(launch_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    connect(browse_, &QPushButton::clicked, this, &CTabPg3::OnBrowse);
    connect(launch_, &QPushButton::clicked, this, &CTabPg3::OnLaunch);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &CTabPg3::ShowPopup);
}

void CTabPg3::SetResults(SourceRowTableModel* model) {
    model_ = model;
    view_->setModel(model_);
    SizeReportColumns(view_, kColumnChars);
}

// A search never starts without a search item, so an empty one marks a row
// that was added without its search's texts.
QString CTabPg3::RowSearchItem(int row) const {
    const QString own = ShownCell(row, kSearchItemCell);
    return own.isEmpty() ? QString::fromStdString(Settings().SearchText) : own;
}

QString CTabPg3::RowIncludeText(int row) const {
    if (ShownCell(row, kSearchItemCell).isEmpty()) {
        return QString::fromStdString(Settings().IncludeText);
    }
    return ShownCell(row, kIncludeCell);
}

QString CTabPg3::ShownCell(int row, int column) const {
    return model_ != nullptr ? model_->ShownCell(row, column) : QString();
}

void CTabPg3::SetCountText(const QString& text) {
    countText_ = text;
    countLabel_->setText(countText_);
}

void CTabPg3::OnSetActive() {
    countLabel_->setText(countText_);
}

QString CTabPg3::SelectedUrl() const {
    const int row = SelectedRow(view_);
    if (row < 0) {
        QxMessageBox(QStringLiteral("No item selected"));
        return {};
    }
    return ShownCell(row, kUrl);
}

void CTabPg3::OnBrowse() {
    const QString url = SelectedUrl();
    if (url.isEmpty() || Owner() == nullptr) {
        return;
    }
    Owner()->BrowseOnHomePage(url);
}

void CTabPg3::OnLaunch() {
    const QString url = SelectedUrl();
    if (!url.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromUserInput(url));
    }
}

void CTabPg3::OnLaunchAtMatch() {
    const QString url = SelectedUrl();
    if (url.isEmpty()) {
        return;
    }
    // Blanks and other characters of the page's address are escaped first;
    // the escapes it already has stay.
    const QByteArray address = QUrl(url, QUrl::TolerantMode).toEncoded();
    UrlLauncher::OpenAsIs(QString::fromStdString(TextFragmentUrl::Build(
        address.toStdString(), RowSearchItem(SelectedRow(view_)).toStdString())));
}

void CTabPg3::OnCopy() {
    const QString url = SelectedUrl();
    if (!url.isEmpty()) {
        QGuiApplication::clipboard()->setText(url);
    }
}

void CTabPg3::ShowPopup(const QPoint& position) {
    const int row = view_->indexAt(position).row();
    if (row < 0) {
        return;
    }
    QMenu menu(this);
    const QAction* commands[] = {
        menu.addAction(QStringLiteral("Browse")),
        menu.addAction(QStringLiteral("Launch")),
        menu.addAction(QStringLiteral("Copy")),
        menu.addAction(QStringLiteral("Launch at Match")),
    };
    const QAction* chosen = menu.exec(view_->viewport()->mapToGlobal(position));
    for (int command = 0; command < static_cast<int>(std::size(commands)); ++command) {
        if (chosen != nullptr && chosen == commands[command]) {
            RunPopupCommand(command, row);
        }
    }
}

void CTabPg3::RunPopupCommand(int command, int row) {
    if (row < 0 || model_ == nullptr || row >= model_->rowCount()) {
        return;
    }
    view_->selectRow(row);
    switch (command) {
        case kPopupBrowse:
            OnBrowse();
            break;
        case kPopupLaunch:
            OnLaunch();
            break;
        case kPopupCopy:
            OnCopy();
            break;
        case kPopupLaunchAtMatch:
            OnLaunchAtMatch();
            break;
        default:
            break;
    }
}

}  // namespace qx
