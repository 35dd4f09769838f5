#include "net/interface_watcher.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace tollix {

namespace {
// Time for a burst of notifications (address, route, link) to pass before the owner looks.
constexpr int kSettleMs = 100;
constexpr int kFallbackPollMs = 1000;
}  // namespace

InterfaceWatcher::InterfaceWatcher(std::function<void()> changed) : changed_(std::move(changed)) {
    QObject::connect(&settle_, &QTimer::timeout, [this] { changed_(); });
}

InterfaceWatcher::~InterfaceWatcher() {
    Stop();
}

void InterfaceWatcher::Start() {
    Stop();
    if (OpenNotifications()) {
        settle_.setSingleShot(true);
        settle_.setInterval(kSettleMs);
    } else {
        settle_.setSingleShot(false);
        settle_.start(kFallbackPollMs);
    }
}

void InterfaceWatcher::Stop() {
    settle_.stop();
    delete notifier_;
    notifier_ = nullptr;
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

bool InterfaceWatcher::OpenNotifications() {
    descriptor_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (descriptor_ < 0) {
        return false;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(descriptor_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
        return false;
    }
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Drain(); });
    return true;
}

void InterfaceWatcher::Drain() {
    // What changed is read afresh by the owner; the messages only say that something did.
    // An overflow (ENOBUFS) means lost notifications, which is a change as well.
    char buffer[8192];
    while (::recv(descriptor_, buffer, sizeof buffer, MSG_DONTWAIT) >= 0 || errno == ENOBUFS) {
    }
    if (!settle_.isActive()) {
        settle_.start();
    }
}

}  // namespace tollix
