// The activity source where the program sees only its own input (here: offscreen), and on
// Wayland sessions the compositor's idle time from fake GNOME and KDE services on a private
// session bus, driving the away logic of a core on fake channels.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

#include "../unit/core_harness.h"
#include "fake_bus.h"
#include "platform/activity_source.h"
#include "platform/desktop_idle_activity.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

constexpr int kAskEveryMs = 20;
constexpr int kSomeQuestionsMs = 10 * kAskEveryMs;

using Monitor = DesktopIdleActivity::Monitor;

}  // namespace

class ActivityTest : public QObject {
    Q_OBJECT

private:
    PrivateBus bus_;

private slots:
    void initTestCase() {
        QVERIFY2(!bus_.Address().isEmpty(), "dbus-daemon could not be started");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().toUtf8());
        qunsetenv("WAYLAND_DISPLAY");
    }

    void ownWindowsInputCountsOncePerPressOrMove() {
        qputenv("XDG_SESSION_TYPE", "x11");
        std::unique_ptr<ActivitySource> source = ActivitySource::Create();
        QCOMPARE(source->metaObject()->className(), "tollix::WindowActivitySource");
        // A widget that takes the key press after its window has seen it.
        QLineEdit edit;
        edit.resize(200, 50);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QWindow* window = edit.windowHandle();
        QSignalSpy activity(source.get(), &ActivitySource::activity);

        QTest::keyPress(window, Qt::Key_A);
        QCOMPARE(activity.count(), 0);  // not installed yet
        QVERIFY(source->Install());
        QVERIFY(source->Install());
        QVERIFY(source->IsInstalled());

        QTest::keyPress(window, Qt::Key_B);
        QCOMPARE(activity.count(), 1);
        QTest::keyRelease(window, Qt::Key_B);
        QCOMPARE(activity.count(), 1);  // a release is no activity
        QTest::mouseMove(window, QPoint(30, 20));
        QCOMPARE(activity.count(), 2);
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(activity.count(), 3);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(activity.count(), 3);

        source->Remove();
        QVERIFY(!source->IsInstalled());
        QTest::keyPress(window, Qt::Key_C);
        QTest::mouseMove(window, QPoint(40, 30));
        QCOMPARE(activity.count(), 3);
    }

    // Idle times that grow are no input: the core goes away after its time-out. A drop is
    // input: it comes back online at once. Zero again is input again (a monitor counting in
    // seconds under continuous typing); the same non-zero time is not.
    void compositorIdleTimeDrivesAway_data() {
        QTest::addColumn<QString>("service");
        QTest::addColumn<int>("monitor");
        QTest::addColumn<quint64>("idleAtStart");
        QTest::addColumn<quint64>("idleLater");
        QTest::addColumn<quint64>("idleBack");
        QTest::newRow("GNOME, milliseconds")
            << "org.gnome.Mutter.IdleMonitor" << int(Monitor::Mutter) << quint64{4000}
            << quint64{301000} << quint64{250};
        QTest::newRow("KDE screen saver, milliseconds")
            << "org.freedesktop.ScreenSaver" << int(Monitor::ScreenSaver) << quint64{4000}
            << quint64{301000} << quint64{900};
        QTest::newRow("screen saver in seconds, typing on")
            << "org.freedesktop.ScreenSaver" << int(Monitor::ScreenSaver) << quint64{4}
            << quint64{301} << quint64{0};
    }
    void compositorIdleTimeDrivesAway() {
        QFETCH(QString, service);
        QFETCH(int, monitor);
        QFETCH(quint64, idleAtStart);
        QFETCH(quint64, idleLater);
        QFETCH(quint64, idleBack);
        quint64 idle = idleAtStart;
        FakeObject fake;
        const bool mutter = monitor == int(Monitor::Mutter);
        fake.Answer(mutter ? "GetIdletime" : "GetSessionIdleTime", [&](const QDBusMessage&) {
            return mutter ? QVariantList{QVariant::fromValue(idle)}
                          : QVariantList{QVariant::fromValue(uint(idle))};
        });
        QDBusConnection fakes = bus_.Fakes();
        const QString path =
            mutter ? "/org/gnome/Mutter/IdleMonitor/Core" : "/org/freedesktop/ScreenSaver";
        QVERIFY(fakes.registerVirtualObject(path, &fake));
        QVERIFY(fakes.registerService(service));
        const auto unregister = qScopeGuard([&] {
            fakes.unregisterService(service);
            fakes.unregisterObject(path);
        });

        qputenv("XDG_SESSION_TYPE", "wayland");
        std::unique_ptr<ActivitySource> created = ActivitySource::Create();
        auto* source = qobject_cast<DesktopIdleActivity*>(created.get());
        QVERIFY(source != nullptr);
        source->SetInterval(kAskEveryMs);
        CoreHarness core;
        connect(source, &ActivitySource::activity, &core.app, &CTollixApp::OnUserActivity);
        QVERIFY(source->Install());
        QTRY_COMPARE(int(source->ActiveMonitor()), monitor);
        core.Connect();

        core.clock.now += core.app.Settings().awayNotificationTimeout;
        idle = idleLater;
        QTest::qWait(kSomeQuestionsMs);
        core.app.CheckIdle();
        QCOMPARE(core.app.Presence(), PresenceState::Away);

        idle = idleBack;
        QTRY_COMPARE(core.app.Presence(), PresenceState::Online);
        QCOMPARE(core.multicast.SentOfType(MSGTYPE_ONLINE).size(), std::size_t{1});

        core.app.GoAway();
        QTest::qWait(kSomeQuestionsMs);
        QCOMPARE(core.app.Presence(), idle == 0 ? PresenceState::Online : PresenceState::Away);
    }

    void withoutIdleMonitorOnlyOwnWindowsAndOneNotice() {
        qputenv("XDG_SESSION_TYPE", "wayland");
        std::unique_ptr<ActivitySource> created = ActivitySource::Create();
        auto* source = qobject_cast<DesktopIdleActivity*>(created.get());
        QVERIFY(source != nullptr);
        QTemporaryFile noticeFile;
        QVERIFY(noticeFile.open());
        std::FILE* notice = std::fopen(qPrintable(noticeFile.fileName()), "w");
        source->SetNoticeOutput(notice);
        source->SetInterval(kAskEveryMs);
        QSignalSpy activity(source, &ActivitySource::activity);
        QVERIFY(source->Install());
        QTRY_COMPARE(source->ActiveMonitor(), Monitor::None);
        QTest::qWait(kSomeQuestionsMs);
        std::fclose(notice);
        QCOMPARE(noticeFile.readAll(),
                 "tollix: away tracking sees only Tollix's own windows: the desktop tells no "
                 "idle time (neither org.gnome.Mutter.IdleMonitor nor "
                 "org.freedesktop.ScreenSaver answers)\n");

        QLineEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::keyPress(edit.windowHandle(), Qt::Key_A);
        QCOMPARE(activity.count(), 1);
    }
};

QTEST_MAIN(ActivityTest)
#include "test_activity.moc"
