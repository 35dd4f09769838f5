// The local user's moves between online and away while connected: away after the idle
// time-out, online again at the next observed input, each announced on the group.
#include "core/tollix_app.h"

namespace tollix {

void CTollixApp::OnUserActivity() {
    lastActivityTime_ = clock_.Now();
    if (connected_ && presence_ == PresenceState::Away) {
        SetPresence(PresenceState::Online, MSGTYPE_ONLINE);
    }
}

void CTollixApp::CheckIdle() {
    if (settings_.trackSystemIdleTime == 0 || !connected_ || presence_ == PresenceState::Away) {
        return;
    }
    // Signed: with the clock set back the difference is negative and nothing happens.
    if (clock_.Now() - lastActivityTime_ < settings_.awayNotificationTimeout) {
        return;
    }
    SetPresence(PresenceState::Away, MSGTYPE_AWAY);
}

void CTollixApp::GoAway() {
    if (connected_ && presence_ != PresenceState::Away) {
        SetPresence(PresenceState::Away, MSGTYPE_AWAY);
    }
}

void CTollixApp::SetPresence(PresenceState presence, int announcement) {
    presence_ = presence;
    emit connectionChanged();
    BuildAndSend(announcement);
}

}  // namespace tollix
