#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <string>

#include "core/settings_store.h"
#include "core/tollix_app.h"
#include "core/unread_contacts_model.h"
#include "platform/autostart.h"
#include "ui/mainframe/tollix_view.h"
#include "ui/mainframe/tray_icon.h"

class QAction;
class QLineEdit;
class QMenu;

namespace tollix {

class ActivitySource;
class ConversationTexts;
class CSettingsSheet;
class DesktopNotifications;
class DesktopFileTransfers;
class FileTransfers;
class HistoryKeeper;

// The main window: a narrow window with the Connect and Settings buttons, the contact tree
// with a field above it that narrows it, and a status bar, and the tray icon through which
// it is hidden, shown and left. The Connect button's tooltip and the tray's tip say how the
// others see the user. Conversation windows open beside it, one below the other. Closing
// or minimising it hides it to the tray; "E&xit" (or a request to terminate) ends the
// program in order: farewell, autostart entry, settings saved, contacts cleared, tray icon
// removed. The texts on their way into the conversations (stored, marked unread, notified)
// are ConversationTexts' business.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CTollixApp& app, const SettingsStore& store, const Autostart& autostart,
               HistoryKeeper& history, DesktopNotifications& notifications,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Shows the window, or hides it to the tray (minimises it where there is no tray).
    void ShowOrHide(bool hide);
    void UpdateTrayTip();
    void RefreshConnectButton();
    // A click on the tray icon.
    void OnTrayActivate();

    // A new window shows the contact's earlier texts (those stored before `openingTextId`
    // when a text opens it) above the texts to come.
    void OpenConversation(Contact* contact, bool inBackground, qint64 openingTextId = 0);
    // The contact's file transfer dialog; with `paths` (files dropped on its conversation)
    // they are chosen and sent at once.
    void OpenFileTransfer(Contact* contact, const QStringList& paths = {});
    // The transfers that carry files; without them "Send" says it is not implemented.
    void SetFileTransfers(FileTransfers& files);
    void OnIncomingText(Contact& contact, const std::string& text, bool outgoing,
                        const TextMark& mark);

    // The Connect, Settings and About commands.
    void OnConnect();
    void OnSettings();
    void OnAppAbout();

    // The activity source whose hooks shutdown removes; installed by start-up.
    void SetActivitySource(ActivitySource* source) { activity_ = source; }
    // Ends the program in order: the tray menu's "E&xit" and termination requests.
    void Exit();
    // The shutdown order; runs once. Exit ends in it, and so does the end of the session.
    void Shutdown();
    // Another copy was started: bring this one forward.
    void BringForward();

    TrayIcon& Tray() { return tray_; }
    UnreadContactsModel& Unread() { return unread_; }
    CTollixView& View() { return *view_; }
    // The field above the tree that narrows it (Ctrl+F).
    QLineEdit& FilterField() { return *filterField_; }
    QAction& ConnectAction() { return *connectAction_; }
    int ConnectPictureShown() const { return connectPicture_; }
    CSettingsSheet* OpenSettingsSheet() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The window's menu: restore, minimise, close, "About...", and "E&xit" without a tray.
    QMenu* createPopupMenu() override;

private:
    void CreateToolBar();
    void CreateStatusBar();
    void CreateContactPane();
    void OnTimer();
    void CloseContactWindows(Contact& contact);
    // A farewell through a tunnel whose host's name is still being looked up is given up
    // to 5 seconds, as the terminal peer gives it.
    void WaitForFarewell();
    bool TrayWanted(bool hide) const;

    CTollixApp& app_;
    const SettingsStore& store_;
    const Autostart& autostart_;
    HistoryKeeper& history_;
    ActivitySource* activity_ = nullptr;
    UnreadContactsModel unread_;
    TrayIcon tray_;
    CTollixView* view_;
    QLineEdit* filterField_ = nullptr;
    QAction* connectAction_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QMenu* trayMenu_;
    ConversationTexts* texts_;
    DesktopFileTransfers* files_ = nullptr;
    QTimer timer_;
    int connectPicture_ = 0;
    int conversationsOpened_ = 0;  // places the next conversation window in the cascade
    QPointer<CSettingsSheet> openSettingsSheet_;
    bool exiting_ = false;
    bool shutDown_ = false;
};

}  // namespace tollix
