#include "platform/sleep_guard.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "core/tollix_app.h"

namespace tollix {

namespace {

const QString kLoginService = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");

constexpr int kFarewellWaitMs = 4000;

}  // namespace

SleepGuard::SleepGuard(CTollixApp& app, QObject* parent)
    : QObject(parent), app_(app), bus_(QDBusConnection::systemBus()) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(kLoginService, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                 SLOT(OnPrepareForSleep(bool)));
    farewellWait_.setSingleShot(true);
    farewellWait_.setInterval(kFarewellWaitMs);
    connect(&farewellWait_, &QTimer::timeout, this, &SleepGuard::ReleaseInhibitor);
    connect(&app_, &CTollixApp::tunnelSendsGone, this, [this] {
        if (farewellWait_.isActive()) {
            ReleaseInhibitor();
        }
    });
    connect(&app_, &CTollixApp::connectionChanged, this, &SleepGuard::FollowConnection);
    FollowConnection();
}

void SleepGuard::OnPrepareForSleep(bool sleeping) {
    if (sleeping) {
        if (app_.IsConnected()) {
            reconnectOnWake_ = true;
            app_.SetConnected(false);  // the farewell; the inhibitor follows the connection
        }
    } else if (std::exchange(reconnectOnWake_, false)) {
        app_.SetConnected(true);
    }
}

void SleepGuard::FollowConnection() {
    if (app_.IsConnected()) {
        farewellWait_.stop();
        if (!inhibitor_.isValid() && asking_ == nullptr) {
            TakeInhibitor();
        }
    } else if (inhibitor_.isValid() && !farewellWait_.isActive()) {
        if (app_.TunnelSendsPending()) {
            farewellWait_.start();  // until the farewell has gone, or logind's own limit
        } else {
            ReleaseInhibitor();
        }
    }
}

void SleepGuard::TakeInhibitor() {
    QDBusMessage inhibit = QDBusMessage::createMethodCall(kLoginService, kLoginPath, kLoginManager,
                                                          QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("sleep") << QStringLiteral("Tollix")
            << QStringLiteral("Tell the other copies that this one goes offline")
            << QStringLiteral("delay");
    asking_ = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
    connect(asking_, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                asking_ = nullptr;
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
                // Disconnected meanwhile: the descriptor closes with the reply.
                if (!reply.isError() && app_.IsConnected()) {
                    inhibitor_ = reply.value();
                }
            });
}

void SleepGuard::ReleaseInhibitor() {
    farewellWait_.stop();
    inhibitor_ = QDBusUnixFileDescriptor();  // closes it: logind may go on
}

}  // namespace tollix
