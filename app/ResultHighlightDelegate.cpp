#include "app/ResultHighlightDelegate.h"

#include <QFontMetrics>
#include <QPainter>

#include "app/HighlightRanges.h"

namespace qx {

namespace {

const QColor kYellow(255, 255, 0);
const QColor kLightCyan(102, 255, 255);

// Fills the ranges' pieces of the cell and adds them to `pieces`.
void FillRanges(QPainter* painter, const QRect& cell, int margin, const QFontMetrics& metrics,
                const QString& text, const std::vector<TextRange>& ranges, const QColor& colour,
                std::vector<QRect>& pieces) {
    for (const TextRange& range : ranges) {
        const int left = cell.left() + margin + metrics.horizontalAdvance(text.left(range.start));
        const int width = metrics.horizontalAdvance(text.mid(range.start, range.end - range.start));
        const QRect piece = QRect(left, cell.top(), width, cell.height()).intersected(cell);
        if (!piece.isEmpty()) {
            painter->fillRect(piece, colour);
            pieces.push_back(piece);
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

    // A selected row keeps its yellow and cyan on the selection's colour, so
    // that the whole row reads as selected.
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->setClipRect(cell);
    painter->fillRect(
        cell, selected ? option.palette.color(group, QPalette::Highlight) : QColor(Qt::white));
    std::vector<QRect> pieces;
    FillRanges(painter, cell, margin, metrics, text, SearchItemRanges(text, searchItem_(index)),
               kYellow, pieces);
    FillRanges(painter, cell, margin, metrics, text, IncludeWordRanges(text, includeText_(index)),
               kLightCyan, pieces);
    painter->setFont(option.font);
    const QRect textRect = cell.adjusted(margin, 0, 0, 0);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, textRect.width());
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter->setPen(selected ? option.palette.color(group, QPalette::HighlightedText)
                             : QColor(Qt::black));
    painter->drawText(textRect, flags, shown);
    if (selected) {
        // Over yellow and cyan the text stays black.
        painter->setPen(Qt::black);
        for (const QRect& piece : pieces) {
            painter->setClipRect(piece);
            painter->drawText(textRect, flags, shown);
        }
    }
    painter->restore();
}

}  // namespace qx
