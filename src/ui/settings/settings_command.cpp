#include "ui/settings/settings_command.h"

#include <QMutexLocker>
#include <algorithm>
#include <limits>

#include "core/download_folder.h"
#include "core/tollix_app.h"
#include "ui/settings/property_general.h"
#include "ui/settings/property_history.h"
#include "ui/settings/property_networking.h"

namespace tollix {

namespace {

void CopyIn(const AppSettings& settings, GeneralPage& general) {
    general.firstName = settings.userFirstName;
    general.lastName = settings.userLastName;
    general.groupName = settings.userGroupName;
    general.stickSide = settings.guiStickMode;
    general.startMinimized = settings.startMinimized;
    general.startWithWindows = settings.startWithWindows;
    general.sendKey = settings.msgSendKey;
    general.trayIconAlwaysVisible = settings.trayIconAlwaysVisible;
}

void CopyIn(const AppSettings& settings, NetworkingPage& networking) {
    networking.connectOnStartup = settings.connectOnStartup;
    networking.ignoreLocalInterfaces = settings.ignoreLocalInterfaces;
    networking.sendAway = settings.trackSystemIdleTime;
    networking.awayMinutes = std::max(1, settings.awayNotificationTimeout / 60);
    QMutexLocker lock(&settings.tunnelsLock);
    networking.workingTunnels = settings.tunnels;  // the same entries, shared
}

void CopyIn(const AppSettings& settings, HistoryPage& history) {
    history.keepHistory = settings.keepHistory;
    history.days = settings.historyDays;
    history.showNotifications = settings.showNotifications;
    history.privateConversations = settings.privateConversations;
    history.downloadFolder = settings.downloadFolder;
}

void CopyOut(const GeneralPage& general, AppSettings& settings) {
    settings.userFirstName = general.firstName;
    settings.userLastName = general.lastName;
    settings.userGroupName = general.groupName;
    settings.guiStickMode = general.stickSide;
    settings.startMinimized = general.startMinimized;
    settings.startWithWindows = general.startWithWindows;
    settings.msgSendKey = general.sendKey;
    settings.trayIconAlwaysVisible = general.trayIconAlwaysVisible;
}

void CopyOut(const NetworkingPage& networking, AppSettings& settings) {
    settings.connectOnStartup = networking.connectOnStartup;
    settings.ignoreLocalInterfaces = networking.ignoreLocalInterfaces;
    settings.trackSystemIdleTime = networking.sendAway;
    if (settings.trackSystemIdleTime) {
        // Any integer may be typed; keep the product within range.
        const long long seconds = static_cast<long long>(networking.awayMinutes) * 60;
        settings.awayNotificationTimeout = static_cast<int>(std::clamp<long long>(
            seconds, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    // Entries that were removed on the page go now; learned ones added meanwhile as well.
    QMutexLocker lock(&settings.tunnelsLock);
    settings.tunnels = networking.workingTunnels;
}

void CopyOut(const HistoryPage& history, AppSettings& settings) {
    settings.keepHistory = history.keepHistory;
    settings.historyDays = history.days;
    settings.showNotifications = history.showNotifications;
    settings.privateConversations = history.privateConversations;
    settings.downloadFolder = history.downloadFolder;
}

}  // namespace

bool OnSettings(CTollixApp& app, const SettingsStore& store,
                const std::function<void(bool)>& setAutostart, QWidget* owner,
                QPointer<CSettingsSheet>& openSettingsSheet,
                const std::function<void()>& clearHistory) {
    AppSettings& settings = app.Settings();

    // On the heap: if the owner goes away while the sheet runs, it takes the sheet along.
    QPointer<CSettingsSheet> sheet = new CSettingsSheet(owner);
    auto* general = new CPropertyGeneral;
    CopyIn(settings, general->Values());
    sheet->AddPage(general);
    auto* networking = new CPropertyNetworking(app);
    CopyIn(settings, networking->Values());
    sheet->AddPage(networking);
    auto* history = new CPropertyHistory(clearHistory);
    CopyIn(settings, history->Values());
    history->SetDefaultFolder(DefaultDownloadFolder());
    sheet->AddPage(history);

    openSettingsSheet = sheet;
    sheet->setWindowModality(Qt::WindowModal);  // the conversations stay usable
    const int result = sheet->exec();
    openSettingsSheet = nullptr;
    if (!sheet) {
        return false;  // destroyed with its owner: as good as cancelled
    }
    const bool accepted = result == QDialog::Accepted;
    if (accepted) {
        CopyOut(general->Values(), settings);
        CopyOut(networking->Values(), settings);
        CopyOut(history->Values(), settings);
        if (setAutostart) {
            setAutostart(settings.startWithWindows != 0);
        }
        settings.SaveSettings(store);
        app.SettingsChanged();
    }
    delete sheet.data();
    return accepted;
}

}  // namespace tollix
