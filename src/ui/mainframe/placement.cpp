#include "ui/mainframe/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tollix {

namespace {
constexpr int kMainWindowWidth = 180;
}

QRect MainWindowPlacement(int guiStickMode, const QRect& screen, int fullScreenHeight) {
    const int height = static_cast<int>(0.8 * fullScreenHeight);
    const int x = guiStickMode == 0 ? 0 : screen.width() - kMainWindowWidth;
    const int y = screen.height() / 2 - height / 2;
    return QRect(screen.x() + x, screen.y() + y, kMainWindowWidth, height);
}

void PlaceMainWindow(QWidget& window, int guiStickMode) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect place =
        MainWindowPlacement(guiStickMode, screen->geometry(), screen->availableGeometry().height());
    // The place is the outer frame, as the window manager will draw it.
    window.resize(place.size());
    window.move(place.topLeft());
    window.update();
}

}  // namespace tollix
