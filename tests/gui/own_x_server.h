#pragma once

// An X server of the test's own (Xvfb), started before the application connects to it.
#include <QProcess>
#include <QString>
#include <cstdio>

namespace tollix::testing {

constexpr int kSkipped = 77;

class OwnXServer {
public:
    // Starts Xvfb and points DISPLAY at it; says why on standard output when it cannot.
    bool Start() {
        // -displayfd: the server picks a free display and writes its number when it is ready.
        xvfb_.start(QStringLiteral("Xvfb"),
                    {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        if (!xvfb_.waitForStarted(5000) || !xvfb_.waitForReadyRead(10000)) {
            std::printf("SKIP: Xvfb could not be started\n");
            return false;
        }
        qputenv("DISPLAY", ":" + xvfb_.readAllStandardOutput().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    ~OwnXServer() {
        xvfb_.terminate();
        xvfb_.waitForFinished(5000);
    }

private:
    QProcess xvfb_;
};

}  // namespace tollix::testing
