#include "platform/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tollix {

namespace {

// Exec values quote arguments that hold blanks or special characters.
QString QuotedExec(const QString& path) {
    QString quoted = path;
    quoted.replace('\\', "\\\\").replace('"', "\\\"").replace('`', "\\`").replace('$', "\\$");
    return '"' + quoted + '"';
}

}  // namespace

Autostart::Autostart(const QString& configDir) {
    const QString config =
        configDir.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            : configDir;
    entryPath_ = config + "/autostart/tollix.desktop";
}

bool Autostart::SetAutostart(bool on) const {
    if (!on) {
        return !QFile::exists(entryPath_) || QFile::remove(entryPath_);
    }
    if (!QDir().mkpath(QFileInfo(entryPath_).path())) {
        return false;
    }
    QSaveFile entry(entryPath_);
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    const QString program = QCoreApplication::applicationFilePath();
    const QString text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Tollix\n"
        "Comment=Serverless instant messenger for the local network\n"
        "Exec=" +
        QuotedExec(program) +
        "\n"
        "Icon=tollix\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    entry.write(text.toUtf8());
    return entry.commit();
}

bool Autostart::IsEnabled() const {
    return QFile::exists(entryPath_);
}

}  // namespace tollix
