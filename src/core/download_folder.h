#pragma once

#include <QString>

#include "core/app_settings.h"

namespace tollix {

// Where accepted files go: the folder the user set, else the desktop's download folder
// (XDG_DOWNLOAD_DIR, from the environment or the user's folder names), else ~/Downloads.
QString DownloadFolder(const AppSettings& settings);
// Where they go while the user has set no folder.
QString DefaultDownloadFolder();

}  // namespace tollix
