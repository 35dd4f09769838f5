#pragma once

#include <string>

#include "core/app_settings.h"
#include "core/contact.h"

namespace tollix {

// What the main window shows that is not drawing, decided here so it is tested headless.

// The tray icon's tip: offline, online without contacts, or online with the number of
// items in the contact tree (group items included); below it the user's own presence and
// name (`own`, when given), then "N unread" while texts wait unread.
std::string TrayTipText(bool connected, int contactCount, int unread = 0,
                        const std::string& own = {});

// The user as the others see them: "Online as Ann Lee (Sales)", "Away as ...", or
// "Offline as ..." while not connected; without the brackets for an empty group.
std::string OwnPresenceText(bool connected, PresenceState presence, const AppSettings& settings);

// What the contact tree shows for a group whose name is empty.
inline constexpr const char* kNoGroupText = "(no group)";

// The tooltip of a contact's row, one line each: its whole name, group, address, presence
// and client; then, when private conversations are on, how a conversation with it goes
// ("private, verified", "private", "open", ...).
std::string ContactTooltipText(const Contact& contact, const std::string& conversation = {});
// The tooltip of a group's row: its whole name and how many of its contacts are online.
std::string GroupTooltipText(const std::string& name, int online, int total);

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
