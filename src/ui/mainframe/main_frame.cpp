#include "ui/mainframe/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/main_frame_rules.h"
#include "core/private_conversations.h"
#include "platform/activity_source.h"
#include "platform/taskbar.h"
#include "ui/about/about_dlg.h"
#include "ui/common/lock_indicators.h"
#include "ui/common/pictures.h"
#include "ui/common/plain_text.h"
#include "ui/common/window_modal.h"
#include "ui/conversation/msg_frame.h"
#include "ui/filetransfer/file_transfer_dlg.h"
#include "ui/mainframe/conversation_texts.h"
#include "ui/mainframe/desktop_file_transfers.h"
#include "ui/mainframe/history_keeper.h"
#include "ui/mainframe/placement.h"
#include "ui/settings/settings_command.h"

namespace tollix {

namespace {

constexpr int kTimerMs = 1000;
// How long the exit waits for a farewell that waits for a tunnel host's name.
constexpr int kFarewellWaitMs = 5000;

// The filter field: Escape empties it and the Down key moves into the tree, which gets the
// keyboard focus back either way.
class FilterKeys : public QObject {
public:
    FilterKeys(QLineEdit& field, QWidget& tree) : QObject(&field), field_(field), tree_(tree) {
        field.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            field_.clear();
        } else if (key != Qt::Key_Down) {
            return false;
        }
        tree_.setFocus(Qt::ShortcutFocusReason);
        return true;
    }

private:
    QLineEdit& field_;
    QWidget& tree_;
};

}  // namespace

CMainFrame::CMainFrame(CTollixApp& app, const SettingsStore& store, const Autostart& autostart,
                       HistoryKeeper& history, DesktopNotifications& notifications, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      store_(store),
      autostart_(autostart),
      history_(history),
      unread_(app.Contacts()),
      view_(new CTollixView(unread_, this)),
      trayMenu_(new QMenu(this)),
      texts_(new ConversationTexts(
          app, history, unread_, notifications,
          [this](Contact& contact, qint64 openingTextId) {
              OpenConversation(&contact, true, openingTextId);
          },
          this)) {
    setWindowTitle("Tollix");
    setWindowIcon(pictures::Program());
    // A tool window has no task-bar button: it is reached through the tray icon. With the
    // icon only shown while hidden, or with no tray at all, it needs a button of its own.
    const bool reachedThroughTray =
        app_.Settings().trayIconAlwaysVisible != 0 && tray_.isAvailable();
    setWindowFlag(Qt::Tool, reachedThroughTray);
    CreateContactPane();
    view_->SetPrivate(&app_.Private());
    CreateToolBar();
    CreateStatusBar();

    trayMenu_->addAction("E&xit", this, &CMainFrame::Exit);
    // The entry becomes the bold default once the menu has been used.
    connect(trayMenu_, &QMenu::aboutToHide, this,
            [this] { trayMenu_->setDefaultAction(trayMenu_->actions().value(0)); });
    tray_.SetMenu(trayMenu_);
    connect(&tray_, &TrayIcon::activated, this, &CMainFrame::OnTrayActivate);
    UpdateTrayTip();

    connect(&app_, &CTollixApp::connectionChanged, this, [this] {
        RefreshConnectButton();
        UpdateTrayTip();
    });
    connect(&app_.Contacts(), &ContactList::listChanged, this, &CMainFrame::UpdateTrayTip);
    connect(&unread_, &UnreadContactsModel::unreadChanged, this, &CMainFrame::UpdateTrayTip);
    connect(&app_.Contacts(), &ContactList::contactUpdated, this, [this](Contact& contact) {
        if (contact.presence != PresenceState::Offline) {
            return;
        }
        if (app_.Contacts().FindContact(contact.address) != &contact) {
            CloseContactWindows(contact);
        } else if (auto* window = CMsgFrame::Of(contact)) {
            window->ShowDeparture();  // kept for the texts the user has not seen
        }
    });
    connect(&app_, &CTollixApp::textArrived, this, &CMainFrame::OnIncomingText);
    connect(view_, &CTollixView::openConversationRequested, this,
            [this](Contact* contact) { OpenConversation(contact, false); });
    connect(view_, &CTollixView::openFileTransferRequested, this,
            [this](Contact* contact) { OpenFileTransfer(contact); });
    connect(view_, &CTollixView::viewHistoryRequested, this, [this](Contact* contact) {
        OpenConversation(contact, false);
        if (auto* window = CMsgFrame::Of(*contact)) {
            window->ShowSearch();
        }
    });
    connect(texts_, &ConversationTexts::conversationRequested, this,
            [this](Contact* contact) { OpenConversation(contact, false); });

    connect(&timer_, &QTimer::timeout, this, &CMainFrame::OnTimer);
    timer_.start(kTimerMs);
    RefreshConnectButton();
}

CMainFrame::~CMainFrame() {
    Shutdown();
}

void CMainFrame::CreateContactPane() {
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    filterField_ = new QLineEdit(pane);
    filterField_->setPlaceholderText(QStringLiteral("Filter"));
    filterField_->setClearButtonEnabled(true);
    filterField_->setToolTip(
        QStringLiteral("Shows the contacts and groups whose names hold "
                       "what is typed here (Ctrl+F)"));
    new FilterKeys(*filterField_, *view_);
    connect(filterField_, &QLineEdit::textChanged, view_, &CTollixView::SetFilter);
    layout->addWidget(filterField_);
    layout->addWidget(view_);
    setCentralWidget(pane);
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        filterField_->setFocus(Qt::ShortcutFocusReason);
        filterField_->selectAll();
    });
}

