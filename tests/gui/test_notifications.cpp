// Desktop notifications against a notification service of the test's own, on a private
// session bus started by the test: what a notification carries, one contact's replacing
// each other, the default action, and no service at all.
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include "platform/desktop_notifications.h"

using namespace tollix;

namespace {

// What a notification service is asked to show, and the service's own signals.
class FakeService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        uint replaces;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;
    uint nextId = 1;

public slots:
    QStringList GetCapabilities() { return {"body", "body-markup", "actions"}; }
    uint Notify(const QString&, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        calls.append({replaces, icon, summary, body, actions, hints});
        return replaces != 0 ? replaces : nextId++;
    }

signals:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);
};

}  // namespace

class NotificationsTest : public QObject {
    Q_OBJECT

private:
    QProcess daemon_;
    QString address_;

    static QDBusConnection Connect(const QString& address, const QString& name) {
        return QDBusConnection::connectToBus(address, name);
    }

private slots:
    void initTestCase() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) {
            QSKIP("dbus-daemon cannot be started here");
        }
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        QVERIFY(!address_.isEmpty());
    }
    void cleanupTestCase() {
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    void oneContactsNotificationsReplaceEachOtherAndOpenTheConversation() {
        QDBusConnection serviceBus = Connect(address_, "service");
        FakeService service;
        QVERIFY(serviceBus.registerObject(
            "/org/freedesktop/Notifications", &service,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serviceBus.registerService("org.freedesktop.Notifications"));

        DesktopNotifications notifications(Connect(address_, "program"));
        QSignalSpy opened(&notifications, &DesktopNotifications::activated);
        const QString longText = "<b>x</b> & " + QString(300, u'y');
        notifications.Show("10.0.0.9", "Bob Brown", longText);
        notifications.Show("10.0.0.9", "Bob Brown", "second");  // before the first is shown
        notifications.Show("10.0.0.9", "Bob Brown", "third");
        notifications.Show("10.0.0.8", "Cid", "hello");
        QTRY_COMPARE(service.calls.size(), 3);
        const FakeService::Call& first = service.calls[0];
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

        serviceBus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus("service");
    }

    void withoutAServiceNothingWaits() {
        DesktopNotifications onBus(Connect(address_, "alone"));
        DesktopNotifications noBus(Connect("unix:path=/nonexistent/bus", "none"));
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i) {
            onBus.Show(QString::number(i), "Bob", "hello");
            noBus.Show("x", "Bob", "hello");
        }
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
        QTest::qWait(200);  // the errors come back and are dropped
        onBus.Show("x", "Bob", "again");
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "test_notifications.moc"
