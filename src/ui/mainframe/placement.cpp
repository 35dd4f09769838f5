#include "ui/mainframe/placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tollix {

namespace {

constexpr int kMainWindowWidth = 180;

// The place is meant for the outer frame, which the window manager draws only once the
// window is on the screen. This waits for the frame and then fits the window inside the
// place, once; until then the window's inside fills the place.
class FrameFitter : public QObject {
public:
    FrameFitter(QWidget& window, const QRect& place)
        : QObject(&window), window_(window), place_(place) {
        window_.installEventFilter(this);
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, &FrameFitter::TryFit);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !timer_.isActive()) {
            tries_ = 0;
            timer_.start();
        }
        return false;
    }

private:
    void TryFit() {
        const QWindow* handle = window_.windowHandle();
        const QMargins frame = handle == nullptr ? QMargins() : handle->frameMargins();
        if (frame.isNull() && ++tries_ < 40) {
            return;  // no frame yet; a window manager without frames never sends one
        }
        timer_.stop();
        if (!frame.isNull()) {
            window_.setGeometry(place_.marginsRemoved(frame));
        }
        deleteLater();
    }

    QWidget& window_;
    QRect place_;
    QTimer timer_;
    int tries_ = 0;
};

}  // namespace

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
    window.setGeometry(place);
    new FrameFitter(window, place);
    window.update();
}

}  // namespace tollix
