#include "core/tollix_app.h"

#include "core/private_conversations.h"
#include "net/multicast_socket.h"
#include "net/system_error.h"
#include "net/unicast_socket.h"

namespace tollix {

CTollixApp::CTollixApp(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), alerts_(clock), contacts_(clock) {
    ownedMulticast_ = std::make_unique<CMulticastSocket>(*this);
    ownedTunnel_ = std::make_unique<CUnicastSocket>(*this);
    multicast_ = ownedMulticast_.get();
    tunnel_ = ownedTunnel_.get();
    Initialise();
}

CTollixApp::CTollixApp(MulticastChannel& multicast, TunnelChannel& tunnel, const Clock& clock,
                       QObject* parent)
    : QObject(parent),
      clock_(clock),
      multicast_(&multicast),
      tunnel_(&tunnel),
      alerts_(clock),
      contacts_(clock) {
    Initialise();
}

CTollixApp::~CTollixApp() {
    contacts_.SetPinned({});  // the private conversations go first
}

void CTollixApp::Initialise() {
    private_ = std::make_unique<PrivateConversations>(*this);
    contacts_.SetPinned(
        [this](const std::string& address) { return private_->Pin(address).has_value(); });
    stats_.startTime = clock_.Now();
    lastActivityTime_ = clock_.Now();
}

bool CTollixApp::IsLocalAddress(std::string_view address) {
    return multicast_->IsLocalAddress(address);
}

void CTollixApp::ReportSystemError(const std::string& text) {
    alerts_.Show(text, "Error", AlertKind::Error);
}

void CTollixApp::ReportWarning(const std::string& text) {
    alerts_.Show(text);
}

void CTollixApp::ReportTunnelSendFailed() {
    alerts_.Show("Tunneling Failed!");
}

}  // namespace tollix
