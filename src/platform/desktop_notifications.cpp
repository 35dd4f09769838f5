#include "platform/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace tollix {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The icon installed with the program, and its menu entry.
const QString kIconName = QStringLiteral("tollix");
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnClosed(uint, uint)));
    AskCapabilities();
}

void DesktopNotifications::AskCapabilities() {
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QStringList> reply = *done;
        if (!reply.isError()) {
            bodyMarkup_ = reply.value().contains(QStringLiteral("body-markup"));
        }
    });
}

void DesktopNotifications::Show(const QString& key, const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        return;
    }
    Shown& shown = byKey_[key];
    if (shown.waiting) {
        // Sent when the id of the one under way is known, so that it replaces it; only the
        // newest is kept meanwhile.
        shown.next.emplace(summary, body);
        return;
    }
    Send(key, summary, body);
}

void DesktopNotifications::Send(const QString& key, const QString& summary, const QString& body) {
    Shown& shown = byKey_[key];
    shown.waiting = true;
    QString text = body.left(kMaxBodyChars);
    if (bodyMarkup_) {
        text = text.toHtmlEscaped();
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    const QVariantMap hints{{QStringLiteral("desktop-entry"), kIconName}};
    notify << QStringLiteral("Tollix") << shown.id << kIconName << summary << text
           << QStringList{kDefaultAction, QStringLiteral("Open")} << hints << -1;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(notify), this);
    connect(
        call, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<uint> reply = *done;
            Shown& answered = byKey_[key];
            answered.waiting = false;
            if (!reply.isError()) {
                keyOfId_.remove(answered.id);
                answered.id = reply.value();
                keyOfId_.insert(answered.id, key);
            }
            if (answered.next) {
                const auto [nextSummary, nextBody] = *std::exchange(answered.next, std::nullopt);
                Send(key, nextSummary, nextBody);
            } else if (answered.id == 0) {
                byKey_.remove(key);  // no service: nothing to remember
            }
        });
}

void DesktopNotifications::OnActionInvoked(uint id, const QString& action) {
    const auto key = keyOfId_.constFind(id);
    if (key != keyOfId_.cend() && action == kDefaultAction) {
        emit activated(*key);
    }
}

void DesktopNotifications::OnClosed(uint id, uint) {
    // A closed notification cannot be replaced: the key's next one is a new one.
    const QString key = keyOfId_.take(id);
    const auto shown = byKey_.find(key);
    if (!key.isNull() && shown != byKey_.end() && shown->id == id) {
        if (shown->waiting) {
            shown->id = 0;
        } else {
            byKey_.erase(shown);
        }
    }
}

}  // namespace tollix
