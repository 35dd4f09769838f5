#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QTimer>

namespace tollix {

// The desktop's own word that the user is back, over the session bus: the screen saver
// ending (ActiveChanged(false) of org.freedesktop.ScreenSaver or org.gnome.ScreenSaver),
// and GNOME's idle monitor, which reports the first input anywhere on the desktop after
// a watch is set. Whatever is missing (the bus, a service) is quietly done without.
class DesktopIdleWatcher : public QObject {
    Q_OBJECT

public:
    explicit DesktopIdleWatcher(QObject* parent = nullptr);
    ~DesktopIdleWatcher() override;

signals:
    void activity();

private slots:
    void OnScreenSaverActiveChanged(bool active);
    void OnWatchFired(uint id);

private:
    void AddUserActiveWatch();
    void Fired();

    QDBusConnection bus_;
    uint watchId_ = 0;  // 0: no watch set
    bool awaitingId_ = false;
    QList<uint> firedWhileAwaiting_;
    // A watch fires once; the next one is set after a pause, so that typing does not
    // cost a call on the bus per key.
    QTimer rearm_;
};

}  // namespace tollix
