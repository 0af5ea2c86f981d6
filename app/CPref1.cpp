#include "app/CPref1.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "app/CMainWindow.h"
#include "search/SearchSettings.h"
#include "ui/GroupBoxTitle.h"

namespace qx {

namespace {

// The own-name button's picture: a name badge bearing the program's mark, so
// that it is not taken for the browser's home button.
QIcon NameBadgeIcon() {
    QPixmap badge(20, 20);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x1b, 0x3a, 0x6b));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(1.5, 4.5, 17, 12), 2, 2);
    painter.drawPixmap(QRect(3, 6, 9, 9), QPixmap(QStringLiteral(":/icons/quillex.png")));
    for (int y : {8, 11, 14}) {
        painter.drawLine(13, y, 16, y);
    }
    painter.end();
    return QIcon(badge);
}

}  // namespace

CPref1::CPref1(CMainWindow* mainWindow, QWidget* parent)
    : QWidget(parent),
      mainWindow_(mainWindow),
      alwaysOnTop_(new QCheckBox(QStringLiteral("Always on Top"), this)),
      robotExclusion_(new QCheckBox(QStringLiteral("Use Robot Exclusion"), this)),
      identity_(new QLineEdit(this)),
      ownName_(new QToolButton(this)),
      default_(new QToolButton(this)),
      obeyRobots_(new QCheckBox(QStringLiteral("Obey robots.txt"), this)),
      perHostOn_(new QCheckBox(QStringLiteral("Connections per host:"), this)),
      perHost_(new QSpinBox(this)),
      slowDown_(new QCheckBox(QStringLiteral("Slow down when asked"), this)) {
    ownName_->setIcon(NameBadgeIcon());
    ownName_->setAutoRaise(true);
    ownName_->setToolTip(QString::fromLatin1(kOwnName));
    default_->setText(QStringLiteral("Default"));
    default_->setAutoRaise(true);

    auto* group = new QGroupBox(QStringLiteral("ID"), this);
    auto* groupLayout = new QGridLayout(group);
    groupLayout->addWidget(new QLabel(QStringLiteral("Identity:"), group), 0, 0);
    groupLayout->addWidget(identity_, 0, 1, 1, 3);
    groupLayout->addWidget(new QLabel(QStringLiteral("(for advanced users)"), group), 1, 1);
    groupLayout->addWidget(ownName_, 1, 2);
    groupLayout->addWidget(default_, 1, 3);

    auto* picture = new QLabel(this);
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setPixmap(QPixmap(QStringLiteral(":/icons/prefs.png")));
    picture->setAlignment(Qt::AlignCenter);

    auto* left = new QVBoxLayout;
    left->addWidget(alwaysOnTop_);
    left->addWidget(robotExclusion_);
    left->addWidget(group);
    left->addWidget(MakePoliteGroup());
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(picture, 0, Qt::AlignTop);
    PutTitlesInBorders(this);

    alwaysOnTop_->setChecked(Prefs().AlwaysOnTop.load() == 1);
    robotExclusion_->setChecked(Prefs().UseRobotExclusion.load() == 1);
    identity_->setText(QString::fromStdString(Prefs().Identity()));

    connect(alwaysOnTop_, &QCheckBox::clicked, this, [this] { SetModified(true); });
    connect(robotExclusion_, &QCheckBox::clicked, this, [this] { SetModified(true); });
    connect(identity_, &QLineEdit::textChanged, this, [this] { SetModified(true); });
    connect(ownName_, &QToolButton::clicked, this, [this] {
        identity_->setText(QString::fromLatin1(kOwnName));
        SetModified(true);
    });
    connect(default_, &QToolButton::clicked, this, [this] {
        identity_->setText(QString::fromLatin1(Preferences::kDefaultIdentity));
        SetModified(true);
    });
}

QWidget* CPref1::MakePoliteGroup() {
    auto* group = new QGroupBox(QStringLiteral("Polite Crawling"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(obeyRobots_, 0, 0, 1, 2);
    grid->addWidget(perHostOn_, 1, 0);
    grid->addWidget(perHost_, 1, 1);
    grid->addWidget(slowDown_, 2, 0, 1, 2);
    grid->setColumnStretch(2, 1);

    const Preferences& prefs = Prefs();
    perHost_->setRange(1, 1000);
    obeyRobots_->setChecked(prefs.ObeyRobots.load() != 0);
    perHostOn_->setChecked(prefs.PerHostOn.load() != 0);
    perHost_->setValue(prefs.PerHost.load());
    perHost_->setEnabled(perHostOn_->isChecked());
    slowDown_->setChecked(prefs.SlowDown.load() != 0);

    const auto changed = [this] { SetModified(true); };
    connect(obeyRobots_, &QCheckBox::clicked, this, changed);
    connect(slowDown_, &QCheckBox::clicked, this, changed);
    connect(perHostOn_, &QCheckBox::clicked, this, [this](bool on) {
        perHost_->setEnabled(on);
        SetModified(true);
    });
    connect(perHost_, &QSpinBox::valueChanged, this, changed);
    return group;
}

void CPref1::OnApply() {
    if (mainWindow_ != nullptr) {
        mainWindow_->ApplyPrefs(*this);
    }
    SetModified(false);
}

void CPref1::SetModified(bool modified) {
    if (modified_ != modified) {
        modified_ = modified;
        emit modifiedChanged(modified);
    }
}

}  // namespace qx
