#pragma once

#include <QScrollArea>

namespace qx {

// A scroll area that asks for the height its widget needs at the width the
// area gets (a widget whose layout trades width for height), and scrolls only
// when the window is too short to give it that height.
class FittingScrollArea : public QScrollArea {
public:
    // Room around a line of text in a control (an edit box's frame and margin).
    static constexpr int kLinePadding = 8;

    FittingScrollArea(QWidget* widget, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace qx
