#pragma once

#include <array>

#include "ui/common/dialog_units.h"

namespace tollix::general_table {

using namespace dialog;

// The General page, in dialog units of the 8-point dialog font.
inline constexpr std::array kControls{
    ControlRow{1001, Kind::GroupBox, "User", 3, 3, 208, 51},
    ControlRow{1003, Kind::Label, "First Name:", 9, 13, 38, 8},
    ControlRow{1002, Kind::Edit, "", 65, 11, 75, 12},
    ControlRow{1005, Kind::Label, "Last Name:", 9, 26, 37, 8},
    ControlRow{1004, Kind::Edit, "", 65, 24, 75, 12},
    ControlRow{1007, Kind::Label, "Group Name:", 9, 39, 43, 8},
    ControlRow{1006, Kind::Edit, "", 65, 37, 75, 12},
    ControlRow{1000, Kind::GroupBox, "GUI", 3, 55, 208, 100},
    ControlRow{1010, Kind::Label, "Stick Window to:", 9, 65, 54, 8},
    ControlRow{1008, Kind::RadioButton, "Left", 66, 66, 29, 8, kGroupStart},
    ControlRow{1009, Kind::RadioButton, "Right", 103, 66, 29, 8},
    ControlRow{1011, Kind::CheckBox, "Start minimized:", 9, 78, 90, 10, kLeftText},
    ControlRow{1021, Kind::CheckBox, "Start with Windows:", 120, 78, 81, 10, kLeftText},
    ControlRow{1022, Kind::CheckBox, "Always show tray icon:", 9, 92, 90, 10, kLeftText},
    ControlRow{1014, Kind::Label, "Send mesage by pressing:", 9, 107, 85, 8},
    ControlRow{1012, Kind::RadioButton, "Enter", 101, 108, 33, 8, kGroupStart},
    ControlRow{1013, Kind::RadioButton, "Ctrl+Enter", 138, 108, 52, 8},
};

inline constexpr DialogTemplate kDialog{"General", 214, 158, kControls};

inline constexpr int kFirstName = 1002;
inline constexpr int kLastName = 1004;
inline constexpr int kGroupName = 1006;
inline constexpr int kStickLeft = 1008;
inline constexpr int kStartMinimized = 1011;
inline constexpr int kStartWithSession = 1021;
inline constexpr int kTrayIconAlwaysVisible = 1022;
inline constexpr int kSendByEnter = 1012;

}  // namespace tollix::general_table
