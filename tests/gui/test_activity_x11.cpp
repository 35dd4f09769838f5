// The activity source on X11: XInput 2 raw events of the whole desktop, under an Xvfb of
// the test's own, with input made by xdotool while no window of the program is shown; and
// the compositor's idle time instead on a Wayland session, although Qt runs on xcb there
// too (XWayland).
#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>
#include <cstdio>

#include "own_x_server.h"
#include "platform/activity_source.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

constexpr int kQuietMilliseconds = 300;

void XDoTool(const QStringList& arguments) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

}  // namespace

class X11ActivityTest : public QObject {
    Q_OBJECT

private slots:
    void choiceFollowsTheSession_data() {
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("source");
        QTest::newRow("X11") << QByteArray("x11") << QByteArray()
                             << QByteArray("X11ActivitySource");
        QTest::newRow("no session type")
            << QByteArray() << QByteArray() << QByteArray("X11ActivitySource");
        QTest::newRow("Wayland") << QByteArray("wayland") << QByteArray()
                                 << QByteArray("DesktopIdleActivity");
        QTest::newRow("Wayland display only")
            << QByteArray("tty") << QByteArray("wayland-0") << QByteArray("DesktopIdleActivity");
    }
    void choiceFollowsTheSession() {
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, source);
        qputenv("XDG_SESSION_TYPE", sessionType);
        qputenv("WAYLAND_DISPLAY", waylandDisplay);
        QCOMPARE(ActivitySource::Create()->metaObject()->className(), "tollix::" + source);
        qunsetenv("XDG_SESSION_TYPE");
        qunsetenv("WAYLAND_DISPLAY");
    }

    void rawEventsOfTheWholeDesktop() {
        std::unique_ptr<ActivitySource> source = ActivitySource::Create();
        QCOMPARE(source->metaObject()->className(), "tollix::X11ActivitySource");
        QSignalSpy activity(source.get(), &ActivitySource::activity);
        QVERIFY(source->Install());

        XDoTool({"keydown", "a"});
        QTRY_VERIFY(activity.count() > 0);
        QTest::qWait(kQuietMilliseconds);
        activity.clear();
        XDoTool({"keyup", "a"});
        QTest::qWait(kQuietMilliseconds);
        QCOMPARE(activity.count(), 0);  // a release alone is no activity

        // Relative moves go through the XTEST device like real input; absolute ones warp.
        XDoTool({"mousemove_relative", "--", "20", "30"});
        QTRY_VERIFY(activity.count() > 0);
        QTest::qWait(kQuietMilliseconds);
        activity.clear();
        XDoTool({"click", "1"});
        QTRY_VERIFY(activity.count() > 0);

        source->Remove();
        QVERIFY(!source->IsInstalled());
        QTest::qWait(kQuietMilliseconds);
        activity.clear();
        XDoTool({"key", "b"});
        XDoTool({"mousemove_relative", "--", "5", "5"});
        QTest::qWait(kQuietMilliseconds);
        QCOMPARE(activity.count(), 0);
    }
};

// Starts the X server before the application connects to it; without Xvfb or xdotool the
// test is reported as skipped, never as passed.
int main(int argc, char** argv) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        std::printf("SKIP: xdotool is not installed\n");
        return kSkipped;
    }
    OwnXServer x;
    if (!x.Start()) {
        return kSkipped;
    }
    QApplication application(argc, argv);
    X11ActivityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_activity_x11.moc"
