#include "app/CTabPg1.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qx {

CTabPg1::CTabPg1(QWidget* parent) : CPropertyPage(parent), urlBox_(new QLineEdit(this)) {
    auto* row = new QHBoxLayout;
    const char* buttons[] = {"<", ">", "<=>", "!"};
    for (const char* text : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setEnabled(false);
        button->setMaximumWidth(40);
        row->addWidget(button);
    }
    row->addWidget(new QLabel(QStringLiteral("URL:"), this));
    urlBox_->setEnabled(false);
    row->addWidget(urlBox_, 1);
    auto* go = new QPushButton(QStringLiteral("Go!"), this);
    go->setEnabled(false);
    row->addWidget(go);
    auto* record = new QCheckBox(this);
    record->setEnabled(false);
    row->addWidget(record);
    auto* home = new QPushButton(QIcon(QStringLiteral(":/icons/home.png")), QString(), this);
    home->setEnabled(false);
    row->addWidget(home);

    auto* browser = new QFrame(this);
    browser->setFrameStyle(QFrame::Box | QFrame::Plain);
    browser->setAutoFillBackground(true);
    QPalette palette = browser->palette();
    palette.setColor(QPalette::Window, Qt::white);
    browser->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(browser, 1);
}

void CTabPg1::Navigate(const QString& url) {
    lastUrl_ = url;
    urlBox_->setText(url);
}

}  // namespace qx
