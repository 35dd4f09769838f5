#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <optional>

namespace tollix {

// Desktop notifications through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications): a summary, a body of at most 200 characters, the
// program's icon and a default action. The notifications of one key (a contact) replace
// each other instead of piling up. Every call is asynchronous: without a bus or a
// service nothing is shown and nothing waits.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxBodyChars = 200;

    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    // Shows a notification for `key`, in place of the key's earlier one if it is still
    // shown.
    void Show(const QString& key, const QString& summary, const QString& body);

signals:
    // The user chose the notification's default action (usually by clicking it).
    void activated(const QString& key);

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    struct Shown {
        uint id = 0;           // the service's id of the key's notification; 0 for none
        bool waiting = false;  // a call is on its way: the next one must know its id
        std::optional<std::pair<QString, QString>> next;  // summary, body
    };

    void Send(const QString& key, const QString& summary, const QString& body);
    void AskCapabilities();

    QDBusConnection bus_;
    QHash<QString, Shown> byKey_;
    QHash<uint, QString> keyOfId_;
    // Whether the service reads markup in the body, where a text's own "<" and "&" must be
    // escaped; assumed until the service has said.
    bool bodyMarkup_ = true;
};

}  // namespace tollix
