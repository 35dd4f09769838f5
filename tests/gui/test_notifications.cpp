// Desktop notifications against a notification service of the test's own, on a private
// session bus started by the test: what a notification carries, one contact's replacing
// each other, the default action, and no service at all.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "fake_notifications.h"
#include "platform/desktop_notifications.h"

using namespace tollix;
using namespace tollix::testing;

class NotificationsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateBus> bus_;

private slots:
    void initTestCase() {
        bus_ = std::make_unique<PrivateBus>();
        if (bus_->Address().isEmpty()) {
            QSKIP("dbus-daemon cannot be started here");
        }
    }
    void cleanupTestCase() { bus_.reset(); }

    void oneContactsNotificationsReplaceEachOtherAndOpenTheConversation() {
        FakeNotificationService service;
        QVERIFY(service.Register(bus_->Address()));
        DesktopNotifications notifications(bus_->Connect("program"));
        QSignalSpy opened(&notifications, &DesktopNotifications::activated);
        const QString longText = "<b>x</b> & " + QString(300, u'y');
        notifications.Show("10.0.0.9", "Bob Brown", longText);
        notifications.Show("10.0.0.9", "Bob Brown", "second");  // before the first is shown
        notifications.Show("10.0.0.9", "Bob Brown", "third");
        notifications.Show("10.0.0.8", "Cid", "hello");
        QTRY_COMPARE(service.calls.size(), 3);
        const FakeNotificationService::Call& first = service.calls[0];
        QCOMPARE(first.replaces, 0u);
        QCOMPARE(first.summary, "Bob Brown");
        QCOMPARE(first.body, longText.left(200).toHtmlEscaped());
        QCOMPARE(first.icon, "tollix");
        QCOMPARE(first.actions.value(0), "default");
        QCOMPARE(first.hints.value("desktop-entry").toString(), "tollix");
        QCOMPARE(service.calls[1].summary, "Cid");
        QCOMPARE(service.calls[1].replaces, 0u);
        QCOMPARE(service.calls[2].replaces, 1u);  // only the newest waited
        QCOMPARE(service.calls[2].body, "third");

        emit service.ActionInvoked(2, "default");
        emit service.ActionInvoked(1, "other");
        emit service.ActionInvoked(9, "default");
        QTRY_COMPARE(opened.size(), 1);
        QTest::qWait(50);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].toString(), "10.0.0.8");

        // Once closed, the next one is a new notification.
        emit service.NotificationClosed(1, 2);
        QTest::qWait(50);
        notifications.Show("10.0.0.9", "Bob Brown", "fourth");
        QTRY_COMPARE(service.calls.size(), 4);
        QCOMPARE(service.calls[3].replaces, 0u);
    }

    void withoutAServiceNothingWaits() {
        DesktopNotifications onBus(bus_->Connect("alone"));
        DesktopNotifications noBus(QDBusConnection::connectToBus("unix:path=/nonexistent", "none"));
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i) {
            onBus.Show(QString::number(i), "Bob", "hello");
            noBus.Show("x", "Bob", "hello");
        }
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
        // The errors come back and are dropped: what follows must not crash on them.
        QTest::qWait(200);
        onBus.Show("x", "Bob", "again");
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "test_notifications.moc"
