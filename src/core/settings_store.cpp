#include "core/settings_store.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace tollix {

namespace {

const QString kFileName = QStringLiteral("/Quardell/Tollix.conf");

}  // namespace

SettingsStore::SettingsStore(const QString& configDir) : filePath_(configDir + kFileName) {}

QString SettingsStore::DefaultConfigDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QStringList SettingsStore::SystemConfigDirs() {
    QStringList dirs;
    const QStringList named =
        qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts);
    for (const QString& dir : named) {
        if (QFileInfo(dir).isAbsolute()) {  // relative entries are invalid and ignored
            dirs << dir;
        }
    }
    return dirs.isEmpty() ? QStringList{QStringLiteral("/etc/xdg")} : dirs;
}

QString SettingsStore::SystemFilePath() const {
    for (const QString& dir : SystemConfigDirs()) {
        const QString path = dir + kFileName;
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

std::unique_ptr<QSettings> SettingsStore::Open() const {
    return std::make_unique<QSettings>(filePath_, QSettings::IniFormat);
}

std::unique_ptr<QSettings> SettingsStore::OpenSystem() const {
    const QString path = SystemFilePath();
    if (path.isEmpty()) {
        return nullptr;
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

}  // namespace tollix
