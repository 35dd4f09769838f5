// The activity source on X11: XInput 2 raw events of the whole desktop, under an Xvfb of
// the test's own, with input made by xdotool while no window of the program is shown.
#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>
#include <cstdio>

#include "platform/activity_source.h"

using namespace tollix;

namespace {

constexpr int kSkipped = 77;
constexpr int kQuietMilliseconds = 300;

void XDoTool(const QStringList& arguments) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

}  // namespace

class X11ActivityTest : public QObject {
    Q_OBJECT

private slots:
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
    QProcess xvfb;
    // -displayfd: the server picks a free display and writes its number when it is ready.
    xvfb.start(QStringLiteral("Xvfb"),
               {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    if (!xvfb.waitForStarted(5000) || !xvfb.waitForReadyRead(10000)) {
        std::printf("SKIP: Xvfb could not be started\n");
        return kSkipped;
    }
    const QByteArray display = ":" + xvfb.readAllStandardOutput().trimmed();
    qputenv("DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication application(argc, argv);
        X11ActivityTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return result;
}

#include "test_activity_x11.moc"
