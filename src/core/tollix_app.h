#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/alert_service.h"
#include "core/app_settings.h"
#include "core/clock.h"
#include "core/contact_list.h"
#include "core/recent_ids.h"
#include "core/text_mark.h"
#include "core/traffic_stats.h"
#include "net/channel_events.h"
#include "net/multicast_channel.h"
#include "net/tunnel_channel.h"
#include "protocol/message_codec.h"

namespace tollix {

class PrivateConversations;

// The application object without widgets: settings, connection state, both channels, the
// routing of every message sent and received, the away logic, the traffic counters and
// the contact list. Everything runs on one thread; a modal alert runs a nested event loop
// in which datagrams go on arriving, so every operation here may be entered again.
class CTollixApp : public QObject, public ChannelEvents {
    Q_OBJECT

public:
    // With the real multicast and tunnel sockets.
    explicit CTollixApp(const Clock& clock = SystemClock::Instance(), QObject* parent = nullptr);
    // With channels of the caller's (tests, benchmarks, fuzzing).
    CTollixApp(MulticastChannel& multicast, TunnelChannel& tunnel, const Clock& clock,
               QObject* parent = nullptr);
    ~CTollixApp() override;

    AppSettings& Settings() { return settings_; }
    const AppSettings& Settings() const { return settings_; }
    ContactList& Contacts() { return contacts_; }
    AlertService& Alerts() { return alerts_; }
    const Clock& GetClock() const { return clock_; }
    const TrafficStats& Stats() const { return stats_; }
    MulticastChannel& Multicast() { return *multicast_; }
    // Where texts to contacts go when private conversations are on, and what they keep.
    PrivateConversations& Private() { return *private_; }
    const PrivateConversations& Private() const { return *private_; }

    bool IsConnected() const { return connected_; }
    // True while datagrams, such as the farewell, wait for the look-up of a tunnel host.
    bool TunnelSendsPending() const { return tunnel_->SendsPending(); }
    PresenceState Presence() const { return presence_; }

    // Routing. Send returns false when a failure was reported.
    bool Send(NetMessage& message, bool viaMulticast);
    void HandleDatagram(std::string_view text, const std::string& senderAddress,
                        std::uint16_t senderPort, bool fromMulticast) override;
    bool SendTextMessage(int type, const Contact* contact, const std::string& text);
    // A text to an address, listed or not, privately or openly as Private() decides. `text`
    // must already be safe for the envelope. False when it was refused (and reported).
    bool SendTextTo(const std::string& address, const std::string& text);
    // A text to the open group. It is shown when this copy hears it back, unless
    // `showWhenHeard` is false (it is shown already).
    bool SendGroupText(const std::string& address, const std::string& text,
                       bool showWhenHeard = true);
    // Hands a text to the conversations (textArrived).
    void ShowText(Contact& contact, const std::string& text, bool outgoing, const TextMark& mark) {
        emit textArrived(contact, text, outgoing, mark);
    }
    bool IsLocalAddress(std::string_view address);

    // The settings were changed and saved: what follows them looks again.
    void SettingsChanged() { emit settingsChanged(); }

    // Connection control.
    void SetConnected(bool on);
    void OnConnect();

    // Presence: every observed input calls OnUserActivity; a one-second timer calls
    // CheckIdle. GoAway switches to away at once (the terminal peer's `away`).
    void OnUserActivity();
    void CheckIdle();
    void GoAway();
    std::int64_t LastActivityTime() const { return lastActivityTime_; }

    // "Up-time: ...", the counters, the contact and tunnel counts, one line each.
    std::string BuildStatisticsText(bool lineBreak) const;

    // ChannelEvents: failures reported by the channels.
    void ReportSystemError(const std::string& text) override;
    void ReportWarning(const std::string& text) override;
    void ReportTunnelSendFailed() override;
    void OnTunnelSendsGone() override { emit tunnelSendsGone(); }
    // Announces this copy on an interface that was joined while connected.
    void OnInterfaceJoined() override;

signals:
    // Connected or presence changed: the connection indicator must be refreshed.
    void connectionChanged();
    // A text that concerns this copy, for the conversation with `contact`, and how it
    // travelled. A text received over a private session is acknowledged once it has been
    // stored and shown: the receiver calls Private().Shown with its mark's ID.
    void textArrived(tollix::Contact& contact, const std::string& text, bool outgoing,
                     const tollix::TextMark& mark);
    // A new message heard on multicast, after it was forwarded and applied.
    void messageRouted(const tollix::NetMessage& message);
    // Nothing waits for a tunnel host's name any more (see TunnelSendsPending).
    void tunnelSendsGone();
    // The user changed the settings (SettingsChanged says so).
    void settingsChanged();

private:
    void Initialise();
    bool BuildAndSend(int type, bool viaMulticast = true);
    bool SendThroughTunnels(NetMessage& message);
    void RouteNewMessage(NetMessage& message, int length);
    // `outgoing`: the text is this copy's own, heard back from the group.
    void OnIncomingText(const NetMessage& message, bool outgoing);
    void SetPresence(PresenceState presence, int announcement);

    const Clock& clock_;
    AppSettings settings_;
    TrafficStats stats_;
    MessageCodec codec_;
    std::unique_ptr<MulticastChannel> ownedMulticast_;
    std::unique_ptr<TunnelChannel> ownedTunnel_;
    MulticastChannel* multicast_ = nullptr;
    TunnelChannel* tunnel_ = nullptr;
    bool connected_ = false;
    PresenceState presence_ = PresenceState::Offline;
    std::int64_t lastActivityTime_ = 0;
    RecentIdWindow recentIds_;
    SentTextIds sentTextIds_;  // tells this copy's own texts, heard back, from forgeries
    AlertService alerts_;
    ContactList contacts_;
    std::unique_ptr<PrivateConversations> private_;
};

}  // namespace tollix
