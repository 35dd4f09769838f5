#pragma once

#include <QObject>
#include <QPointer>
#include <string>

#include "protocol/message_codec.h"

namespace tollix {

// The local user's presence, and each contact's.
enum class PresenceState : int { Offline = 0, Online = 1, Away = 2 };

// One known peer, keyed by its IPv4 address. The contact list owns it.
struct Contact {
    std::string firstName;
    std::string secondName;
    std::string groupName;
    std::string client;  // "unknown" until a message carries a CLIENT value
    PresenceState presence = PresenceState::Offline;
    std::string address;  // the FROM address of its messages
    // The contact's open conversation window and file transfer dialog. They point back at
    // the contact; the desktop program closes them when the contact leaves the list.
    QPointer<QObject> conversation;
    QPointer<QObject> fileTransfer;

    // First and last name joined by one blank, trimmed.
    std::string DisplayName() const;
    UserIdentity Identity() const { return {firstName, secondName, groupName}; }
};

}  // namespace tollix
