#pragma once

#include <QTimer>
#include <functional>

class QSocketNotifier;

namespace tollix {

// Tells its owner, on the event loop, that this machine's IPv4 addresses or links may have
// changed: an address added or removed (DHCP, another Wi-Fi), an interface up or down. It
// listens to the kernel's route notifications; where it cannot, it asks once a second.
// Bursts of notifications are reported once.
class InterfaceWatcher {
public:
    explicit InterfaceWatcher(std::function<void()> changed);
    ~InterfaceWatcher();
    InterfaceWatcher(const InterfaceWatcher&) = delete;
    InterfaceWatcher& operator=(const InterfaceWatcher&) = delete;

    void Start();
    void Stop();

private:
    bool OpenNotifications();
    void Drain();

    std::function<void()> changed_;
    int descriptor_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer settle_;  // reports a burst once it has passed; also the one-second fallback
};

}  // namespace tollix
