#include "core/signal_watcher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace tollix {

namespace {

int wakeUp[2] = {-1, -1};  // [0] read by the event loop, [1] written by the handler

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnTerminationSignal(int number) {
    const auto byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
}

}  // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
    if (wakeUp[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeUp) != 0) {
        return;
    }
    ::fcntl(wakeUp[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char numbers[16];
        const ssize_t read = ::read(wakeUp[0], numbers, sizeof numbers);
        for (ssize_t i = 0; i < read; ++i) {
            emit terminationRequested(numbers[i]);
        }
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) {
        sigaction(number, &action, nullptr);
    }
}

SignalWatcher::~SignalWatcher() {
    for (const int number : kSignals) {
        std::signal(number, SIG_DFL);
    }
}

}  // namespace tollix
