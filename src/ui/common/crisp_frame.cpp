#include "ui/common/crisp_frame.h"

#include <QEvent>
#include <QFrame>
#include <QPainter>

namespace tollix {

namespace {

// A child that covers its control, above the control's other children, and paints only
// the border; the mouse goes through it.
class CrispFrameOverlay : public QWidget {
public:
    explicit CrispFrameOverlay(QFrame& control) : QWidget(&control), control_(control) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        control_.installEventFilter(this);
        Follow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &control_ &&
            (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded)) {
            Follow();
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = rect();
        const QColor outline = control_.palette().color(QPalette::Window).darker(140);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), outline);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), outline);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), outline);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), outline);
    }

private:
    void Follow() {
        setGeometry(control_.rect());
        raise();
    }

    QFrame& control_;
};

}  // namespace

void UseCrispFrame(QFrame& control) {
    new CrispFrameOverlay(control);
}

}  // namespace tollix
