#include "app/ResultHighlightDelegate.h"

#include <QFontMetrics>
#include <QPainter>

#include "app/HighlightRanges.h"

namespace qx {

namespace {

const QColor kYellow(255, 255, 0);
const QColor kLightCyan(102, 255, 255);

void FillRanges(QPainter* painter, const QRect& cell, int margin, const QFontMetrics& metrics,
                const QString& text, const std::vector<TextRange>& ranges, const QColor& colour) {
    for (const TextRange& range : ranges) {
        const int left = cell.left() + margin + metrics.horizontalAdvance(text.left(range.start));
        const int width = metrics.horizontalAdvance(text.mid(range.start, range.end - range.start));
        const QRect piece = QRect(left, cell.top(), width, cell.height()).intersected(cell);
        if (!piece.isEmpty()) {
            painter->fillRect(piece, colour);
        }
    }
}

}  // namespace

ResultHighlightDelegate::ResultHighlightDelegate(TextSource searchItem, TextSource includeText,
                                                 QObject* parent)
    : QStyledItemDelegate(parent),
      searchItem_(std::move(searchItem)),
      includeText_(std::move(includeText)) {}

void ResultHighlightDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect cell = option.rect;
    const QFontMetrics metrics(option.font);
    const int margin = metrics.averageCharWidth();

    painter->save();
    painter->setClipRect(cell);
    painter->fillRect(cell, Qt::white);
    FillRanges(painter, cell, margin, metrics, text, SearchItemRanges(text, searchItem_(index)),
               kYellow);
    FillRanges(painter, cell, margin, metrics, text, IncludeWordRanges(text, includeText_(index)),
               kLightCyan);
    painter->setFont(option.font);
    painter->setPen(Qt::black);
    const QRect textRect = cell.adjusted(margin, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      metrics.elidedText(text, Qt::ElideRight, textRect.width()));
    if (option.state & QStyle::State_Selected) {
        // Keep the highlights readable on a selected row: frame it instead of
        // filling it.
        painter->setPen(option.palette.color(QPalette::Highlight));
        painter->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

}  // namespace qx
