// tollix: the desktop program.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "core/settings_store.h"
#include "core/tollix_app.h"
#include "history/history_store.h"
#include "platform/autostart.h"
#include "platform/desktop_notifications.h"
#include "platform/single_instance.h"
#include "private_host.h"
#include "protocol/version.h"
#include "ui/mainframe/desktop_app.h"
#include "ui/mainframe/main_frame.h"

using namespace tollix;

namespace {

constexpr const char* kUsage =
    "Usage: tollix [--config DIR]\n"
    "\n"
    "Tollix, the serverless messenger for the local network. It shows a narrow window at\n"
    "the screen edge with the people on the network, and an icon in the tray.\n"
    "\n"
    "  --config DIR   settings in DIR/Quardell/Tollix.conf, the autostart entry in\n"
    "                 DIR/autostart, the history and the identity of private\n"
    "                 conversations in DIR/Quardell/Tollix/ instead of the user's\n"
    "                 configuration and data folders\n"
    "  --help, --version\n"
    "\n"
    "Qt's own options (such as -platform) are accepted too.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before the display is opened, so that they work anywhere.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tollix %s\n", ClientName().c_str());
            return 0;
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName("Tollix");
    QApplication::setOrganizationName("Quardell");
    QApplication::setQuitOnLastWindowClosed(false);  // hidden in the tray is still running

    QString configDir = SettingsStore::DefaultConfigDir();
    QString dataDir = HistoryStore::DefaultDataDir();
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--config" && i + 1 < arguments.size()) {
            configDir = arguments[++i];
            dataDir = configDir;
        } else {
            std::fprintf(stderr, "tollix: unknown argument %s\n\n%s", qPrintable(arguments[i]),
                         kUsage);
            return 2;
        }
    }

    CTollixApp app;
    const SettingsStore store(configDir);
    const Autostart autostart(configDir);
    SingleInstance instance;
    HistoryStore history(dataDir);
    DesktopNotifications notifications;
    DesktopApp desktop(app, store, autostart, instance, history, notifications);
    if (!desktop.InitInstance()) {
        return 0;
    }
    // Its identity is loaded on a thread of its own: the window does not wait for it.
    PrivateHost privateConversations(app, dataDir, &history);
    desktop.MainFrame()->SetFileTransfers(privateConversations.Files());
    return QApplication::exec();
}
