#include "ui/FittingScrollArea.h"

#include <QResizeEvent>
#include <QScrollBar>

namespace qx {

FittingScrollArea::FittingScrollArea(QWidget* widget, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setWidget(widget);
    // The widget shows on the page's own background.
    viewport()->setAutoFillBackground(false);
    widget->setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize FittingScrollArea::sizeHint() const {
    const int width = viewport()->width();
    return {width, widget() != nullptr ? widget()->heightForWidth(width) : 0};
}

QSize FittingScrollArea::minimumSizeHint() const {
    // Short windows scroll the area, down to about two lines of controls,
    // rather than overlap what follows it.
    return {0, 2 * (fontMetrics().height() + kLinePadding)};
}

void FittingScrollArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    // The height wanted follows the width.
    if (event->size().width() != event->oldSize().width()) {
        updateGeometry();
    }
}

}  // namespace qx
