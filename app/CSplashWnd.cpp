#include "app/CSplashWnd.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace qx {

CSplashWnd::CSplashWnd() : QSplashScreen(QPixmap(QStringLiteral(":/icons/splash.png"))) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void CSplashWnd::ShowBriefly() {
    CSplashWnd splash;
    splash.show();
    splash.repaint();
    QCoreApplication::processEvents();
    QThread::msleep(kShowMs);
    splash.close();
}

}  // namespace qx
