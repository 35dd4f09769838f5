#pragma once

#include <array>

#include "ui/common/dialog_units.h"

namespace tollix::file_transfer_table {

using namespace dialog;

// The file transfer dialog, in dialog units of the 8-point dialog font. Labels 1030 and
// 1031 and the OK button get their texts when the dialog is bound to a contact.
inline constexpr std::array kControls{
    ControlRow{1030, Kind::Label, "From:", 3, 4, 20, 8},
    ControlRow{1021, Kind::Edit, "", 37, 3, 147, 12, kReadOnly},
    ControlRow{kNoId, Kind::Label, "File name:", 3, 17, 34, 8},
    ControlRow{1022, Kind::Edit, "", 37, 16, 147, 12, kReadOnly},
    ControlRow{kNoId, Kind::Label, "File size:", 3, 30, 28, 8},
    ControlRow{1023, Kind::Edit, "", 37, 29, 147, 12, kReadOnly},
    ControlRow{1026, Kind::ProgressBar, "", 3, 44, 181, 6},
    ControlRow{1031, Kind::Label, "File path:", 3, 55, 31, 8},
    ControlRow{1024, Kind::Edit, "", 37, 54, 134, 12, kReadOnly},
    ControlRow{1025, Kind::PushButton, "...", 171, 54, 13, 12},
    ControlRow{1, Kind::PushButton, "OK", 35, 71, 50, 14, kDefault},
    ControlRow{2, Kind::PushButton, "Cancel", 101, 71, 50, 14},
    // Added below the original rows: how a transfer goes.
    ControlRow{1027, Kind::Label, "", 3, 89, 181, 8},
};

inline constexpr DialogTemplate kDialog{"File transfer", 187, 100, kControls};

inline constexpr int kPeerLabel = 1030;
inline constexpr int kPeerName = 1021;
inline constexpr int kFileName = 1022;
inline constexpr int kFileSize = 1023;
inline constexpr int kFolder = 1024;
inline constexpr int kBrowse = 1025;
inline constexpr int kProgress = 1026;
inline constexpr int kPathLabel = 1031;
inline constexpr int kStatus = 1027;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

}  // namespace tollix::file_transfer_table
