// The activity source where the program sees only its own input (here: offscreen), and on
// Wayland sessions the compositor's idle time from fake GNOME and KDE services on a private
// session bus, driving the away logic of a core on fake channels.
#include <QLineEdit>
#include <QSignalSpy>
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

    static std::unique_ptr<DesktopIdleActivity> WaylandSource() {
        qputenv("XDG_SESSION_TYPE", "wayland");
        std::unique_ptr<ActivitySource> created = ActivitySource::Create();
        auto* source = qobject_cast<DesktopIdleActivity*>(created.get());
        if (source != nullptr) {
            created.release();
            source->SetInterval(kAskEveryMs);
        }
        return std::unique_ptr<DesktopIdleActivity>(source);
    }

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
        QTest::addColumn<bool>("mutter");
        QTest::addColumn<quint64>("idleLater");
        QTest::addColumn<quint64>("idleBack");
        QTest::newRow("GNOME, milliseconds") << true << quint64{301000} << quint64{250};
        QTest::newRow("KDE screen saver, milliseconds") << false << quint64{301000} << quint64{900};
        QTest::newRow("screen saver in seconds, typing on") << false << quint64{301} << quint64{0};
    }
    void compositorIdleTimeDrivesAway() {
        QFETCH(bool, mutter);
        QFETCH(quint64, idleLater);
        QFETCH(quint64, idleBack);
        quint64 idle = 4;
        FakeObject fake;
        fake.Answer(mutter ? "GetIdletime" : "GetSessionIdleTime", [&](const QDBusMessage&) {
            return QVariantList{mutter ? QVariant::fromValue(idle)
                                       : QVariant::fromValue(uint(idle))};
        });
        const QString service =
            mutter ? "org.gnome.Mutter.IdleMonitor" : "org.freedesktop.ScreenSaver";
        const QString path =
            mutter ? "/org/gnome/Mutter/IdleMonitor/Core" : "/org/freedesktop/ScreenSaver";
        QDBusConnection fakes = bus_.Fakes();
        QVERIFY(fakes.registerVirtualObject(path, &fake) && fakes.registerService(service));
        const auto unregister = qScopeGuard([&] {
            fakes.unregisterService(service);
            fakes.unregisterObject(path);
        });

        const std::unique_ptr<DesktopIdleActivity> source = WaylandSource();
        QVERIFY(source != nullptr);
        CoreHarness core;
        connect(source.get(), &ActivitySource::activity, &core.app, &CTollixApp::OnUserActivity);
        QVERIFY(source->Install());
        QTRY_COMPARE(source->ActiveMonitor(), mutter ? Monitor::Mutter : Monitor::ScreenSaver);
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
        const std::unique_ptr<DesktopIdleActivity> source = WaylandSource();
        QVERIFY(source != nullptr);
        char* notice = nullptr;
        std::size_t noticeSize = 0;
        std::FILE* noticeOutput = open_memstream(&notice, &noticeSize);
        source->SetNoticeOutput(noticeOutput);
        QSignalSpy activity(source.get(), &ActivitySource::activity);
        QVERIFY(source->Install());
        QTRY_COMPARE(source->ActiveMonitor(), Monitor::None);
        QTest::qWait(kSomeQuestionsMs);
        std::fclose(noticeOutput);
        const QByteArray said(notice, qsizetype(noticeSize));
        std::free(notice);
        QCOMPARE(said,
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
