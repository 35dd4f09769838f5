// logind as the end-to-end tests need it, on a bus of its own: owns org.freedesktop.login1,
// answers Manager.Inhibit with the write end of a pipe whose read end it keeps, and
// announces PrepareForSleep when told to.
//   standard output: "bus ADDRESS" first (give it as DBUS_SYSTEM_BUS_ADDRESS); then
//     "inhibit WHAT WHO MODE" for every Inhibit, and "released" when every copy of an
//     inhibitor's descriptor has been closed
//   standard input: "sleep" (PrepareForSleep true), "wake" (false); it ends at end of input
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <cstdio>

#include "../gui/fake_bus.h"
#include "input_lines.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The read end of an inhibitor's pipe sees the end of the file once the holder let go.
void WatchForRelease(int readEnd) {
    auto* hangUp = new QSocketNotifier(readEnd, QSocketNotifier::Read, qApp);
    QObject::connect(hangUp, &QSocketNotifier::activated, [hangUp, readEnd] {
        char byte = 0;
        if (::read(readEnd, &byte, 1) <= 0) {
            Say("released");
            hangUp->deleteLater();
            ::close(readEnd);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const PrivateBus bus;
    if (bus.Address().isEmpty()) {
        std::fprintf(stderr, "fake_logind: dbus-daemon could not be started\n");
        return 1;
    }
    FakeObject manager;
    manager.Answer("Inhibit", [](const QDBusMessage& call) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return QVariantList{};
        }
        WatchForRelease(ends[0]);
        const QDBusUnixFileDescriptor handedOut(ends[1]);  // a copy of its own
        ::close(ends[1]);
        const QVariantList a = call.arguments();
        Say("inhibit " + a.value(0).toString() + " " + a.value(1).toString() + " " +
            a.value(3).toString());
        return QVariantList{QVariant::fromValue(handedOut)};
    });
    QDBusConnection fakes = bus.Fakes();
    const QString path = "/org/freedesktop/login1";
    if (!fakes.registerVirtualObject(path, &manager) ||
        !fakes.registerService("org.freedesktop.login1")) {
        return 1;
    }
    Say("bus " + bus.Address());

    InputLines input(
        [&](const std::string& line) {
            if (line == "sleep" || line == "wake") {
                QDBusMessage prepare = QDBusMessage::createSignal(
                    path, "org.freedesktop.login1.Manager", "PrepareForSleep");
                prepare << (line == "sleep");
                fakes.send(prepare);
            }
        },
        [] { QCoreApplication::quit(); });
    return QCoreApplication::exec();
}
