#include "core/settings_store.h"

#include <QStandardPaths>

namespace tollix {

SettingsStore::SettingsStore(const QString& configDir)
    : filePath_(configDir + "/Quardell/Tollix.conf") {}

QString SettingsStore::DefaultConfigDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

std::unique_ptr<QSettings> SettingsStore::Open() const {
    return std::make_unique<QSettings>(filePath_, QSettings::IniFormat);
}

}  // namespace tollix
