#include "core/main_frame_rules.h"

namespace tollix {

std::string TrayTipText(bool connected, int contactCount, int unread) {
    std::string tip;
    if (!connected) {
        tip = "Tollix - offline";
    } else if (contactCount == 0) {
        tip = "Tollix - online (no contacts)";
    } else {
        tip = "Tollix - online (" + std::to_string(contactCount) + " contacts)";
    }
    if (unread > 0) {
        tip += "\n" + std::to_string(unread) + " unread";
    }
    return tip;
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
