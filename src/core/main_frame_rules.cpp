#include "core/main_frame_rules.h"

namespace tollix {

std::string TrayTipText(bool connected, int contactCount) {
    if (!connected) {
        return "Tollix - offline";
    }
    if (contactCount == 0) {
        return "Tollix - online (no contacts)";
    }
    return "Tollix - online (" + std::to_string(contactCount) + " contacts)";
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
