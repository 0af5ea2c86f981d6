#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace qx {

// Draws a result text with the search item on yellow and the include words on
// light cyan; the text is cut with an ellipsis at the cell's right edge.
class ResultHighlightDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // A row's texts as they stood when the search that found it started.
    using TextSource = std::function<QString(const QModelIndex&)>;

    ResultHighlightDelegate(TextSource searchItem, TextSource includeText,
                            QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TextSource searchItem_;
    TextSource includeText_;
};

}  // namespace qx
