// A stand-in for a starting copy of the program, for the single-instance test: it claims
// the instance, or asks the running copy to come forward, and says what happened.
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "platform/single_instance.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: single_instance_probe NAME FOLDER\n", stderr);
        return 2;
    }
    tollix::SingleInstance instance(argv[1], argv[2]);
    if (!instance.Claim()) {
        std::puts(instance.AskRunningCopyToRaise() ? "asked" : "not answered");
        return 0;
    }
    QObject::connect(&instance, &tollix::SingleInstance::raiseRequested, [] {
        std::puts("raise");
        std::fflush(stdout);
    });
    // Runs until its input ends.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            QCoreApplication::quit();
        }
    });
    std::puts("first");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