void CMainFrame::CreateToolBar() {
    QToolBar* toolBar = addToolBar("Toolbar");
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(16, 15));
    connectAction_ = toolBar->addAction(pictures::ToolbarPicture(0), "Connect");
    connectAction_->setCheckable(true);
    connectAction_->setStatusTip("Toggle online/offline");
    connect(connectAction_, &QAction::triggered, this, &CMainFrame::OnConnect);
    settingsAction_ = toolBar->addAction(pictures::ToolbarPicture(1), "Settings");
    settingsAction_->setStatusTip("Programm settings");
    connect(settingsAction_, &QAction::triggered, this, &CMainFrame::OnSettings);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // The message pane reads "Ready" whenever no prompt is shown.
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        if (message.isEmpty()) {
            bar->showMessage("Ready");
        }
    });
    bar->showMessage("Ready");
    new LockIndicators(*bar);
    // The docked window is narrow: the message pane takes the grip's room. The window
    // manager's frame still sizes the window.
    bar->setSizeGripEnabled(false);
}

void CMainFrame::OnTimer() {
    app_.CheckIdle();
    // A tray that appears after the program started (a panel that starts later at login)
    // gets the icon now.
    if (!tray_.IsShown() && TrayWanted(isHidden() || isMinimized())) {
        tray_.Add();
    }
}

bool CMainFrame::TrayWanted(bool hide) const {
    return app_.Settings().trayIconAlwaysVisible != 0 || hide;
}

void CMainFrame::ShowOrHide(bool hide) {
    if (TrayWanted(hide)) {
        tray_.Add();
    } else if (tray_.IsShown()) {
        tray_.Remove();
    }
    if (hide) {
        if (tray_.IsShown()) {
            this->hide();
        } else {
            showMinimized();  // without a tray the window must stay reachable
        }
    } else {
        if (isMinimized()) {
            showNormal();
        } else {
            show();
        }
        raise();
        activateWindow();
        view_->setFocus();  // the arrow keys and the menu key act on the contacts
    }
    if (IsRealNameSet(app_.Settings())) {
        tray_.ClearBalloon();
    } else {
        tray_.ShowBalloon(kReminderTitle, kReminderText);
    }
}

