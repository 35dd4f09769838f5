#include "ui/mainframe/desktop_app.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "core/signal_watcher.h"
#include "platform/activity_source.h"
#include "platform/sleep_guard.h"
#include "ui/common/alert_boxes.h"
#include "ui/mainframe/history_keeper.h"
#include "ui/mainframe/main_frame.h"
#include "ui/mainframe/placement.h"

namespace tollix {

DesktopApp::DesktopApp(CTollixApp& app, const SettingsStore& store, const Autostart& autostart,
                       SingleInstance& instance, HistoryStore& history,
                       DesktopNotifications& notifications, QObject* parent)
    : QObject(parent),
      app_(app),
      store_(store),
      autostart_(autostart),
      instance_(instance),
      history_(history),
      notifications_(notifications) {}

DesktopApp::~DesktopApp() {
    if (mainFrame_) {
        mainFrame_->Shutdown();
    }
}

bool DesktopApp::InitInstance() {
    if (!instance_.Claim()) {
        instance_.AskRunningCopyToRaise();
        QMessageBox box(QMessageBox::Information, "Tollix",
                        "Another instance of the Tollix is already running", QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return false;
    }
    alertBoxes_ = std::make_unique<AlertBoxes>(app_.Alerts());
    app_.Settings().LoadSettings(store_);

    keeper_ = std::make_unique<HistoryKeeper>(history_, app_);
    mainFrame_ = std::make_unique<CMainFrame>(app_, store_, autostart_, *keeper_, notifications_);
    alertBoxes_->SetOwner(mainFrame_.get());
    keeper_->Apply();
    connect(&instance_, &SingleInstance::raiseRequested, mainFrame_.get(),
            &CMainFrame::BringForward);
    // Terminating signals and the end of the session take the same road as "E&xit".
    signals_ = std::make_unique<SignalWatcher>();
    connect(signals_.get(), &SignalWatcher::terminationRequested, mainFrame_.get(),
            &CMainFrame::Exit);
    // Asked to save before a logout, which the user may still cancel: the program ends
    // only when the session really does (aboutToQuit).
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this] { app_.Settings().SaveSettings(store_); });
    connect(qGuiApp, &QGuiApplication::aboutToQuit, mainFrame_.get(), &CMainFrame::Shutdown);
    sleepGuard_ = std::make_unique<SleepGuard>(app_);

    PlaceMainWindow(*mainFrame_, app_.Settings().guiStickMode);
    mainFrame_->ShowOrHide(app_.Settings().startMinimized != 0);
    if (app_.Settings().connectOnStartup != 0) {
        // Posted, so that the connect runs once the window is up and the loop is running.
        QMetaObject::invokeMethod(mainFrame_.get(), &CMainFrame::OnConnect, Qt::QueuedConnection);
    }
    if (app_.Settings().trackSystemIdleTime != 0) {
        InstallActivityHooks();
    }
    return true;
}

void DesktopApp::InstallActivityHooks() {
    if (!activity_) {
        activity_ = ActivitySource::Create();
        connect(activity_.get(), &ActivitySource::activity, &app_, &CTollixApp::OnUserActivity);
        mainFrame_->SetActivitySource(activity_.get());
    }
    activity_->Install();
}

}  // namespace tollix
