#include "app/CPrefSheet.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/CMainWindow.h"
#include "app/CPref1.h"

namespace qx {

CPrefSheet::CPrefSheet(CMainWindow* mainWindow)
    : QDialog(mainWindow),
      page_(new CPref1(mainWindow)),
      buttons_(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this)) {
    setWindowTitle(QStringLiteral("Preferences"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(page_, QStringLiteral("Quillex Preferences"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons_);

    QPushButton* apply = buttons_->button(QDialogButtonBox::Apply);
    apply->setEnabled(false);
    connect(page_, &CPref1::modifiedChanged, apply, &QPushButton::setEnabled);
    connect(apply, &QPushButton::clicked, page_, &CPref1::OnApply);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        page_->OnApply();
        accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace qx
