#include "ui/GroupBoxTitle.h"

#include <QGroupBox>

namespace qx {

namespace {

// The frame starts half a line down, so that the title sits across its top
// edge; the title's padding keeps the line clear of its text.
constexpr const char* kTitleInBorder =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 3px;"
    " margin-top: 0.6em; padding-top: 0.5em; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
    " left: 7px; padding: 0 3px; }";

}  // namespace

void PutTitleInBorder(QGroupBox* group) {
    if (group != nullptr) {
        group->setStyleSheet(QString::fromLatin1(kTitleInBorder));
    }
}

void PutTitlesInBorders(QWidget* window) {
    for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
        PutTitleInBorder(group);
    }
}

}  // namespace qx
