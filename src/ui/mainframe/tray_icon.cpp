#include "ui/mainframe/tray_icon.h"

#include "ui/common/pictures.h"

namespace tollix {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    icon_.setIcon(pictures::Program());
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) {
                    emit activated();
                }
            });
}

bool TrayIcon::Add() {
    if (shown_) {
        return true;
    }
    if (!isAvailable()) {
        return false;
    }
    icon_.show();
    shown_ = true;
    PopBalloon();
    return true;
}

void TrayIcon::Remove() {
    icon_.hide();
    shown_ = false;
}

void TrayIcon::SetTip(const QString& tip) {
    icon_.setToolTip(tip);
    if (shown_) {
        PopBalloon();
    }
}

void TrayIcon::ShowBalloon(const QString& title, const QString& text) {
    balloonTitle_ = title;
    balloonText_ = text;
    if (shown_) {
        PopBalloon();
    }
}

void TrayIcon::ClearBalloon() {
    balloonTitle_.clear();
    balloonText_.clear();
}

void TrayIcon::PopBalloon() {
    if (balloonText_.isEmpty()) {
        return;
    }
    // Notification daemons stack messages instead of replacing them, so the same balloon is
    // shown again only once the previous one has had its time on the screen.
    const QString shown = balloonTitle_ + '\n' + balloonText_;
    if (shown == lastShown_ && balloonShownAt_.isValid() &&
        !balloonShownAt_.hasExpired(kBalloonMs)) {
        return;
    }
    icon_.showMessage(balloonTitle_, balloonText_, QSystemTrayIcon::Information, kBalloonMs);
    lastShown_ = shown;
    balloonShownAt_.start();
    ++balloonsShown_;
}

}  // namespace tollix
