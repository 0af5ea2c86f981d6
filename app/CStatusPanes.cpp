#include "app/CStatusPanes.h"

#include <QFontMetrics>

namespace qx {

CStatusPanes::CStatusPanes(const QStringList& initialTexts, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (int i = 0; i < initialTexts.size(); ++i) {
        auto* pane = new QLabel(initialTexts[i], this);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setObjectName(QStringLiteral("pane%1").arg(i));
        if (i == 0) {
            addWidget(pane, 1);
        } else {
            // The trailing blanks of the first text reserve room for larger
            // numbers, so the panes do not jump while a search counts.
            pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(initialTexts[i]) + 8);
            addPermanentWidget(pane);
        }
        panes_.push_back(pane);
    }
}

void CStatusPanes::SetPaneText(int index, const QString& text) {
    if (index >= 0 && index < PaneCount()) {
        panes_[index]->setText(text);
    }
}

QString CStatusPanes::PaneText(int index) const {
    if (index >= 0 && index < PaneCount()) {
        return panes_[index]->text();
    }
    return {};
}

}  // namespace qx