void CMainFrame::UpdateTrayTip() {
    const std::string own = OwnPresenceText(app_.IsConnected(), app_.Presence(), app_.Settings());
    tray_.SetTip(QString::fromStdString(
        TrayTipText(app_.IsConnected(), app_.Contacts().ContactCount(), unread_.Total(), own)));
}

void CMainFrame::RefreshConnectButton() {
    connectPicture_ = ConnectPicture(app_.IsConnected(), app_.Presence());
    connectAction_->setIcon(pictures::ToolbarPicture(connectPicture_));
    connectAction_->setChecked(app_.IsConnected());
    connectAction_->setToolTip(PlainToolTip(
        QStringLiteral("Connect\n") + QString::fromStdString(OwnPresenceText(
                                          app_.IsConnected(), app_.Presence(), app_.Settings()))));
}

void CMainFrame::OnTrayActivate() {
    if (CSettingsSheet* sheet = OpenSettingsSheet()) {
        sheet->raise();
        sheet->activateWindow();
        return;
    }
    if (isVisible() && !isMinimized() && !isActiveWindow()) {
        raise();
        activateWindow();
        return;
    }
    if (app_.Settings().trayIconAlwaysVisible != 0) {
        ShowOrHide(isVisible() && !isMinimized());
    } else {
        ShowOrHide(false);
    }
}

void CMainFrame::OnConnect() {
    app_.OnConnect();
    RefreshConnectButton();  // also after a failed join, which changes nothing
}

void CMainFrame::OnSettings() {
    if (OpenSettingsSheet() != nullptr) {
        return;
    }
    const bool accepted = tollix::OnSettings(
        app_, store_, [this](bool on) { autostart_.SetAutostart(on); }, this, openSettingsSheet_,
        [this] { history_.Clear(); });
    if (accepted) {
        history_.Apply();
        RefreshConnectButton();  // the user's names and group, as the others see them
        UpdateTrayTip();
    }
    if (exiting_) {
        close();  // an exit was asked for while the sheet was open
    }
}

void CMainFrame::OnAppAbout() {
    OpenWindowModal(new CAboutDlg(app_, this));
}

CSettingsSheet* CMainFrame::OpenSettingsSheet() const {
    return openSettingsSheet_.data();
}

void CMainFrame::OpenConversation(Contact* contact, bool inBackground, qint64 openingTextId) {
    if (contact == nullptr) {
        return;
    }
    auto* window = CMsgFrame::Of(*contact);
    if (window == nullptr) {
        // A private session, so that the window can say where the next text goes.
        app_.Private().Prepare(contact->address);
        // A window of its own, with its own task-bar button, beside this one.
        window = new CMsgFrame(app_, this);
        window->SetContact(contact);
        texts_->Attach(*window, openingTextId);
        if (files_ != nullptr) {
            files_->Attach(*window);
        }
        connect(window, &CMsgFrame::filesDropped, this, [this, window](const QStringList& paths) {
            OpenFileTransfer(window->GetContact(), paths);
        });
        if (const QScreen* screen = this->screen()) {
            window->move(ConversationPlacement(frameGeometry(), screen->availableGeometry(),
                                               window->size(), conversationsOpened_++));
        }
        if (inBackground) {
            window->setAttribute(Qt::WA_ShowWithoutActivating);  // the user looks at it first
            window->showMinimized();
            QApplication::alert(window);
        } else {
            window->show();
        }
        return;
    }
    if (inBackground) {
        QApplication::alert(window);  // flashes until the window comes forward
        return;
    }
    window->showNormal();
    window->raise();
    window->activateWindow();
    window->FocusActivePane();
}

void CMainFrame::OpenFileTransfer(Contact* contact, const QStringList& paths) {
    if (contact == nullptr) {
        return;
    }
    auto* dialog = qobject_cast<CFileTransferDlg*>(contact->fileTransfer.data());
    if (dialog == nullptr) {
        dialog = new CFileTransferDlg(this);
        if (files_ != nullptr) {
            dialog->SetSender(&files_->Files(), [files = files_](const Contact& to) {
                return files->TakesFiles(to);
            });
        }
        dialog->BindContact(*contact);
        // As for a conversation: by the time a file is chosen, whether the contact's program
        // takes files is known.
        app_.Private().Prepare(contact->address);
    }
    dialog->showNormal();
    dialog->raise();
    dialog->activateWindow();
    if (!paths.isEmpty() && !dialog->IsSending()) {
        dialog->TakeFiles(paths);
        dialog->OnSend();
    }
}

