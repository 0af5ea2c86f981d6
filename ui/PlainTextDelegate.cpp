#include "ui/PlainTextDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>

namespace qx {

namespace {

constexpr qreal kUnlimitedWidth = 1 << 20;

// What a cell may hold for the short way: its text and nothing the style
// would draw around it.
bool IsPlainText(const QStyleOptionViewItem& option) {
    constexpr auto kOther = QStyleOptionViewItem::WrapText |
                            QStyleOptionViewItem::HasCheckIndicator |
                            QStyleOptionViewItem::HasDecoration;
    return (option.features & kOther) == 0 && !(option.state & QStyle::State_Editing) &&
           option.backgroundBrush.style() == Qt::NoBrush;
}

bool HasLineBreak(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
}

QColor TextColour(const QStyleOptionViewItem& option) {
    QPalette::ColorGroup group =
        (option.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active)) {
        group = QPalette::Inactive;
    }
    return option.palette.color(group, (option.state & QStyle::State_Selected)
                                           ? QPalette::HighlightedText
                                           : QPalette::Text);
}

// Where a line of text `width` wide and `height` high starts in `rect`: as
// the style places it, across by the fraction, down by whole pixels.
QPointF LineOrigin(const QStyleOptionViewItem& option, const QRect& rect, qreal width,
                   qreal height) {
    const int top = QStyle::alignedRect(option.direction, option.displayAlignment,
                                        QSize(rect.width(), static_cast<int>(height)), rect)
                        .top();
    qreal across = 0;
    if (option.displayAlignment & Qt::AlignRight) {
        across = rect.width() - width;
    } else if (option.displayAlignment & Qt::AlignHCenter) {
        across = (rect.width() - width) / 2;
    }
    return {rect.left() + across, static_cast<qreal>(top)};
}

// Draws `text` on one line in `rect`.
void DrawLine(QPainter* painter, const QStyleOptionViewItem& option, const QString& text,
              const QRect& rect) {
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTextDirection(option.direction);
    QTextLayout layout(text, option.font);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(kUnlimitedWidth);
    layout.endLayout();
    layout.draw(painter, LineOrigin(option, rect, line.naturalTextWidth(), line.height()));
}

}  // namespace

PlainTextDelegate::PlainTextDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

const QStaticText& PlainTextDelegate::LaidOut(const QString& text, const QFont& font) const {
    if (font != keptFont_ || kept_.size() >= kMaxKept) {
        kept_.clear();
        keptFont_ = font;
    }
    auto it = kept_.find(text);
    if (it == kept_.end()) {
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        QTextOption textOption;
        textOption.setWrapMode(QTextOption::NoWrap);
        laidOut.setTextOption(textOption);
        laidOut.prepare(QTransform(), font);
        it = kept_.insert(text, laidOut);
    }
    return *it;
}

void PlainTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (!IsPlainText(cell) || cell.direction != Qt::LeftToRight || HasLineBreak(cell.text)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The style draws the panel, the selection and the focus frame; the text
    // is drawn here, inside the margins the style leaves.
    const QString text = cell.text;
    cell.text.clear();
    const QWidget* widget = cell.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    if (text.isEmpty()) {
        return;
    }
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = cell.rect.adjusted(margin, 0, -margin, 0);
    painter->save();
    painter->setPen(TextColour(cell));
    painter->setFont(cell.font);
    const QStaticText& laidOut = LaidOut(text, cell.font);
    const QSizeF size = laidOut.size();
    if (size.width() <= textRect.width()) {
        painter->drawStaticText(LineOrigin(cell, textRect, size.width(), size.height()), laidOut);
    } else {
        DrawLine(painter, cell,
                 cell.fontMetrics.elidedText(text, cell.textElideMode, textRect.width()), textRect);
    }
    painter->restore();
}

}  // namespace qx
