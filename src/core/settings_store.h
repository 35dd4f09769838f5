#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace tollix {

// Where the settings live: CONFIG/Quardell/Tollix.conf, sections "settings" and
// "tunnels". CONFIG is the user's configuration folder ($XDG_CONFIG_HOME or ~/.config),
// shared by the desktop program and the terminal peer, or a folder given instead (tests,
// tollix-cli --config). QSettings writes the file atomically.
//
// The administrator's file of the same name in the system configuration folders
// ($XDG_CONFIG_DIRS, or /etc/xdg) holds the defaults for values the user's file does not
// set. A folder given instead of CONFIG replaces only the user's file, never this one.
class SettingsStore {
public:
    explicit SettingsStore(const QString& configDir = DefaultConfigDir());

    static QString DefaultConfigDir();
    // $XDG_CONFIG_DIRS in its order, or /etc/xdg when it names no absolute folder.
    static QStringList SystemConfigDirs();

    QString FilePath() const { return filePath_; }
    // The administrator's file: the one in the first system folder that holds one, or empty.
    QString SystemFilePath() const;

    std::unique_ptr<QSettings> Open() const;
    // Read-only use; null when there is no administrator's file.
    std::unique_ptr<QSettings> OpenSystem() const;

private:
    QString filePath_;
};

}  // namespace tollix
