#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace qx {

// Draws cells of plain text exactly as the style's own item drawing does, for
// less: the style lays a cell's text out three times (to place it, to elide
// it and to draw it), this lays it out once, and it keeps the laid-out text
// of recent cells that fit their column. A crawl's lists are repainted many
// times a second and most of their cells repeat a few texts ("infinity",
// small numbers). Cells with anything but text (icons, check boxes, colours
// or fonts of their own, wrapping) are left to the style.
class PlainTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PlainTextDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    // More texts than this are dropped at once; a view shows a few hundred
    // cells at most.
    static constexpr qsizetype kMaxKept = 512;

    // The text laid out in `font`, kept for the next paint.
    const QStaticText& LaidOut(const QString& text, const QFont& font) const;

    mutable QHash<QString, QStaticText> kept_;
    mutable QFont keptFont_;
};

}  // namespace qx
