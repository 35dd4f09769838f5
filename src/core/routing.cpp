// Routing: every message sent and every datagram received passes through here.
//
// A copy sends its own messages on the multicast group only (the farewell also through the
// tunnels) and hears them back like any other datagram. Every new message heard on the
// group is forwarded through every tunnel except the one it came by; every datagram from a
// tunnel is sent on the group, where the copy hears it and handles it as new. Duplicate
// suppression by message ID ends the loops that this could start.
#include <QMutexLocker>
#include <exception>

#include "core/private_conversations.h"
#include "core/tollix_app.h"
#include "protocol/body_keys.h"
#include "protocol/sender_address.h"

namespace tollix {

bool CTollixApp::Send(NetMessage& message, bool viaMulticast) {
    if (!viaMulticast) {
        return SendThroughTunnels(message);
    }
    DatagramBuffer buffer;
    std::size_t length = 0;
    codec_.Encode(message, buffer, length);
    if (!multicast_->SendToGroup(buffer.data(), length)) {
        alerts_.Show("Multicast Failed!");
        return false;
    }
    return true;
}

bool CTollixApp::SendThroughTunnels(NetMessage& message) {
    const std::int32_t arrivalTunnel = message.tunnel;
    bool sentAll = true;
    QMutexLocker lock(&settings_.tunnelsLock);
    // By index, re-reading the size: a box shown by a failed send runs a nested event loop
    // in which routing may append learned tunnels. Each entry is held while it is used.
    for (std::size_t i = 0; i < settings_.tunnels.size(); ++i) {
        const std::shared_ptr<TunnelEntry> entry = settings_.tunnels[i];
        if (entry->tunHost.empty() || entry->tunId == 0 || entry->tunId == arrivalTunnel) {
            continue;
        }
        message.tunnel = entry->tunId;
        DatagramBuffer buffer;
        std::size_t length = 0;
        codec_.Encode(message, buffer, length);
        if (!tunnel_->SendToHost(entry->tunHost, AppSettings::tunnelPort, buffer.data(), length)) {
            ReportTunnelSendFailed();
            sentAll = false;
        }
    }
    return sentAll;
}

void CTollixApp::HandleDatagram(std::string_view text, const std::string& senderAddress,
                                std::uint16_t senderPort, bool fromMulticast) {
    try {
        const int length = static_cast<int>(text.size());
        NetMessage message;
        const bool decoded = codec_.Decode(message, text);
        if (decoded && message.from.empty()) {
            message.from = senderAddress;
            if (message.fromPort == 0) {
                message.fromPort = senderPort;
            }
        }
        stats_.Count(CountKind::AllDatagrams, message, length);
        if (!decoded || !HasValidSender(message)) {
            // Dropped after counting: going on with an empty record would list junk senders
            // as contacts and relay junk into every tunnel, and a sender that is not an
            // address would be written into the TO field of this user's replies.
            alerts_.Show("Message decoder Failed!");
            return;
        }

        if (!fromMulticast) {
            // Learn a sender that no tunnel names, within the bound of the list and unless
            // learning is off (a relay that keeps to the tunnels it was given); relay the
            // datagram to the group in any case, so that a copy that names this one as its
            // tunnel still reaches this subnet.
            if (settings_.learnTunnels != 0) {
                QMutexLocker lock(&settings_.tunnelsLock);
                if (settings_.tunnels.size() < AppSettings::kMaxTunnels &&
                    settings_.IsNewTunnel(senderAddress, -1, {})) {
                    settings_.tunnels.push_back(AppSettings::MakeTunnelEntry(senderAddress));
                }
            }
            Send(message, /*viaMulticast=*/true);
            return;
        }
        if (recentIds_.Contains(message.id)) {
            return;
        }
        recentIds_.Insert(message.id);
        RouteNewMessage(message, length);
    } catch (const std::exception&) {
        // Out of memory: the rest of this datagram's handling is abandoned.
    }
}

void CTollixApp::RouteNewMessage(NetMessage& message, int length) {
    stats_.Count(CountKind::NewMessages, message, length);
    Send(message, /*viaMulticast=*/false);
    // Sent from this host: this copy's own message heard back, another program on this
    // host, or a forgery. This host is never a contact.
    const bool fromHere = IsLocalAddress(message.from);
    if (!fromHere) {
        contacts_.OnIncomingMessage(message);
        private_->Heard(message);
    }
    if (message.msgType == MSGTYPE_HELLO) {
        if (!fromHere) {
            const bool away =
                settings_.trackSystemIdleTime != 0 && presence_ == PresenceState::Away;
            BuildAndSend(away ? MSGTYPE_AWAY : MSGTYPE_ONLINE);
        }
    } else if (message.msgType == MSGTYPE_TEXT) {
        // A text from this host is shown as the user's own only when this copy built it.
        // Any other (the terminal peer beside the desktop program, or a text forged with
        // this host's address) is not the user's, and since this host is not a contact
        // it is not shown at all: it was relayed and counted like every message, and ends
        // here. Its TO is not looked at, so a forgery cannot pose as an incoming text.
        if (fromHere ? sentTextIds_.TakeIfSent(message.id, clock_.Now())
                     : IsLocalAddress(message.to)) {
            OnIncomingText(message, fromHere);
        }
    }
    emit messageRouted(message);
}

void CTollixApp::OnIncomingText(const NetMessage& message, bool outgoing) {
    const std::string text(BodyValue(message.body, body_key::kText));
    // This copy's own text, heard back, belongs to the conversation with its addressee.
    Contact* contact = contacts_.FindContact(outgoing ? message.to : message.from);
    if (contact != nullptr && !text.empty()) {
        // From the group under a pinned contact's address: it would have written privately.
        const TextMark mark{
            outgoing ? Privacy::Open : private_->GroupPrivacy(message.from), Delivery::None, {}};
        emit textArrived(*contact, text, outgoing, mark);
    }
}

bool CTollixApp::BuildAndSend(int type, bool viaMulticast) {
    NetMessage message;
    codec_.Build(type, message, {}, settings_.Identity());
    return Send(message, viaMulticast);
}

bool CTollixApp::SendTextMessage(int type, const Contact* contact, const std::string& text) {
    if (type != MSGTYPE_TEXT || contact == nullptr || text.empty()) {
        return true;
    }
    return SendTextTo(contact->address, text);
}

bool CTollixApp::SendTextTo(const std::string& address, const std::string& text) {
    if (text.empty()) {
        return true;
    }
    if (!private_->IsOn()) {
        return SendGroupText(address, text);
    }
    // The bound of the open group holds for private texts as well: they may have to go
    // openly.
    NetMessage message;
    codec_.Build(MSGTYPE_TEXT, message, "TO=" + address + "|TEXT=" + text, settings_.Identity());
    if (!MessageCodec::ArrivesWholeAfterRelay(message)) {
        alerts_.Show("Message is too long!");
        return false;
    }
    return private_->Send(address, text);
}

bool CTollixApp::SendGroupText(const std::string& address, const std::string& text,
                               bool showWhenHeard) {
    NetMessage message;
    codec_.Build(MSGTYPE_TEXT, message, "TO=" + address + "|TEXT=" + text, settings_.Identity());
    // Refused unless it arrives whole in every subnet: cut on its way, it would be rejected
    // behind a tunnel while this copy shows it as sent.
    if (!MessageCodec::ArrivesWholeAfterRelay(message)) {
        alerts_.Show("Message is too long!");
        return false;
    }
    // Noted before it is sent: a box shown by a failed send runs a nested event loop in
    // which the text may already come back.
    if (showWhenHeard) {
        sentTextIds_.Add(message.id, clock_.Now());
    }
    return Send(message, /*viaMulticast=*/true);
}

}  // namespace tollix
