#include "platform/window_activity_source.h"

#include <QCoreApplication>
#include <QEvent>

namespace tollix {

WindowActivitySource::WindowActivitySource(QObject* parent) : ActivitySource(parent) {}

WindowActivitySource::~WindowActivitySource() {
    Remove();
}

bool WindowActivitySource::Install() {
    if (installed_) {
        return true;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;
    }
    application->installEventFilter(this);
    installed_ = true;
    return true;
}

void WindowActivitySource::Remove() {
    if (!installed_) {
        return;
    }
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
    installed_ = false;
}

bool WindowActivitySource::eventFilter(QObject* watched, QEvent* event) {
    // Input reaches a window first and is then passed on to its widgets, each time through
    // this filter; counting it at the window counts it once.
    if (watched->isWindowType()) {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TabletPress:
                emit activity();
                break;
            default:
                break;
        }
    }
    return false;
}

}  // namespace tollix
