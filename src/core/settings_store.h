#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace tollix {

// Where the settings live: CONFIG/Quardell/Tollix.conf, sections "settings" and
// "tunnels". CONFIG is the user's configuration folder ($XDG_CONFIG_HOME or ~/.config),
// shared by the desktop program and the terminal peer, or a folder given instead (tests,
// tollix-cli --config). QSettings writes the file atomically.
class SettingsStore {
public:
    explicit SettingsStore(const QString& configDir = DefaultConfigDir());

    static QString DefaultConfigDir();
    QString FilePath() const { return filePath_; }
    std::unique_ptr<QSettings> Open() const;

private:
    QString filePath_;
};

}  // namespace tollix
