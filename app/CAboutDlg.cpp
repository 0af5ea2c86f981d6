#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qx {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About QuillEx"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/quillex.png")));
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(QStringLiteral("QuillEx Version 1.0"), this));
    lines->addWidget(new QLabel(QStringLiteral("Release 1.0.2.0"), this));
    lines->addWidget(
        new QLabel(QStringLiteral("A focused web searcher: finds your search item in the pages\n"
                                  "it crawls and lists the passes."),
                   this));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(lines, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qx
