#include "core/main_frame_rules.h"

#include "protocol/text.h"

namespace tollix {

namespace {

const char* PresenceName(PresenceState presence) {
    switch (presence) {
        case PresenceState::Online:
            return "online";
        case PresenceState::Away:
            return "away";
        default:
            return "offline";
    }
}

std::string GroupName(const std::string& name) {
    return name.empty() ? kNoGroupText : name;
}

}  // namespace

std::string TrayTipText(bool connected, int contactCount, int unread, const std::string& own) {
    std::string tip;
    if (!connected) {
        tip = "Tollix - offline";
    } else if (contactCount == 0) {
        tip = "Tollix - online (no contacts)";
    } else {
        tip = "Tollix - online (" + std::to_string(contactCount) + " contacts)";
    }
    if (!own.empty()) {
        tip += "\n" + own;
    }
    if (unread > 0) {
        tip += "\n" + std::to_string(unread) + " unread";
    }
    return tip;
}

std::string OwnPresenceText(bool connected, PresenceState presence, const AppSettings& settings) {
    std::string text = PresenceName(connected ? presence : PresenceState::Offline);
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    text += " as " + std::string(Trim(settings.userFirstName + " " + settings.userLastName));
    if (!settings.userGroupName.empty()) {
        text += " (" + settings.userGroupName + ")";
    }
    return text;
}

std::string ContactTooltipText(const Contact& contact, const std::string& conversation) {
    std::string text = contact.DisplayName() + "\nGroup: " + GroupName(contact.groupName) +
                       "\nAddress: " + contact.address +
                       "\nPresence: " + PresenceName(contact.presence) +
                       "\nClient: " + contact.client;
    if (!conversation.empty()) {
        text += "\nConversation: " + conversation;
    }
    return text;
}

std::string GroupTooltipText(const std::string& name, int online, int total) {
    return GroupName(name) + "\n" + std::to_string(online) + " of " + std::to_string(total) +
           " online";
}

bool IsRealNameSet(const AppSettings& settings) {
    return !settings.userFirstName.empty() && settings.userFirstName != "unknown" &&
           settings.userLastName != "user";
}

int ConnectPicture(bool connected, PresenceState presence) {
    if (!connected) {
        return 0;
    }
    return presence == PresenceState::Away ? 3 : 2;
}

}  // namespace tollix
