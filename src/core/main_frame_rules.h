#pragma once

#include <string>

#include "core/app_settings.h"
#include "core/contact.h"

namespace tollix {

// What the main window shows that is not drawing, decided here so it is tested headless.

// The tray icon's tip: offline, online without contacts, or online with the number of
// items in the contact tree (group items included); below it "N unread" while texts wait
// unread.
std::string TrayTipText(bool connected, int contactCount, int unread = 0);

// The user has entered a real name: a first name that is not empty and not "unknown", and
// a last name that is not "user" (both compared exactly).
bool IsRealNameSet(const AppSettings& settings);

// The reminder shown in the tray balloon while the name is not set.
inline constexpr const char* kReminderTitle = "Note!";
inline constexpr const char* kReminderText =
    "Please specify you REAL name\nin program settings dialog,\nand re-connect.";

// The Connect button's picture in the toolbar strip: 0 offline, 2 online, 3 away.
int ConnectPicture(bool connected, PresenceState presence);

}  // namespace tollix
