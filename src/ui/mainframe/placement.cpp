#include "ui/mainframe/placement.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace tollix {

namespace {

constexpr int kMainWindowWidth = 180;
// What a window manager's caption holds beside the title: the window's icon and up to six
// buttons, each about as wide as the caption is high: the font's height and some room
// above and below it.
constexpr int kCaptionButtons = 7;
constexpr int kCaptionButtonMargin = 12;
constexpr int kCascadeStep = 24;

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

int MainWindowWidth(const QFont& font) {
    const QFontMetrics metrics(font);
    const int caption = metrics.horizontalAdvance(QStringLiteral("Tollix")) +
                        kCaptionButtons * (metrics.height() + kCaptionButtonMargin);
    return std::max(kMainWindowWidth, caption);
}

QRect MainWindowPlacement(int guiStickMode, const QRect& screen, int fullScreenHeight, int width) {
    const int height = static_cast<int>(0.8 * fullScreenHeight);
    const int x = guiStickMode == 0 ? 0 : screen.width() - width;
    const int y = screen.height() / 2 - height / 2;
    return QRect(screen.x() + x, screen.y() + y, width, height);
}

QPoint ConversationPlacement(const QRect& mainFrame, const QRect& available, const QSize& size,
                             int n) {
    const bool mainAtRight = mainFrame.center().x() > available.center().x();
    const int away = mainAtRight ? -kCascadeStep : kCascadeStep;
    QPoint first(mainAtRight ? mainFrame.left() - size.width() : mainFrame.right() + 1,
                 mainFrame.top());
    // Inside the available area, as far as the window fits in it.
    first.setX(std::clamp(first.x(), available.left(),
                          std::max(available.left(), available.right() + 1 - size.width())));
    first.setY(std::clamp(first.y(), available.top(),
                          std::max(available.top(), available.bottom() + 1 - size.height())));
    // The places that keep the whole window inside, and of those the n-th, going round.
    const int down = (available.bottom() + 1 - size.height() - first.y()) / kCascadeStep;
    const int across = mainAtRight
                           ? (first.x() - available.left()) / kCascadeStep
                           : (available.right() + 1 - size.width() - first.x()) / kCascadeStep;
    const int places = std::max(1, std::min(down, across) + 1);
    const int step = n % places;
    return first + QPoint(away * step, kCascadeStep * step);
}

void PlaceMainWindow(QWidget& window, int guiStickMode) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect place =
        MainWindowPlacement(guiStickMode, screen->geometry(), screen->availableGeometry().height(),
                            MainWindowWidth(window.font()));
    window.setGeometry(place);
    new FrameFitter(window, place);
    window.update();
}

}  // namespace tollix
