#pragma once

#include <array>

#include "ui/common/dialog_units.h"

namespace tollix::about_table {

using namespace dialog;

// The about box, in dialog units of the 8-point dialog font. The version line is filled
// in at start; the two static lines are ours.
inline constexpr std::array kControls{
    ControlRow{kNoId, Kind::Icon, "", 3, 3, 20, 20},
    ControlRow{1027, Kind::Label, "Tollix Version", 29, 3, 101, 8, kCentred},
    ControlRow{1028, Kind::Label, "Serverless LAN messenger", 29, 14, 101, 8},
    ControlRow{1, Kind::PushButton, "OK", 138, 3, 21, 19, kDefault | kFlat},
    ControlRow{1029, Kind::Label, "No server, no accounts, only peers.", 3, 25, 156, 8},
    ControlRow{1033, Kind::MultiLineEdit, "", 3, 39, 156, 54, kReadOnly},
};

inline constexpr DialogTemplate kDialog{nullptr, 162, 96, kControls};

inline constexpr std::size_t kIconRow = 0;  // the picture has no id of its own
inline constexpr int kVersion = 1027;
inline constexpr int kOk = 1;
inline constexpr int kStatistics = 1033;

}  // namespace tollix::about_table
