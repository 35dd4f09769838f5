#pragma once

#include <QRecursiveMutex>
#include <QVariantMap>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/message_codec.h"

namespace tollix {

class SettingsStore;

// One tunnel: the copy at `tunHost` exchanges everything it hears with this one.
struct TunnelEntry {
    std::string tunHost;     // host name or dotted address; an empty host is ignored everywhere
    std::string tunSubnet;   // stored and compared, never set by the program
    std::int32_t tunId = 0;  // stamped into forwarded messages; 0 is invalid

    bool operator==(const TunnelEntry&) const = default;
};

// Entries are shared so that a walk that is interrupted by a nested event loop (a modal
// box) keeps its entry alive even if the settings dialog replaces the list meanwhile.
using TunnelList = std::vector<std::shared_ptr<TunnelEntry>>;

// The persisted user settings, the fixed network constants and the tunnel list.
struct AppSettings {
    // The tunnel list holds at most this many entries. Without a bound, datagrams with forged
    // senders would grow it, and the settings file, without limit, and every learned entry
    // would then receive a copy of every message.
    static constexpr std::size_t kMaxTunnels = 256;

    static constexpr std::string_view multicastGroup = "234.5.6.7";
    static constexpr std::uint16_t multicastPort = 2030;
    static constexpr std::uint16_t tunnelPort = 2035;
    static constexpr int multicastTtl = 1;
    static constexpr int multicastLoopback = 0;

    // Guards `tunnels`; re-entrant because routing can run inside a nested event loop while
    // a walk of the list holds it.
    mutable QRecursiveMutex tunnelsLock;

    std::string userFirstName = "unknown";
    std::string userLastName = "user";
    std::string userGroupName = "Other Contacts";
    // Where accepted files go; empty: the user's download folder (DownloadFolder).
    std::string downloadFolder;
    int guiStickMode = 1;  // 0 left, 1 right
    int startMinimized = 0;
    int startWithWindows = 1;
    int connectOnStartup = 1;
    int msgSendKey = 1;  // 0 Enter, 1 Ctrl+Enter
    TunnelList tunnels;
    int ignoreLocalInterfaces = 0;
    int trackSystemIdleTime = 1;
    int awayNotificationTimeout = 300;  // seconds
    int trayIconAlwaysVisible = 1;
    // The conversation history: whether texts are stored, after how many days stored texts
    // are deleted (0: never), and whether incoming texts raise desktop notifications.
    int keepHistory = 1;
    int historyDays = 0;
    int showNotifications = 1;
    // Whether a datagram from a tunnel sender that no entry names adds an entry for it.
    // Off for a relay: anyone who can reach its tunnel port would otherwise receive a copy
    // of everything said on its subnet. It then forwards only through the tunnels given.
    int learnTunnels = 1;
    // The outer size of new conversation windows, in pixels: the size the user last gave
    // one.
    int conversationWidth = 350;
    int conversationHeight = 250;
    // Private conversations: sessions with other copies, pinned codes, waiting texts. Off:
    // no listener and no sessions, every text goes to the open group.
    int privateConversations = 1;

    // What the administrator's file set when the settings were loaded: saving leaves a
    // value out of the user's file while it still equals what was inherited, so that the
    // administrator's changes made while the program runs reach this user at the next
    // start instead of being frozen into the user's file.
    struct Inherited {
        QVariantMap values;  // by value name, as read
        std::vector<TunnelEntry> tunnels;
    } inherited;

    // True when `host` and `id` are valid and no entry has the same host (ignoring case),
    // the same non-zero id or the same non-empty subnet (ignoring case).
    bool IsNewTunnel(const std::string& host, std::int32_t id, const std::string& subnet) const;

    // A new entry for `host` with an empty subnet and a random id.
    static std::shared_ptr<TunnelEntry> MakeTunnelEntry(const std::string& host);

    // Replaces the defaults with the stored values, the user's over the administrator's, and
    // appends the stored tunnels (the administrator's while the user's file has none),
    // stopping at the first entry that is missing, invalid or repeats an earlier one.
    bool LoadSettings(const SettingsStore& store);
    // Writes every stored value and rewrites the tunnel section, leaving out what was
    // inherited from the administrator's file and the user has left as it is.
    bool SaveSettings(const SettingsStore& store) const;

    UserIdentity Identity() const { return {userFirstName, userLastName, userGroupName}; }
    std::size_t TunnelCount() const;
};

}  // namespace tollix
