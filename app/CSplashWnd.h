#pragma once

#include <QSplashScreen>

namespace qx {

// The borderless picture shown centred on the screen while the program starts
// by hand.
class CSplashWnd : public QSplashScreen {
    Q_OBJECT
public:
    static constexpr int kShowMs = 400;

    CSplashWnd();

    // Shows the picture, paints it at once, keeps it for kShowMs and closes it.
    static void ShowBriefly();
};

}  // namespace qx
