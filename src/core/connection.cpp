// Connection control: joining and leaving the group, opening and closing the tunnels, the
// announcement and the farewell. The order of the steps matters because a box shown on
// the way runs a nested event loop in which datagrams are routed: the state is set before
// anything is announced, and reset only after the farewell has gone and both channels are
// closed.
#include "core/tollix_app.h"
#include "net/system_error.h"

namespace tollix {

void CTollixApp::SetConnected(bool on) {
    if (on && !connected_) {
        multicast_->skip192168Interfaces = settings_.ignoreLocalInterfaces != 0;
        if (!multicast_->JoinGroup(std::string(AppSettings::multicastGroup),
                                   AppSettings::multicastPort, AppSettings::multicastTtl,
                                   AppSettings::multicastLoopback)) {
            alerts_.Show("Error joining multicast group");
            return;
        }
        connected_ = true;
        presence_ = PresenceState::Online;
        if (!tunnel_->OpenChannel(AppSettings::tunnelPort)) {
            // Taken before the first box, whose nested event loop may fail other calls.
            const std::string systemError = LastSystemError();
            alerts_.Show("Error opening tunnels socket");
            ReportSystemError(systemError);
        }
        BuildAndSend(MSGTYPE_HELLO);
    } else if (!on && connected_) {
        NetMessage farewell;
        codec_.Build(MSGTYPE_OFFLINE, farewell, {}, settings_.Identity());
        // Through the tunnels directly as well: the copy is about to stop hearing its own
        // multicast, which is how its messages otherwise reach them.
        Send(farewell, /*viaMulticast=*/true);
        Send(farewell, /*viaMulticast=*/false);
        if (!tunnel_->CloseChannel()) {
            alerts_.Show("Error closing tunnels socket");
        }
        if (!multicast_->LeaveGroup()) {
            alerts_.Show("Error leaving multicast host group");
        }
        connected_ = false;
        presence_ = PresenceState::Offline;
        contacts_.ClearContacts();
    }
    emit connectionChanged();
}

void CTollixApp::OnInterfaceJoined() {
    // The copies there have not heard this copy's announcement; their answers list them.
    if (connected_) {
        BuildAndSend(MSGTYPE_HELLO);
    }
}

void CTollixApp::OnConnect() {
    SetConnected(!connected_);
}

}  // namespace tollix
