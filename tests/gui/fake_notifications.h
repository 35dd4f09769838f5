#pragma once

// A session bus of the test's own (dbus-daemon) with a notification service on it that
// records what it is asked to show and can send the service's signals.
#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

namespace tollix::testing {

class FakeNotificationService : public QObject {
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

    // Registers the service on the bus at `address`; false when that failed.
    bool Register(const QString& address) {
        bus_ = QDBusConnection::connectToBus(address, QStringLiteral("fake-notifications"));
        return bus_.registerObject(
                   QStringLiteral("/org/freedesktop/Notifications"), this,
                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~FakeNotificationService() override {
        bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    }

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

private:
    QDBusConnection bus_{QStringLiteral("unconnected")};
};

// dbus-daemon on a private address, for as long as the object lives.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000)) {
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        }
    }
    ~PrivateBus() {
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }
    // Empty when the daemon could not be started.
    QString Address() const { return address_; }
    QDBusConnection Connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace tollix::testing
