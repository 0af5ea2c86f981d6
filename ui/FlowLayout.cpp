#include "ui/FlowLayout.h"

#include <QWidget>
#include <algorithm>

namespace qx {

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent), horizontalSpacing_(horizontalSpacing), verticalSpacing_(verticalSpacing) {}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int FlowLayout::heightForWidth(int width) const {
    return Arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
    // The widest and the tallest item; the height of the lines at a given
    // width comes from heightForWidth.
    QSize size;
    for (const QLayoutItem* item : items_) {
        size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const {
    int width = 0;
    for (const QLayoutItem* item : items_) {
        if (!item->isEmpty()) {
            width += item->sizeHint().width() + horizontalSpacing_;
        }
    }
    const QMargins margins = contentsMargins();
    width += margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool place) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    QList<QLayoutItem*> line;
    int lineWidth = 0;
    int top = area.top();
    // Items of a line share its height and sit in its middle.
    auto finishLine = [&] {
        int height = 0;
        for (const QLayoutItem* item : line) {
            height = std::max(height, item->sizeHint().height());
        }
        int x = area.left();
        for (QLayoutItem* item : line) {
            const QSize size = item->sizeHint();
            if (place) {
                item->setGeometry(QRect(QPoint(x, top + (height - size.height()) / 2), size));
            }
            x += size.width() + horizontalSpacing_;
        }
        if (!line.isEmpty()) {
            top += height + verticalSpacing_;
        }
        line.clear();
        lineWidth = 0;
    };
    for (int i = 0; i < items_.size(); ++i) {
        QLayoutItem* item = items_[i];
        if (breaks_.contains(i)) {
            finishLine();
        }
        if (item->isEmpty()) {
            continue;
        }
        const int width = item->sizeHint().width();
        if (!line.isEmpty() && lineWidth + horizontalSpacing_ + width > area.width()) {
            finishLine();
        }
        lineWidth += (line.isEmpty() ? 0 : horizontalSpacing_) + width;
        line.append(item);
    }
    finishLine();
    const int used = top - area.top() - (top > area.top() ? verticalSpacing_ : 0);
    return used + contentsMargins().top() + contentsMargins().bottom();
}

}  // namespace qx
