#pragma once

// A notification service for the test's own session bus (fake_bus.h) that records what
// it is asked to show and can send the service's signals.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "fake_bus.h"

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

}  // namespace tollix::testing
