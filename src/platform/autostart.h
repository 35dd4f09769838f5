#pragma once

#include <QString>

namespace tollix {

// Starting with the desktop session: the XDG autostart entry
// CONFIG/autostart/tollix.desktop, whose Exec is the running program.
class Autostart {
public:
    // CONFIG is the user's configuration folder unless another one is given (tests).
    explicit Autostart(const QString& configDir = {});

    // Writes the entry when `on`, removes it otherwise; true when the entry is as wanted
    // (a missing entry that was to be removed counts as success).
    bool SetAutostart(bool on) const;
    bool IsEnabled() const;
    QString EntryPath() const { return entryPath_; }

private:
    QString entryPath_;
};

}  // namespace tollix