void CMainFrame::SetFileTransfers(FileTransfers& files) {
    files_ = new DesktopFileTransfers(app_, *texts_, files, this);
}

void CMainFrame::OnIncomingText(Contact& contact, const std::string& text, bool outgoing,
                                const TextMark& mark) {
    texts_->OnText(contact, text, outgoing, mark);  // stored, then shown
}

void CMainFrame::CloseContactWindows(Contact& contact) {
    if (auto* window = CMsgFrame::Of(contact)) {
        window->DetachAndClose();
    }
    if (auto* dialog = qobject_cast<CFileTransferDlg*>(contact.fileTransfer.data())) {
        dialog->DetachAndClose();
    }
}

void CMainFrame::BringForward() {
    if (CSettingsSheet* sheet = OpenSettingsSheet()) {
        sheet->raise();
        sheet->activateWindow();
        return;
    }
    ShowOrHide(false);
}

void CMainFrame::Exit() {
    exiting_ = true;
    if (CSettingsSheet* sheet = OpenSettingsSheet()) {
        sheet->reject();  // OnSettings closes the window once the sheet has returned
        return;
    }
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!exiting_) {
        event->ignore();  // the close box hides the window; the program keeps running
        ShowOrHide(true);
        return;
    }
    event->accept();
    Shutdown();
    QApplication::quit();
}

void CMainFrame::showEvent(QShowEvent* event) {
    if (windowFlags().testFlag(Qt::Tool)) {
        KeepOutOfTaskbar(*this);
    }
    QMainWindow::showEvent(event);
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !exiting_ &&
        tray_.isAvailable()) {
        // Minimising hides the window to the tray, once the state change is through.
        QMetaObject::invokeMethod(
            this, [this] { ShowOrHide(true); }, Qt::QueuedConnection);
    }
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createPopupMenu());
    menu->exec(event->globalPos());
}

QMenu* CMainFrame::createPopupMenu() {
    // Stands in for the window's system menu, which the window manager keeps to itself.
    auto* menu = new QMenu(this);
    menu->addAction("Restore", this, [this] { ShowOrHide(false); });
    menu->addAction("Minimize", this, [this] { ShowOrHide(true); });
    menu->addAction("Close", this, [this] { ShowOrHide(true); });
    menu->addSeparator();
    menu->addAction("About...", this, &CMainFrame::OnAppAbout);
    if (!tray_.IsShown()) {
        menu->addAction("E&xit", this, &CMainFrame::Exit);  // the tray menu is out of reach
    }
    return menu;
}

void CMainFrame::WaitForFarewell() {
    if (!app_.TunnelSendsPending()) {
        return;
    }
    // The user's input waits too: the window has gone, and the program is ending.
    QEventLoop farewell;
    connect(&app_, &CTollixApp::tunnelSendsGone, &farewell, &QEventLoop::quit);
    QTimer::singleShot(kFarewellWaitMs, &farewell, &QEventLoop::quit);
    farewell.exec(QEventLoop::ExcludeUserInputEvents);
}

void CMainFrame::Shutdown() {
    if (std::exchange(shutDown_, true)) {
        return;
    }
    timer_.stop();
    if (activity_ != nullptr) {
        activity_->Remove();
    }
    app_.SetConnected(false);
    hide();
    WaitForFarewell();
    autostart_.SetAutostart(app_.Settings().startWithWindows != 0);
    app_.Settings().SaveSettings(store_);
    app_.Contacts().ClearContacts();
    if (tray_.IsShown()) {
        tray_.Remove();
    }
}

}  // namespace tollix
