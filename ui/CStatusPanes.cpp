#include "ui/CStatusPanes.h"

#include <QFontMetrics>

namespace qx {

CStatusPanes::CStatusPanes(const QStringList& initialTexts, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (int i = 0; i < initialTexts.size(); ++i) {
        auto* pane = new QLabel(initialTexts[i], this);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setTextFormat(Qt::PlainText);
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
    pending_.resize(panes_.size());
    refresh_.setSingleShot(true);
    connect(&refresh_, &QTimer::timeout, this, &CStatusPanes::ShowPending);
}

void CStatusPanes::SetPaneText(int index, const QString& text) {
    if (index < 0 || index >= PaneCount()) {
        return;
    }
    pending_[static_cast<std::size_t>(index)] = text;
    if (refresh_.isActive()) {
        return;
    }
    const qint64 since = sinceShown_.isValid() ? sinceShown_.elapsed() : kRefreshMs;
    if (since >= kRefreshMs) {
        ShowPending();
    } else {
        refresh_.start(static_cast<int>(kRefreshMs - since));
    }
}

void CStatusPanes::ShowPending() {
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        if (pending_[i]) {
            panes_[i]->setText(*pending_[i]);
            pending_[i].reset();
        }
    }
    sinceShown_.start();
}

QString CStatusPanes::PaneText(int index) const {
    if (index < 0 || index >= PaneCount()) {
        return {};
    }
    const auto& pending = pending_[static_cast<std::size_t>(index)];
    return pending ? *pending : panes_[static_cast<std::size_t>(index)]->text();
}

QString CStatusPanes::ShownPaneText(int index) const {
    if (index < 0 || index >= PaneCount()) {
        return {};
    }
    return panes_[static_cast<std::size_t>(index)]->text();
}

}  // namespace qx
