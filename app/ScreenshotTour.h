#pragma once

#include <QString>

namespace qx {

class CMainWindow;

// Pictures of each tab for the documentation: with QX_SCREENSHOT_DIR set,
// the program fills its lists with a few sample rows, saves one PNG per tab
// into that folder and quits.
class ScreenshotTour {
public:
    static QString RequestedFolder();
    static void Run(CMainWindow* window, const QString& folder);
};

}  // namespace qx
