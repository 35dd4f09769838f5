#pragma once

#include <array>

#include "ui/common/dialog_units.h"

namespace tollix::networking_table {

using namespace dialog;

// The Networking page, in dialog units of the 8-point dialog font.
inline constexpr std::array kControls{
    ControlRow{1015, Kind::GroupBox, "Networking", 3, 3, 208, 117},
    ControlRow{1022, Kind::CheckBox, "Connect on startup:", 6, 14, 80, 10, kLeftText},
    ControlRow{1020, Kind::CheckBox, "No 192.168.x.x IPs:", 124, 14, 81, 10, kLeftText},
    ControlRow{kNoId, Kind::Label, "Tunnels:", 10, 27, 49, 8},
    ControlRow{1019, Kind::Edit, "", 10, 35, 78, 12},
    ControlRow{1017, Kind::ListBox, "", 10, 48, 111, 50},
    ControlRow{1016, Kind::PushButton, "Add", 14, 102, 35, 11},
    ControlRow{1018, Kind::PushButton, "Remove", 79, 102, 35, 11},
    ControlRow{kNoId, Kind::Label, "Local interfaces:", 128, 38, 54, 8},
    ControlRow{1032, Kind::ListBox, "", 128, 48, 76, 50},
    ControlRow{1021, Kind::GroupBox, "Protocol", 3, 121, 208, 34},
    ControlRow{1023, Kind::CheckBox, "Send AWAY message:", 9, 132, 81, 10, kLeftText},
    ControlRow{1035, Kind::Label, "AWAY timeout:", 106, 133, 49, 8},
    ControlRow{1033, Kind::Edit, "", 158, 131, 30, 14},
    ControlRow{1034, Kind::UpDown, "", 178, 131, 11, 14},
    ControlRow{kNoId, Kind::Label, "Min.", 192, 133, 14, 8},
};

inline constexpr DialogTemplate kDialog{"Networking", 214, 158, kControls};

inline constexpr int kAdd = 1016;
inline constexpr int kTunnelList = 1017;
inline constexpr int kRemove = 1018;
inline constexpr int kHost = 1019;
inline constexpr int kIgnore192168 = 1020;
inline constexpr int kConnectOnStartup = 1022;
inline constexpr int kSendAway = 1023;
inline constexpr int kInterfaceList = 1032;
inline constexpr int kAwayMinutes = 1033;
inline constexpr int kSpin = 1034;

}  // namespace tollix::networking_table
