#pragma once

#include <QLayout>
#include <QList>

namespace qx {

// Lays its items out in lines from left to right at their preferred sizes,
// starting a new line where the next item does not fit, and where a line
// break was added. Nothing is squeezed
// or stretched: a label stays whole and beside its box at any width, and the
// layout asks for the height that its lines need at the width it gets.
class FlowLayout : public QLayout {
public:
    FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    // The next item added starts a new line.
    void AddLineBreak() { breaks_.append(static_cast<int>(items_.size())); }
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (or only measures) and returns the height used.
    int Arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items_;
    QList<int> breaks_;
    int horizontalSpacing_;
    int verticalSpacing_;
};

}  // namespace qx
