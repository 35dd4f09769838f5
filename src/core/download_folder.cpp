#include "core/download_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace tollix {

QString DownloadFolder(const AppSettings& settings) {
    return settings.downloadFolder.empty() ? DefaultDownloadFolder()
                                           : QString::fromStdString(settings.downloadFolder);
}

QString DefaultDownloadFolder() {
    // The environment first: a session may set it without a user-dirs.dirs file.
    const QString fromEnvironment = qEnvironmentVariable("XDG_DOWNLOAD_DIR");
    if (QDir::isAbsolutePath(fromEnvironment)) {
        return fromEnvironment;
    }
    // Qt reads user-dirs.dirs, and gives ~/Downloads without one.
    const QString location = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return location.isEmpty() ? QDir::home().filePath(QStringLiteral("Downloads")) : location;
}

}  // namespace tollix
