#include "platform/desktop_idle_activity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace tollix {

namespace {

constexpr int kAskEveryMs = 1000;

QDBusMessage IdleTimeQuestion(DesktopIdleActivity::Monitor monitor) {
    if (monitor == DesktopIdleActivity::Monitor::Mutter) {
        return QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                                              QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                                              QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                                              QStringLiteral("GetIdletime"));
    }
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("/org/freedesktop/ScreenSaver"),
                                          QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("GetSessionIdleTime"));
}

}  // namespace

DesktopIdleActivity::DesktopIdleActivity(QObject* parent)
    : ActivitySource(parent), bus_(QDBusConnection::sessionBus()) {
    connect(&ownWindows_, &ActivitySource::activity, this, &ActivitySource::activity);
    poll_.setInterval(kAskEveryMs);
    connect(&poll_, &QTimer::timeout, this, &DesktopIdleActivity::AskNext);
}

DesktopIdleActivity::~DesktopIdleActivity() {
    Remove();
}

bool DesktopIdleActivity::Install() {
    if (!ownWindows_.Install()) {
        return false;
    }
    if (monitor_ != Monitor::None && !poll_.isActive()) {
        poll_.start();
        AskNext();
    }
    return true;
}

void DesktopIdleActivity::Remove() {
    ownWindows_.Remove();
    poll_.stop();
    lastIdle_.reset();
}

void DesktopIdleActivity::AskNext() {
    // Until one has answered, Mutter first; OnNoAnswer goes on to the screen saver.
    Ask(monitor_ == Monitor::Unknown ? Monitor::Mutter : monitor_);
}

void DesktopIdleActivity::Ask(Monitor monitor) {
    if (asking_) {
        return;
    }
    if (!bus_.isConnected()) {
        OnNoAnswer(Monitor::ScreenSaver);
        return;
    }
    // Asynchronous: a compositor that is slow to answer never holds up the event loop.
    asking_ = true;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(IdleTimeQuestion(monitor)), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, monitor](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                asking_ = false;
                const QDBusMessage reply = done->reply();
                bool isNumber = false;
                const std::uint64_t idle = reply.arguments().value(0).toULongLong(&isNumber);
                if (reply.type() != QDBusMessage::ReplyMessage || !isNumber) {
                    OnNoAnswer(monitor);
                } else if (poll_.isActive()) {
                    monitor_ = monitor;
                    OnIdleTime(idle);
                }
            });
}

void DesktopIdleActivity::OnIdleTime(std::uint64_t idle) {
    // Milliseconds (Mutter, KDE) or seconds (some screen savers): a drop means new input
    // in either unit, and so does zero, which is what continuous input looks like in
    // seconds. Input between two questions that leaves the idle time above the one before
    // is missed at most until the next drop, a second or so later.
    if (idle == 0 || (lastIdle_ && idle < *lastIdle_)) {
        emit activity();
    }
    lastIdle_ = idle;
}

void DesktopIdleActivity::OnNoAnswer(Monitor asked) {
    if (monitor_ != Monitor::Unknown || !poll_.isActive()) {
        return;  // a monitor that answered before may answer again
    }
    if (asked == Monitor::Mutter) {
        Ask(Monitor::ScreenSaver);
        return;
    }
    monitor_ = Monitor::None;
    poll_.stop();
    if (notice_ != nullptr) {
        std::fputs(
            "tollix: away tracking sees only Tollix's own windows: the desktop tells no idle "
            "time (neither org.gnome.Mutter.IdleMonitor nor org.freedesktop.ScreenSaver "
            "answers)\n",
            notice_);
    }
}

}  // namespace tollix
