#pragma once

#include <QObject>
#include <memory>

#include "core/settings_store.h"
#include "core/tollix_app.h"
#include "platform/autostart.h"
#include "platform/single_instance.h"

namespace tollix {

class ActivitySource;
class AlertBoxes;
class CMainFrame;
class DesktopNotifications;
class HistoryKeeper;
class HistoryStore;
class SignalWatcher;
class SleepGuard;

// Start-up and shutdown of the desktop program around the core: one copy per user and
// display, settings loaded, the history store opened as they say, the main window docked
// and shown (or left in the tray), the connect posted to run once the event loop has
// started, the activity hooks installed, and the farewell before the computer sleeps.
class DesktopApp : public QObject {
    Q_OBJECT

public:
    DesktopApp(CTollixApp& app, const SettingsStore& store, const Autostart& autostart,
               SingleInstance& instance, HistoryStore& history, DesktopNotifications& notifications,
               QObject* parent = nullptr);
    ~DesktopApp() override;

    // True when the program is to run; false when another copy runs (it has been asked to
    // come forward) and this one is to exit without touching settings or network.
    bool InitInstance();
    // Starts the activity hooks: every observed input is user activity.
    void InstallActivityHooks();

    CMainFrame* MainFrame() const { return mainFrame_.get(); }

private:
    CTollixApp& app_;
    const SettingsStore& store_;
    const Autostart& autostart_;
    SingleInstance& instance_;
    HistoryStore& history_;
    DesktopNotifications& notifications_;
    std::unique_ptr<AlertBoxes> alertBoxes_;
    std::unique_ptr<HistoryKeeper> keeper_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::unique_ptr<ActivitySource> activity_;
    std::unique_ptr<SignalWatcher> signals_;
    std::unique_ptr<SleepGuard> sleepGuard_;
};

}  // namespace tollix
