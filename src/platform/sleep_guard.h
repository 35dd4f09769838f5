#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QTimer>

class QDBusPendingCallWatcher;

namespace tollix {

class CTollixApp;

// A computer that suspends says no goodbye, and contacts never time out: the others would
// list this copy as online until they disconnect. So, through logind on the system bus, a
// connected copy holds a "delay" sleep inhibitor; when logind announces the sleep, the copy
// says goodbye as a disconnect does and then lets the sleep go on by releasing the
// inhibitor. When the computer wakes, a copy that was connected connects again (HELLO) and
// takes a new inhibitor. Without a system bus or logind nothing happens: every call is
// asynchronous, and nothing waits for an answer.
class SleepGuard : public QObject {
    Q_OBJECT

public:
    explicit SleepGuard(CTollixApp& app, QObject* parent = nullptr);

private slots:
    void OnPrepareForSleep(bool sleeping);

private:
    // Holds an inhibitor while connected, and releases it once the farewell has gone.
    void FollowConnection();
    void TakeInhibitor();
    void ReleaseInhibitor();

    CTollixApp& app_;
    QDBusConnection bus_;
    QDBusUnixFileDescriptor inhibitor_;          // logind holds back the sleep while it is open
    QDBusPendingCallWatcher* asking_ = nullptr;  // an Inhibit call under way
    bool reconnectOnWake_ = false;
    // A farewell into a tunnel whose host name is still being looked up goes out when the
    // look-up ends; the sleep waits for it, but not beyond logind's own limit (5 s).
    QTimer farewellWait_;
};

}  // namespace tollix
