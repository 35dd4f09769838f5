#include "platform/desktop_idle_activity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <utility>

namespace tollix {

namespace {

constexpr int kRearmMilliseconds = 1000;

const QString kIdleMonitorService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kIdleMonitorPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kIdleMonitorInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

}  // namespace

DesktopIdleWatcher::DesktopIdleWatcher(QObject* parent)
    : QObject(parent), bus_(QDBusConnection::sessionBus()) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(QString(), QStringLiteral("/org/freedesktop/ScreenSaver"),
                 QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"),
                 this, SLOT(OnScreenSaverActiveChanged(bool)));
    bus_.connect(QString(), QStringLiteral("/org/gnome/ScreenSaver"),
                 QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
                 SLOT(OnScreenSaverActiveChanged(bool)));
    bus_.connect(kIdleMonitorService, kIdleMonitorPath, kIdleMonitorInterface,
                 QStringLiteral("WatchFired"), this, SLOT(OnWatchFired(uint)));
    rearm_.setSingleShot(true);
    rearm_.setInterval(kRearmMilliseconds);
    connect(&rearm_, &QTimer::timeout, this, &DesktopIdleWatcher::AddUserActiveWatch);
    AddUserActiveWatch();
}

DesktopIdleWatcher::~DesktopIdleWatcher() {
    if (bus_.isConnected() && watchId_ != 0) {
        QDBusMessage remove =
            QDBusMessage::createMethodCall(kIdleMonitorService, kIdleMonitorPath,
                                           kIdleMonitorInterface, QStringLiteral("RemoveWatch"));
        remove << watchId_;
        bus_.call(remove, QDBus::NoBlock);
    }
}

void DesktopIdleWatcher::OnScreenSaverActiveChanged(bool active) {
    if (!active) {
        emit activity();
    }
}

void DesktopIdleWatcher::OnWatchFired(uint id) {
    // The watch may fire before its id has come back; whether it was ours is decided then.
    if (awaitingId_) {
        firedWhileAwaiting_.append(id);
        return;
    }
    if (id != 0 && id == watchId_) {
        Fired();
    }
}

void DesktopIdleWatcher::Fired() {
    watchId_ = 0;
    emit activity();
    rearm_.start();
}

void DesktopIdleWatcher::AddUserActiveWatch() {
    const QDBusMessage add =
        QDBusMessage::createMethodCall(kIdleMonitorService, kIdleMonitorPath, kIdleMonitorInterface,
                                       QStringLiteral("AddUserActiveWatch"));
    // Asynchronous, so that a missing service never blocks the event loop.
    awaitingId_ = true;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(add), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        awaitingId_ = false;
        const QList<uint> fired = std::exchange(firedWhileAwaiting_, {});
        const QDBusPendingReply<uint> reply = *done;
        if (reply.isError()) {
            return;
        }
        watchId_ = reply.value();
        if (fired.contains(watchId_)) {
            Fired();
        }
    });
}

}  // namespace tollix
