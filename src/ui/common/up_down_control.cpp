#include "ui/common/up_down_control.h"

#include <QKeyEvent>
#include <algorithm>

namespace tollix {

namespace {

QToolButton* MakeArrow(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent), up_(MakeArrow(Qt::UpArrow, this)), down_(MakeArrow(Qt::DownArrow, this)) {
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void UpDownControl::SetRange(int lower, int upper) {
    lower_ = std::min(lower, upper);
    upper_ = std::max(lower, upper);
    position_ = std::clamp(position_, lower_, upper_);
}

void UpDownControl::SetPosition(int position) {
    position_ = std::clamp(position, lower_, upper_);
    if (buddy_) {
        buddy_->setText(QString::number(position_));
    }
}

void UpDownControl::StepBy(int steps) {
    if (buddy_) {
        bool isNumber = false;
        const int shown = buddy_->text().trimmed().toInt(&isNumber);
        if (isNumber) {
            position_ = shown;
        }
    }
    const long long next = static_cast<long long>(position_) + steps;
    SetPosition(static_cast<int>(std::clamp<long long>(next, lower_, upper_)));
}

void UpDownControl::AttachTo(QLineEdit* buddy) {
    if (buddy_) {
        buddy_->removeEventFilter(this);
    }
    buddy_ = buddy;
    if (buddy == nullptr) {
        return;
    }
    const QRect edit = buddy->geometry();
    buddy->setGeometry(edit.x(), edit.y(), edit.width() - width(), edit.height());
    setGeometry(edit.right() + 1 - width(), edit.y(), width(), edit.height());
    buddy->installEventFilter(this);
}

void UpDownControl::resizeEvent(QResizeEvent*) {
    const int upper = height() / 2;
    up_->setGeometry(0, 0, width(), upper);
    down_->setGeometry(0, upper, width(), height() - upper);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    // The event type first: a buddy that is being destroyed still sends events here, and
    // comparing with the QPointer would downcast an object that is no longer a line edit.
    if (event->type() == QEvent::KeyPress && watched == buddy_ && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tollix
