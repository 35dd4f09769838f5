#pragma once

#include <array>

#include "ui/common/dialog_units.h"

namespace tollix::history_table {

using namespace dialog;

// The History page, in dialog units of the 8-point dialog font, in the manner of the other
// two pages.
inline constexpr std::array kControls{
    ControlRow{1040, Kind::GroupBox, "History", 3, 3, 208, 82},
    ControlRow{1041, Kind::CheckBox, "Keep history", 9, 14, 110, 10, kLeftText},
    ControlRow{kNoId, Kind::Label, "Delete entries older than", 9, 31, 84, 8},
    ControlRow{1042, Kind::Edit, "", 96, 29, 34, 14},
    ControlRow{1043, Kind::UpDown, "", 120, 29, 11, 14},
    ControlRow{kNoId, Kind::Label, "days", 134, 31, 18, 8},
    ControlRow{kNoId, Kind::Label, "(0 = never)", 154, 31, 50, 8},
    ControlRow{1044, Kind::CheckBox, "Show desktop notifications", 9, 48, 110, 10, kLeftText},
    ControlRow{1045, Kind::PushButton, "Clear history...", 9, 65, 60, 14},
    ControlRow{1046, Kind::GroupBox, "Privacy", 3, 90, 208, 48},
    ControlRow{1047, Kind::CheckBox, "Private conversations", 9, 101, 110, 10, kLeftText},
    ControlRow{kNoId, Kind::Label, "Texts go only to their contact where its program can take", 9,
               115, 196, 8},
    ControlRow{kNoId, Kind::Label, "them (TCP port 2030); otherwise to the open group.", 9, 125,
               196, 8},
    ControlRow{1048, Kind::GroupBox, "Files", 3, 143, 208, 32},
    ControlRow{kNoId, Kind::Label, "Save received files in", 9, 157, 74, 8},
    ControlRow{1049, Kind::Edit, "", 84, 155, 108, 12},
    ControlRow{1050, Kind::PushButton, "...", 193, 155, 13, 12},
};

inline constexpr DialogTemplate kDialog{"History", 214, 178, kControls};

inline constexpr int kKeepHistory = 1041;
inline constexpr int kDays = 1042;
inline constexpr int kDaysSpin = 1043;
inline constexpr int kShowNotifications = 1044;
inline constexpr int kClearHistory = 1045;
inline constexpr int kPrivateConversations = 1047;
inline constexpr int kDownloadFolder = 1049;
inline constexpr int kBrowseFolder = 1050;

}  // namespace tollix::history_table
