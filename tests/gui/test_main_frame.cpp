// The desktop program's main window under the offscreen platform, with the core on fake
// channels: start-up order, placement, tray icon rules, the status bar, the Connect
// button, the contact tree, the keyboard focus, boxes that block only their owner and
// windows closed under their own boxes, the shutdown order (also on SIGTERM), and the
// texts on their way into the conversations: stored, at most 10 windows a minute, unread
// marks, notifications (to a service on a private bus), and a history that fails.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QScrollBar>
#include <QSessionManager>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolTip>
#include <QtTest>
#include <array>
#include <csignal>
#include <optional>

#include "../unit/core_harness.h"
#include "core/memory_private_store.h"
#include "fake_notifications.h"
#include "history/history_store.h"
#include "platform/desktop_notifications.h"
#include "session/file_transfers.h"
#include "session/session_manager.h"
#include "test_dialog_support.h"
#include "ui/conversation/dialog_view.h"
#include "ui/conversation/msg_frame.h"
#include "ui/conversation/msg_view.h"
#include "ui/conversation/offer_bar.h"
#include "ui/conversation/search_bar.h"
#include "ui/filetransfer/file_transfer_dlg.h"
#include "ui/mainframe/contact_item_delegate.h"
#include "ui/mainframe/desktop_app.h"
#include "ui/mainframe/main_frame.h"
#include "ui/mainframe/placement.h"
#include "ui/settings/settings_sheet.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

// A copy of the desktop program around a core on fake channels, with its files in a
// folder of its own.
struct Desktop {
    BoxAnswerer boxes;  // the alerts' boxes are answered at once
    QTemporaryDir dir;
    CoreHarness core;
    SettingsStore store{dir.path()};
    Autostart autostart{dir.path()};
    SingleInstance instance{"tollix-test", dir.path()};
    HistoryStore history{dir.path()};
    DesktopNotifications notifications;
    DesktopApp desktop{core.app, store, autostart, instance, history, notifications};

    // Without a bus of the test's own, the notifications go nowhere.
    explicit Desktop(const QString& settings = {},
                     const QDBusConnection& bus = QDBusConnection(QStringLiteral("none")))
        : notifications(bus) {
        if (!settings.isEmpty()) {
            QDir().mkpath(dir.path() + "/Quardell");
            QFile file(store.FilePath());
            file.open(QIODevice::WriteOnly);
            file.write(("[settings]\n" + settings).toUtf8());
        }
    }
    CMainFrame& Frame() { return *desktop.MainFrame(); }
};

// The session manager's request to save (commitDataRequest). Qt makes a session manager
// only inside a real session; the program's receivers do not look at it, so storage of
// its size stands in for it.
void RequestCommitData() {
    alignas(QSessionManager) static std::array<std::byte, sizeof(QSessionManager)> standIn{};
    QVERIFY(QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest)
                .invoke(qApp, Qt::DirectConnection,
                        QGenericArgument("QSessionManager&", standIn.data())));
}

void FromPeer(CoreHarness& core, const std::string& address, int type, std::int32_t id,
              const std::string& first, const std::string& group = "Ops") {
    core.FromGroup(Envelope(type, id, first, "", group), address);
}

// A text from the peer P<n> at 10.0.1.<n> to this copy (10.0.0.5).
void TextFrom(CoreHarness& core, int peer, std::int32_t id, const std::string& text) {
    core.FromGroup(Envelope(MSGTYPE_TEXT, id, "P" + std::to_string(peer), "", "Ops",
                            "TO=10.0.0.5|TEXT=" + text),
                   "10.0.1." + std::to_string(peer));
}

CMsgFrame* WindowOf(CoreHarness& core, int peer, const std::string& address = {}) {
    const Contact* contact = core.app.Contacts().FindContact(
        address.empty() ? "10.0.1." + std::to_string(peer) : address);
    return contact != nullptr ? qobject_cast<CMsgFrame*>(contact->conversation.data()) : nullptr;
}

// The contact's item in the tree the main window shows.
QModelIndex TreeItem(CMainFrame& frame, const std::string& address) {
    ContactList& contacts = frame.Unread().Contacts();
    return frame.View().Filter().mapFromSource(
        frame.Unread().mapFromSource(contacts.IndexOf(*contacts.FindContact(address))));
}

// The tree as text: "group[a,b]group2[c]", with "..." for more than three contacts.
QString Tree(const QAbstractItemModel& tree) {
    QString text;
    for (int g = 0; g < tree.rowCount(); ++g) {
        const QModelIndex group = tree.index(g, 0);
        QStringList names;
        for (int c = 0; c < std::min(tree.rowCount(group), 4); ++c) {
            names << (c < 3 ? tree.index(c, 0, group).data().toString() : "...");
        }
        text += group.data().toString() + "[" + names.join(',') + "]";
    }
    return text;
}

// The colour the tree draws an item's name in: of its row's pixels right of the picture,
// the one furthest from the background.
QColor InkOf(CTollixView& view, const QModelIndex& item) {
    const QImage row = view.viewport()->grab(view.visualRect(item)).toImage();
    const QRgb background = view.palette().color(QPalette::Base).rgb();
    const auto distance = [background](QRgb pixel) {
        return std::abs(qRed(pixel) - qRed(background)) +
               std::abs(qGreen(pixel) - qGreen(background)) +
               std::abs(qBlue(pixel) - qBlue(background));
    };
    QRgb ink = background;
    for (int y = 0; y < row.height(); ++y) {
        for (int x = view.iconSize().width() + 8; x < row.width(); ++x) {
            ink = distance(row.pixel(x, y)) > distance(ink) ? row.pixel(x, y) : ink;
        }
    }
    return QColor(ink);
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void startUpConnectsOnceTheLoopRuns() {
        Desktop copy;
        QVERIFY(copy.desktop.InitInstance());
        QVERIFY(copy.Frame().isVisible());
        QCOMPARE(copy.Frame().windowTitle(), "Tollix");
        QVERIFY(!copy.core.app.IsConnected());  // posted, not yet run
        QTRY_VERIFY(copy.core.app.IsConnected());
        QCOMPARE(copy.core.multicast.SentOfType(MSGTYPE_HELLO).size(), std::size_t{1});

        Desktop offline("connect%20on%20startup=0\nstart%20minimized=1\n");
        QVERIFY(offline.desktop.InitInstance());
        QTest::qWait(50);
        QVERIFY(!offline.core.app.IsConnected());
        QCOMPARE(offline.core.multicast.joins, 0);
        QVERIFY(!offline.Frame().isVisible() || offline.Frame().isMinimized());
    }

    void placementAtTheScreenEdge() {
        const QRect screen(0, 0, 1280, 1024);
        QCOMPARE(MainWindowPlacement(1, screen, 954), QRect(1100, 131, 180, 763));
        QCOMPARE(MainWindowPlacement(0, screen, 954), QRect(0, 131, 180, 763));
        // Wider where a large font needs room for the title.
        QFont large = QApplication::font();
        large.setPointSizeF(large.pointSizeF() * 2);
        QVERIFY(MainWindowWidth(large) > 180);

        // Conversations open beside the main window, away from its edge, one below the
        // other, and start over where the next would leave the screen.
        const QRect atRight(1100, 131, 180, 763), atLeft(0, 131, 180, 763);
        const QSize size(350, 250);
        QCOMPARE(ConversationPlacement(atRight, screen, size, 0), QPoint(750, 131));
        QCOMPARE(ConversationPlacement(atRight, screen, size, 1), QPoint(726, 155));
        QCOMPARE(ConversationPlacement(atLeft, screen, size, 2), QPoint(228, 179));
        QCOMPARE(ConversationPlacement(atLeft, screen, size, 29), QPoint(228, 179));  // 27 fit
    }

    void trayIconTipAndReminder() {
        Desktop copy("tray%20icon%20always%20visible=0\nconnect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        TrayIcon& tray = frame.Tray();
        tray.isAvailable = [] { return true; };
        frame.ShowOrHide(false);
        QVERIFY(!tray.IsShown());  // only while the window is hidden
        QCOMPARE(tray.BalloonTitle(), "Note!");
        QCOMPARE(tray.BalloonText(),
                 "Please specify you REAL name\nin program settings dialog,\nand re-connect.");
        QCOMPARE(tray.Tip(), "Tollix - offline\nOffline as unknown user (Other Contacts)");

        frame.ShowOrHide(true);
        QVERIFY(tray.IsShown());
        QVERIFY(frame.isHidden());
        QCOMPARE(tray.BalloonsShown(), 1);
        frame.OnTrayActivate();  // shows the window, removes the icon
        QVERIFY(frame.isVisible());
        QVERIFY(!tray.IsShown());
        QTRY_COMPARE(QApplication::focusWidget(), &frame.View());  // the arrow keys work

        copy.core.app.Settings().userFirstName = "Ann";
        copy.core.app.Settings().userLastName = "Lee";
        frame.ShowOrHide(false);
        QCOMPARE(tray.BalloonText(), "");

        frame.OnConnect();
        const QString own = "\nOnline as Ann Lee (Other Contacts)";
        QCOMPARE(tray.Tip(), "Tollix - online (no contacts)" + own);
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "Bob");
        FromPeer(copy.core, "10.0.0.8", MSGTYPE_ONLINE, 2, "Cid");
        QCOMPARE(tray.Tip(), "Tollix - online (3 contacts)" + own);
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_OFFLINE, 3, "Bob");
        FromPeer(copy.core, "10.0.0.8", MSGTYPE_OFFLINE, 4, "Cid");
        QCOMPARE(tray.Tip(), "Tollix - online (no contacts)" + own);
        copy.core.app.Settings().userGroupName = "";  // no brackets without a group
        frame.OnConnect();
        QCOMPARE(tray.Tip(), "Tollix - offline\nOffline as Ann Lee");
    }

    void trayClickBringsForwardOrToggles() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        frame.Tray().isAvailable = [] { return true; };
        frame.ShowOrHide(false);
        QVERIFY(QTest::qWaitForWindowActive(&frame));

        // Visible but behind another window: brought forward, not hidden.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        frame.OnTrayActivate();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QVERIFY(frame.isVisible());

        // Visible and active: hidden; hidden: shown again.
        frame.OnTrayActivate();
        QVERIFY(frame.isHidden());
        frame.OnTrayActivate();
        QVERIFY(frame.isVisible());
    }

    void openSettingsSheetComesFirst() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        bool sheetRaised = false;
        QTimer::singleShot(50, &frame, [&] {
            CSettingsSheet* sheet = frame.OpenSettingsSheet();
            QVERIFY(sheet != nullptr && sheet->isVisible());
            frame.OnTrayActivate();  // brings the sheet forward, the window stays as it was
            sheetRaised = QTest::qWaitForWindowActive(sheet) && frame.isVisible();
            copy.core.app.Settings().userFirstName = "Changed meanwhile";
            frame.Exit();  // cancels the sheet first, then ends the program
        });
        frame.OnSettings();
        QVERIFY(sheetRaised);
        QVERIFY(frame.OpenSettingsSheet() == nullptr);
        QSettings saved(copy.store.FilePath(), QSettings::IniFormat);
        // Nothing was copied from the cancelled sheet; the settings were saved at exit.
        QCOMPARE(saved.value("settings/user first name").toString(), "Changed meanwhile");
        QVERIFY(!frame.isVisible());
    }

    // "Ready" shows whole beside the lock-key panes in the docked window, whose frame
    // leaves a little less than its 180 pixels inside, also with the larger fonts of 120 DPI.
    void statusBarShowsReadyWhole_data() {
        QTest::addColumn<double>("fontScale");
        QTest::newRow("96 DPI") << 1.0;
        QTest::newRow("120 DPI") << 1.25;
    }
    void statusBarShowsReadyWhole() {
        QFETCH(double, fontScale);
        const QFont before = QApplication::font();
        QFont larger = before;
        larger.setPointSizeF(before.pointSizeF() * fontScale);
        QApplication::setFont(larger);
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        frame.resize(180 - 2 * 4, frame.height());
        const QStatusBar& bar = *frame.statusBar();
        QTRY_COMPARE(bar.width(), frame.width());
        int firstPane = bar.width();
        for (const QLabel* pane : bar.findChildren<QLabel*>()) {
            firstPane = std::min(firstPane, pane->mapTo(&bar, QPoint()).x());
        }
        // The bar draws its message from 6 pixels in to 2 pixels before the first pane.
        const int room = firstPane - 2 - 6;
        const int ready = bar.fontMetrics().horizontalAdvance("Ready");
        QApplication::setFont(before);
        QVERIFY2(room >= ready, qPrintable(QString("%1 pixels for %2").arg(room).arg(ready)));
    }

    void connectButtonFollowsTheState() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        QCOMPARE(frame.ConnectPictureShown(), 0);
        QVERIFY(!frame.ConnectAction().isChecked());
        frame.ConnectAction().trigger();
        QCOMPARE(frame.ConnectPictureShown(), 2);
        QVERIFY(frame.ConnectAction().isChecked());
        copy.core.app.GoAway();
        QCOMPARE(frame.ConnectPictureShown(), 3);
        // The user's presence and names, as the others see them, in its tooltip.
        QTextDocument tip;
        tip.setHtml(frame.ConnectAction().toolTip());
        QCOMPARE(tip.toPlainText(), "Connect\nAway as unknown user (Other Contacts)");
        QVERIFY(frame.Tray().Tip().endsWith("\nAway as unknown user (Other Contacts)"));
        frame.ConnectAction().trigger();
        QCOMPARE(frame.ConnectPictureShown(), 0);
        QVERIFY(!frame.ConnectAction().isChecked());

        copy.core.multicast.joinSucceeds = false;  // a failed join leaves the button up
        frame.ConnectAction().trigger();
        QVERIFY(!frame.ConnectAction().isChecked());
    }

    void contactTreeShowsGroupsContactsAndInfo() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CTollixView& view = copy.Frame().View();
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "bob");
        FromPeer(copy.core, "10.0.0.8", MSGTYPE_AWAY, 2, "Zed");
        FromPeer(copy.core, "10.0.0.7", MSGTYPE_ONLINE, 3, "Amy", "Dev");
        FromPeer(copy.core, "10.0.0.6", MSGTYPE_ONLINE, 4, "Kim", "");
        QAbstractItemModel& model = *view.model();
        // Groups by their names, whichever answered first; the one without a name last.
        const QModelIndex ops = model.index(1, 0);
        QCOMPARE(ops.data().toString(), "Ops");
        QCOMPARE(model.index(0, 0, ops).data().toString(), "Zed");
        QCOMPARE(model.index(0, 0, ops).data(ContactList::PictureRole).toInt(), 1);
        QCOMPARE(model.index(1, 0, ops).data().toString(), "bob");
        QCOMPARE(model.index(1, 0, ops).data(ContactList::PictureRole).toInt(), 0);
        QCOMPARE(model.index(0, 0).data().toString(), "Dev");
        QCOMPARE(model.index(2, 0).data().toString(), "");
        QTRY_VERIFY(view.isExpanded(ops) && view.isExpanded(model.index(0, 0)));

        // Counts of each group beside its name; the one without a name is named for the
        // tree only. Away is faded, in the name as in the picture.
        QCOMPARE(ContactItemDelegate::Suffix(ops), "(1/2)");
        QCOMPARE(ContactItemDelegate::Suffix(model.index(0, 0)), "(1/1)");
        QCOMPARE(CTollixView::ContactInfoText(model.index(2, 0), nullptr), "Contact: ");
        QCOMPARE(InkOf(view, model.index(0, 0, ops)),
                 view.palette().color(QPalette::Disabled, QPalette::Text));
        QCOMPARE(InkOf(view, model.index(1, 0, ops)), view.palette().color(QPalette::Text));
        QCOMPARE(InkOf(view, model.index(2, 0)),
                 view.palette().color(QPalette::Disabled, QPalette::Text));
        QCOMPARE(view.ToolTipText(model.index(0, 0, ops)),
                 "Zed\nGroup: Ops\nAddress: 10.0.0.8\nPresence: away\nClient: Tollix v.1.2.0");
        QCOMPARE(view.ToolTipText(ops), "Ops\n1 of 2 online");
        // With private conversations the tooltip also says how a conversation goes.
        FakeSessions sessions;
        MemoryPrivateStore pins;
        pins.SavePin({"10.0.0.8", "C1", "Zed", "", "Ops", true});
        PrivateConversations& conversations = copy.core.app.Private();
        conversations.SetStores(pins, pins);
        conversations.SetChannel(&sessions);
        QVERIFY(
            view.ToolTipText(model.index(0, 0, ops)).endsWith("\nConversation: private, verified"));
        QVERIFY(view.ToolTipText(model.index(1, 0, ops))
                    .endsWith("\nConversation: private once a session is made"));
        conversations.SetChannel(nullptr);
        conversations.UseOwnStores();

        const Contact* bob = copy.core.app.Contacts().FindContact("10.0.0.9");
        QCOMPARE(CTollixView::ContactInfoText(model.index(1, 0, ops), bob),
                 "Contact: bob\nIP: 10.0.0.9\nClient: Tollix v.1.2.0");
        QCOMPARE(CTollixView::ContactInfoText(ops, nullptr), "Contact: Ops");

        // Ctrl+F narrows the tree from the field above it; Escape empties it again.
        QVERIFY(QTest::qWaitForWindowActive(&copy.Frame()));
        QLineEdit& field = copy.Frame().FilterField();
        QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(field.hasFocus());
        QTest::keyClicks(&field, "ZE");
        QCOMPARE(Tree(model), "Ops[Zed]");
        QTest::keyClick(&field, Qt::Key_Escape);
        QVERIFY(field.text().isEmpty() && view.hasFocus());
        QCOMPARE(model.rowCount(), 3);
        const QStringList menu = [&] {
            QStringList texts;
            for (const QAction* action : view.ContactMenu()->actions()) {
                texts << (action->isSeparator() ? "-" : action->text());
            }
            return texts;
        }();
        QCOMPARE(menu,
                 QStringList({"Send message", "Send file", "-", "View history", "Contact info"}));
        // "View history" opens the conversation with its search field.
        view.setCurrentIndex(model.index(1, 0, model.index(1, 0)));  // bob, after the filter
        view.ContactMenu()->actions().at(3)->trigger();
        const auto* window = qobject_cast<CMsgFrame*>(bob->conversation.data());
        QVERIFY(window != nullptr && window->Search()->isVisible());
    }

    // The filter narrows a tree of 20,000 contacts in 41 groups to the contacts and groups
    // whose names hold what is typed, any letter case, with every group shown open; cleared,
    // it shows them all again, groups in the order of their names, as the user left them.
    void filterNarrowsTheTree_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("part of names") << "BOB"
                                       << "G7[Bob Brown]Ops[Rob Bobson]";
        QTest::newRow("a group's name shows all of it") << "ops"
                                                        << "Ops[Ann,Rob Bobson,Zoe]";
        QTest::newRow("one of many") << " P19995 "
                                     << "G35[P19995]";
        QTest::newRow("nothing") << "xyz"
                                 << "";
    }
    void filterNarrowsTheTree() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        ContactList list;
        const auto add = [&list](int n, const std::string& first, const std::string& last,
                                 const std::string& group) {
            NetMessage online;
            online.msgType = MSGTYPE_ONLINE;
            online.from = "10.1." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1);
            online.body = "|FIRSTNAME=" + first + "|SECONDNAME=" + last + "|GROUP=" + group + "|";
            list.OnIncomingMessage(online);
        };
        for (int n = 0; n < 19996; ++n) {
            add(n, "P" + std::to_string(n), "", "G" + std::to_string(n % 40));
        }
        add(19996, "Bob", "Brown", "G7");
        add(19997, "Rob", "Bobson", "Ops");
        add(19998, "Ann", "", "OPS");
        add(19999, "Zoe", "", "Ops");
        UnreadContactsModel unread(list);
        CTollixView view(unread);
        QAbstractItemModel& tree = *view.model();
        const QModelIndex ops = tree.index(40, 0);
        view.expand(ops);
        view.collapse(ops);  // the user closes it

        view.SetFilter(typed);
        QCOMPARE(Tree(tree), shown);
        for (int row = 0; row < tree.rowCount(); ++row) {
            QVERIFY(view.isExpanded(tree.index(row, 0)));
        }
        view.SetFilter("");
        QCOMPARE(tree.rowCount(), 41);
        QCOMPARE(tree.index(2, 0).data().toString(), "G10");
        QCOMPARE(tree.index(40, 0).data().toString(), "Ops");
        QVERIFY(view.isExpanded(tree.index(1, 0)) && !view.isExpanded(tree.index(40, 0)));
    }

    void oneWindowPerContactClosedWhenTheContactLeaves() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        const auto text = [&](std::int32_t id, const std::string& words) {
            copy.core.FromGroup(
                Envelope(MSGTYPE_TEXT, id, "Bob", "Brown", "Ops", "TO=10.0.0.5|TEXT=" + words),
                "10.0.0.9");
        };
        text(1, "first");
        Contact* bob = copy.core.app.Contacts().FindContact("10.0.0.9");
        QTRY_VERIFY(bob->conversation != nullptr);  // once the text is stored
        QPointer<CMsgFrame> window = qobject_cast<CMsgFrame*>(bob->conversation.data());
        QVERIFY(window->isMinimized());  // opened in the background
        text(2, "second");
        QTRY_VERIFY(window->HistoryView()->toPlainText().contains("Bob Brown: second"));
        QCOMPARE(bob->conversation.data(), window.data());
        frame.OpenConversation(bob, false);
        QCOMPARE(bob->conversation.data(), window.data());
        QTRY_COMPARE(QApplication::focusWidget(), window->InputView());

        frame.OpenFileTransfer(bob);
        QPointer<QObject> dialog = bob->fileTransfer.data();
        QVERIFY(dialog != nullptr);
        frame.OpenFileTransfer(bob);
        QCOMPARE(bob->fileTransfer.data(), dialog.data());

        copy.core.FromGroup(Envelope(MSGTYPE_OFFLINE, 3, "Bob", "Brown", "Ops"), "10.0.0.9");
        QTRY_VERIFY(window.isNull() && dialog.isNull());
    }

    // The network (the contact's farewell) or the exit closes a contact's window while a box
    // or file chooser of that window is open, as a user may leave them open.
    void windowsCloseUnderTheirOwnBoxes_data() {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("byExit");
        QTest::newRow("Send's box, farewell") << "send box" << false;
        QTest::newRow("Browse's chooser, farewell") << "browse" << false;
        QTest::newRow("Send's chooser, exit") << "send" << true;
        QTest::newRow("conversation's alert, farewell") << "alert" << false;
        QTest::newRow("conversation's alert, exit") << "alert" << true;
    }
    // Files with a contact whose program takes them, over real sessions on loopback: its
    // offer comes into the conversation with its bar, Accept saves it into the download
    // folder and the conversation says so with a link to it; a file dropped on the window
    // goes through the dialog, which follows it to its end. Without private conversations
    // "Send" says, as ever, that it is not implemented.
    void filesComeAndGo() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        SessionManager own(*MakeIdentity(), {});
        own.Listen(QHostAddress("127.0.0.1"));
        SessionManager theirs(*MakeIdentity(), {});
        theirs.Listen(QHostAddress("127.0.0.2"));
        FileTransfers files;
        files.Attach(own, {});
        FileTransfers theirFiles;
        theirFiles.Attach(theirs, {});
        FakeSessions sessions;
        copy.core.app.Private().SetChannel(&sessions);
        copy.Frame().SetFileTransfers(files);
        copy.core.app.Settings().downloadFolder = copy.dir.filePath("in").toStdString();
        FromPeer(copy.core, "127.0.0.2", MSGTYPE_ONLINE, 1, "Pat");
        Contact* pat = copy.core.app.Contacts().FindContact("127.0.0.2");
        QFile notes(copy.dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("hello") == 5);
        notes.close();

        theirFiles.Offer("127.0.0.1", {notes.fileName()});
        QTRY_VERIFY(pat->conversation != nullptr);
        auto* window = qobject_cast<CMsgFrame*>(pat->conversation.data());
        QTRY_VERIFY(!window->Offers()->isHidden());
        QCOMPARE(window->Offers()->Text()->text(), "Pat offers notes.txt (5 bytes)");
        QTRY_VERIFY(window->HistoryView()->toPlainText().contains(
            "Pat: Offers you a file: notes.txt (5 bytes)"));
        window->Offers()->AcceptButton()->click();
        QVERIFY(window->Offers()->isHidden());
        QTRY_VERIFY(window->HistoryView()->toPlainText().contains(
            "Pat: Received notes.txt (5 bytes) in file://" + copy.dir.path() + "/in/"));
        QFile received(copy.dir.filePath("in/notes.txt"));
        QVERIFY(received.open(QIODevice::ReadOnly) && received.readAll() == "hello");

        QVERIFY(QDir().mkpath(copy.dir.filePath("back")));
        connect(&theirFiles, &FileTransfers::offerReceived, this, [&](const IncomingOffer& offer) {
            theirFiles.Accept(offer.id, copy.dir.filePath("back"));
        });
        emit window->filesDropped({notes.fileName()});
        auto* dialog = qobject_cast<CFileTransferDlg*>(pat->fileTransfer.data());
        QVERIFY(dialog != nullptr && dialog->IsSending());
        QTRY_COMPARE(dialog->StatusText(), "Sent.");
        QTRY_VERIFY(window->HistoryView()->toPlainText().contains("Sent notes.txt (5 bytes)"));
        QVERIFY(QFile::exists(copy.dir.filePath("back/notes.txt")));

        copy.core.app.Private().SetChannel(nullptr);
        dialog->OnSend();
        QTRY_VERIFY(copy.boxes.Texts().contains("Not implemented yet!\nSorry :-)"));
        files.Detach();  // before the sessions it runs on
        theirFiles.Detach();
    }

    void windowsCloseUnderTheirOwnBoxes() {
        QFETCH(QString, opened);
        QFETCH(bool, byExit);
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        copy.boxes.Pause(true);
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "Bob");
        Contact* bob = copy.core.app.Contacts().FindContact("10.0.0.9");
        const QString file = copy.store.FilePath();  // any file that exists

        // Acts from the event loop as each box or chooser shows, as the user or the network
        // would while it is open: a file is chosen where one is needed, then the end comes.
        bool chosen = opened != "send box";
        bool ended = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || ended) {
                return;
            }
            if (auto* chooser = qobject_cast<QFileDialog*>(modal); chooser && !chosen) {
                chosen = true;
                chooser->selectFile(file);
                static_cast<QDialog*>(chooser)->accept();  // as its Open button does
                return;
            }
            ended = true;
            if (byExit) {
                copy.Frame().Exit();
            } else {
                FromPeer(copy.core, "10.0.0.9", MSGTYPE_OFFLINE, 2, "Bob");
            }
            copy.boxes.Pause(false);  // a box that is not the window's own is answered
        });
        poll.start(5);

        QPointer<QWidget> window;
        if (opened == "alert") {
            copy.Frame().OpenConversation(bob, false);
            auto* conversation = qobject_cast<CMsgFrame*>(bob->conversation.data());
            window = conversation;
            copy.core.multicast.sendSucceeds = false;
            QTest::keyClicks(conversation->InputView(), "hi");
            QTest::keyClick(conversation->InputView(), Qt::Key_Return, Qt::ControlModifier);
        } else {
            copy.Frame().OpenFileTransfer(bob);
            window = qobject_cast<QWidget*>(bob->fileTransfer.data());
            if (opened == "send box") {
                FindButton(*window, "...")->click();
                QTRY_VERIFY(chosen);
                QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
            }
            FindButton(*window, opened == "browse" ? "..." : "Send")->click();
        }
        QTRY_VERIFY(ended);
        QTRY_VERIFY(window.isNull());
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(copy.core.app.Contacts().FindContact("10.0.0.9"), nullptr);
    }

    // While a box of the main window is open, only the main window waits for it: the
    // conversations go on taking input. An alert with no window shown blocks nothing.
    void boxesBlockOnlyTheirOwner_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("About") << "about";
        QTest::newRow("Settings") << "settings";
        QTest::newRow("Contact info") << "info";
        QTest::newRow("alert") << "alert";
        QTest::newRow("alert, main window in the tray") << "alert in tray";
    }
    void boxesBlockOnlyTheirOwner() {
        QFETCH(QString, box);
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        copy.boxes.Pause(true);
        CMainFrame& frame = copy.Frame();
        frame.Tray().isAvailable = [] { return true; };
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "Bob");
        Contact* bob = copy.core.app.Contacts().FindContact("10.0.0.9");
        frame.View().setCurrentIndex(frame.View().model()->index(0, 0));
        frame.OpenConversation(bob, false);
        auto* conversation = qobject_cast<CMsgFrame*>(bob->conversation.data());
        QVERIFY(QTest::qWaitForWindowActive(conversation));
        if (box == "alert in tray") {
            frame.ShowOrHide(true);
        }

        const auto down = [&] {  // true when the tree took the key
            const QModelIndex before = frame.View().currentIndex();
            QTest::keyClick(frame.windowHandle(), Qt::Key_Down);
            return frame.View().currentIndex() != before;
        };
        bool checked = false;
        bool ownerTookKey = false;
        QString typed;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (modal == nullptr || !modal->isVisible() || checked) {
                return;
            }
            checked = true;
            ownerTookKey = frame.isVisible() && down();
            conversation->activateWindow();
            if (QTest::qWaitForWindowActive(conversation)) {
                QTest::keyClick(conversation->windowHandle(), 'o');
                QTest::keyClick(conversation->windowHandle(), 'k');
            }
            typed = conversation->InputView()->toPlainText();
            modal->reject();
        });
        poll.start(5);
        if (box == "about") {
            frame.OnAppAbout();
        } else if (box == "settings") {
            frame.OnSettings();
        } else if (box == "info") {
            frame.View().OnContactInfo();
        } else {
            copy.core.app.Alerts().Show("Multicast Failed!");
        }
        QTRY_VERIFY(checked);
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(typed, "ok");
        QVERIFY(!ownerTookKey);
        if (frame.isVisible()) {
            QVERIFY(down());  // and takes keys again once the box has gone
        }
    }

    // A name from the network shows as it is wherever it is shown (a rich text would read
    // the "image" of <img src=/dev/zero> from that file until memory ran out).
    void networkTextShownAsItIs_data() {
        QTest::addColumn<QString>("place");
        for (const char* place :
             {"Contact info", "alert", "conversation", "file transfer", "tooltip"}) {
            QTest::newRow(place) << place;
        }
    }
    void networkTextShownAsItIs() {
        QFETCH(QString, place);
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "<b>x</b>[*]");
        Contact* odd = copy.core.app.Contacts().FindContact("10.0.0.9");
        frame.View().setCurrentIndex(TreeItem(frame, "10.0.0.9"));
        QString shown;
        if (place == "conversation" || place == "file transfer") {  // in the window's title
            place == "conversation" ? frame.OpenConversation(odd, false)
                                    : frame.OpenFileTransfer(odd);
            auto* window = qobject_cast<QWidget*>(
                place == "conversation" ? odd->conversation.data() : odd->fileTransfer.data());
            QVERIFY(QTest::qWaitForWindowExposed(window));
            shown = window->windowHandle()->title();
        } else if (place == "tooltip") {  // the text that the tooltip shows
            QWidget& rows = *frame.View().viewport();
            const QPoint row = frame.View().visualRect(TreeItem(frame, "10.0.0.9")).center();
            QHelpEvent help(QEvent::ToolTip, row, rows.mapToGlobal(row));
            QApplication::sendEvent(&rows, &help);
            QTextDocument tip;
            Qt::mightBeRichText(QToolTip::text()) ? tip.setHtml(QToolTip::text())
                                                  : tip.setPlainText(QToolTip::text());
            shown = tip.toPlainText();
        } else {
            place == "alert" ? copy.core.app.Alerts().Show(odd->firstName)
                             : frame.View().OnContactInfo();
            QTRY_COMPARE(copy.boxes.boxes.size(), std::size_t{1});
            QCOMPARE(copy.boxes.boxes.front().format, Qt::PlainText);
            shown = copy.boxes.Texts().front();
        }
        QVERIFY2(shown.contains("<b>x</b>[*]"), qPrintable(shown));
    }

    // Texts open windows by themselves while fewer than 10 such windows wait untouched, and
    // stay unread there until the window is in front of the user; beyond that they wait
    // without a window, under one shared notification whose action opens the conversation.
    // Either way they are marked, in bold with the count in the tree and "N unread" in the
    // tray tip, until their window comes in front of the user. A window in front of the
    // user raises no notification.
    void textsBeyondTenUntouchedWindowsWaitUnread() {
        PrivateBus bus;
        if (bus.Address().isEmpty()) {
            QSKIP("dbus-daemon cannot be started here");
        }
        FakeNotificationService service;
        QVERIFY(service.Register(bus.Address()));
        Desktop copy("connect%20on%20startup=0\n", bus.Connect("program"));
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        for (int peer = 1; peer <= 12; ++peer) {
            TextFrom(copy.core, peer, peer, "hello");
        }
        TextFrom(copy.core, 11, 100, "again");
        QTRY_COMPARE(frame.Unread().Total(), 13);
        for (int peer = 1; peer <= 12; ++peer) {
            QCOMPARE(WindowOf(copy.core, peer) != nullptr, peer <= 10);
        }
        QVERIFY(WindowOf(copy.core, 1)->isMinimized());
        const QString own = "Tollix - offline\nOffline as unknown user (Other Contacts)\n";
        QCOMPARE(frame.Tray().Tip(), own + "13 unread");
        const QModelIndex p11 = TreeItem(frame, "10.0.1.11");
        QCOMPARE(p11.data().toString(), "P11 (2)");
        QVERIFY(p11.data(UnreadContactsModel::BoldRole).toBool());
        const QModelIndex p1 = TreeItem(frame, "10.0.1.1");  // its window opened minimised
        QCOMPARE(p1.data().toString(), "P1 (1)");
        QVERIFY(p1.data(UnreadContactsModel::BoldRole).toBool());
        QHash<QString, int> stored{{"10.0.1.11", 2}, {"10.0.1.12", 1}};
        for (int peer = 1; peer <= 10; ++peer) {
            stored.insert("10.0.1." + QString::number(peer), 1);  // in windows not looked at
        }
        QCOMPARE(copy.history.UnreadCounts().value(), stored);

        // One notification per window, then one for all the unread texts, replaced by
        // the newest.
        QTRY_COMPARE(service.calls.size(), 12);
        QCOMPARE(service.calls[0].summary, "P1");
        QCOMPARE(service.calls[10].summary, "P11");
        QCOMPARE(service.calls[11].replaces, 11u);
        QCOMPARE(service.calls[11].body, "again");

        emit service.ActionInvoked(11, "default");
        QTRY_VERIFY(WindowOf(copy.core, 11) != nullptr);
        CMsgFrame& window = *WindowOf(copy.core, 11);
        const QString shown = window.HistoryView()->toPlainText();
        QVERIFY2(shown.contains(" P11: hello\n") && shown.contains(" P11: again\nEarlier messages"),
                 qPrintable(shown));
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(frame.Unread().Count("10.0.1.11"), 0);
        QCOMPARE(p11.data().toString(), "P11");
        QCOMPARE(frame.Tray().Tip(), own + "11 unread");
        stored.remove("10.0.1.11");
        QCOMPARE(copy.history.UnreadCounts().value(), stored);

        // In the active window a text needs no notification; this copy's own, heard back,
        // is stored as sent, with the user's names.
        TextFrom(copy.core, 11, 101, "while you look");
        copy.core.app.SendTextTo("10.0.1.11", "reply");
        copy.core.FromGroup(MessageCodec::EnvelopeText(copy.core.multicast.sent.back()),
                            "10.0.0.5");
        QTRY_VERIFY(window.HistoryView()->toPlainText().endsWith(
            " P11: while you look\n" + QString(CDialogView::kSentMark) + " unknown user: reply\n"));
        const QList<HistoryEntry> last = copy.history.Last("10.0.1.11", 1);
        QVERIFY(last.first().outgoing);
        QCOMPARE(last.first().firstName, "unknown");
        QTest::qWait(50);
        QCOMPARE(service.calls.size(), 12);

        // In a window that is open but not active, a text is marked until it is activated.
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        TextFrom(copy.core, 11, 102, "while you are away");
        QTRY_COMPARE(p11.data().toString(), "P11 (1)");
        window.activateWindow();
        QTRY_COMPARE(p11.data().toString(), "P11");

        // However long it takes; once the user has looked at one, a text opens a window again.
        TextFrom(copy.core, 13, 103, "later");
        QTRY_COMPARE(frame.Unread().Total(), 12);
        copy.core.clock.now += 3600;
        frame.OpenConversation(copy.core.app.Contacts().FindContact("10.0.1.1"), false);
        QTRY_COMPARE(copy.history.UnreadCounts()->value("10.0.1.1"), 0);
        TextFrom(copy.core, 14, 104, "looked at");
        QTRY_VERIFY(WindowOf(copy.core, 14) != nullptr);
    }

    // A contact that leaves texts unseen stays listed, offline, until they are read: in its
    // window, which stays open with "NAME has left", or from its mark beyond the limit.
    void contactLeavingUnseenTextsStaysUntilRead_data() {
        QTest::addColumn<int>("untouched");  // windows that texts opened before
        QTest::addColumn<bool>("stored");    // the text was stored before the farewell came
        QTest::addColumn<QString>("shown");  // the end of its window's history, or its item
        const QString window = " P20: build done\nP20 has left\n";
        QTest::newRow("window") << 0 << true << window;
        QTest::newRow("farewell right behind the text") << 0 << false << window;
        QTest::newRow("unread mark beyond the window limit") << 10 << true << "P20 (1)";
    }
    void contactLeavingUnseenTextsStaysUntilRead() {
        QFETCH(int, untouched);
        QFETCH(bool, stored);
        QFETCH(QString, shown);
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        const auto unread = [&] { return copy.history.UnreadCounts()->value("10.0.1.20"); };
        for (int peer = 1; peer <= untouched; ++peer) {
            TextFrom(copy.core, peer, peer, "hello");
        }
        TextFrom(copy.core, 20, 100, "build done");
        if (stored) {
            QTRY_COMPARE(unread(), 1);
        }
        FromPeer(copy.core, "10.0.1.20", MSGTYPE_OFFLINE, 101, "P20");
        QTRY_COMPARE(unread(), 1);
        const QModelIndex item = TreeItem(copy.Frame(), "10.0.1.20");
        QVERIFY(item.data(ContactList::OfflineRole).toBool());
        QCOMPARE(item.data(ContactList::PictureRole).toInt(), 1);
        CMsgFrame* window = WindowOf(copy.core, 20);
        QVERIFY((window ? window->HistoryView()->toPlainText() : item.data().toString())
                    .endsWith(shown));
        copy.Frame().OpenConversation(copy.core.app.Contacts().FindContact("10.0.1.20"), false);
        QTRY_COMPARE(unread(), 0);
        WindowOf(copy.core, 20)->close();  // kept while its window was open
        QCOMPARE(copy.core.app.Contacts().FindContact("10.0.1.20"), nullptr);
    }

    // A conversation shows its last 200 texts: opening it reads those, and the older unread
    // ones keep their mark until a page further back shows them.
    void openingReadsOnlyTheTextsItShows() {
        Desktop copy("connect%20on%20startup=0\n");
        QVERIFY(copy.history.Open());
        for (int n = 0; n < 250; ++n) {
            copy.history.Add({0, {}, false, "10.0.0.9", "Bob", "", "Ops", "text", true}, nullptr,
                             {});
        }
        copy.history.Close();
        copy.desktop.InitInstance();
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "Bob");
        const QModelIndex bob = TreeItem(copy.Frame(), "10.0.0.9");
        const auto unread = [&] { return copy.history.UnreadCounts()->value("10.0.0.9"); };
        QCOMPARE(bob.data().toString(), "Bob (250)");
        copy.Frame().OpenConversation(copy.core.app.Contacts().FindContact("10.0.0.9"), false);
        QTRY_COMPARE(unread(), 50);
        QCOMPARE(bob.data().toString(), "Bob (50)");
        WindowOf(copy.core, 0, "10.0.0.9")->HistoryView()->verticalScrollBar()->setValue(0);
        QCOMPARE(unread(), 0);
        QCOMPARE(bob.data().toString(), "Bob");
    }

    // Unread marks come back with the program; a history that cannot be kept (or is not
    // to be kept) stores nothing, and its unread texts wait in memory instead. A busy file
    // (another program's transaction) only delays storing: the mark shows meanwhile, and
    // once the text is stored it is counted and shown once.
    void historyAtStartUp_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("blocked");  // a file where the history's folder belongs
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("alert");
        QTest::newRow("kept") << "" << false << false << "";
        QTest::newRow("busy") << "" << false << true << "";
        QTest::newRow("off") << "keep%20history=0\n" << false << false << "";
        QTest::newRow("cannot be kept") << "" << true << false << "History is not available: ";
    }
    void historyAtStartUp() {
        QFETCH(QString, settings);
        QFETCH(bool, blocked);
        QFETCH(bool, busy);
        QFETCH(QString, alert);
        Desktop copy("connect%20on%20startup=0\n" + settings);
        const QString folder = copy.dir.path() + "/Quardell/Tollix";
        if (blocked) {
            QFile(folder).open(QIODevice::WriteOnly);
        } else if (settings.isEmpty()) {
            QVERIFY(copy.history.Open());  // a mark left by an earlier run
            copy.history.Add({0, {}, false, "10.0.1.99", "P99", "", "Ops", "earlier", true},
                             nullptr, {});
            copy.history.Close();
        }
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        QTRY_COMPARE(copy.boxes.Texts().size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty()) {
            QVERIFY2(copy.boxes.Texts().front().startsWith(alert),
                     qPrintable(copy.boxes.Texts().front()));
        }
        const bool kept = settings.isEmpty() && !blocked;
        QCOMPARE(frame.Unread().Count("10.0.1.99"), kept ? 1 : 0);

        std::optional<QSqlDatabase> holder;
        if (busy) {
            holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
            holder->setDatabaseName(copy.history.FilePath());
            QVERIFY(holder->open() && QSqlQuery(*holder).exec("BEGIN IMMEDIATE"));
        }
        for (int peer = 1; peer <= 11; ++peer) {
            TextFrom(copy.core, peer, peer, "hello " + std::to_string(peer));
        }
        QTRY_COMPARE(frame.Unread().Count("10.0.1.11"), 1);
        if (holder) {
            QSqlQuery(*holder).exec("COMMIT");
            holder.reset();
            QSqlDatabase::removeDatabase("holder");
            QTRY_COMPARE(copy.history.UnreadCounts()->value("10.0.1.11"), 1);
        }
        QVERIFY(WindowOf(copy.core, 10) != nullptr);
        QVERIFY(WindowOf(copy.core, 1)->HistoryView()->toPlainText().contains("P1: hello 1"));
        frame.OpenConversation(copy.core.app.Contacts().FindContact("10.0.1.11"), false);
        const QString eleven = WindowOf(copy.core, 11)->HistoryView()->toPlainText();
        QVERIFY(eleven.contains(" P11: hello 11\nEarlier messages\n"));
        QCOMPARE(eleven.count("hello 11"), 1);
        // The ten windows opened in the background hold their texts unseen.
        QTRY_COMPARE(frame.Unread().Total(), (kept ? 1 : 0) + 10);
        QCOMPARE(copy.history.IsOpen(), kept);
        if (!settings.isEmpty()) {
            QVERIFY(!QFile::exists(copy.history.FilePath()));  // off: not even made
        }
    }

    void trayThatAppearsLaterGetsTheIcon() {
        Desktop copy("connect%20on%20startup=0\n");
        copy.desktop.InitInstance();
        CMainFrame& frame = copy.Frame();
        bool trayThere = false;
        frame.Tray().isAvailable = [&] { return trayThere; };
        frame.ShowOrHide(true);
        QVERIFY(frame.isMinimized());  // no tray: minimised, so it can be reached
        trayThere = true;
        QTRY_VERIFY_WITH_TIMEOUT(frame.Tray().IsShown(), 2000);
    }

    void exitSaysGoodbyeAndSaves() {
        Desktop copy;
        copy.desktop.InitInstance();
        QTRY_VERIFY(copy.core.app.IsConnected());
        FromPeer(copy.core, "10.0.0.9", MSGTYPE_ONLINE, 1, "Bob");
        // The session manager asks to save before a logout that the user may still cancel.
        copy.core.app.Settings().userFirstName = "Ann";
        RequestCommitData();
        QVERIFY(copy.core.app.IsConnected());
        QVERIFY(copy.Frame().isVisible());
        QCOMPARE(QSettings(copy.store.FilePath(), QSettings::IniFormat)
                     .value("settings/user first name")
                     .toString(),
                 "Ann");
        copy.Frame().close();  // the close box only hides
        QVERIFY(copy.core.app.IsConnected());
        copy.Frame().Exit();
        QVERIFY(!copy.core.app.IsConnected());
        QCOMPARE(copy.core.multicast.SentOfType(MSGTYPE_OFFLINE).size(), std::size_t{1});
        QCOMPARE(copy.core.app.Contacts().ContactCount(), 0);
        QSettings saved(copy.store.FilePath(), QSettings::IniFormat);
        QCOMPARE(saved.value("settings/user first name").toString(), "Ann");
        QVERIFY(copy.autostart.IsEnabled());
        QVERIFY(!copy.Frame().Tray().IsShown());
    }

    void terminationSignalEndsInTheSameOrder() {
        Desktop copy("start%20with%20Windows=0\n");
        copy.autostart.SetAutostart(true);  // an entry left from earlier
        copy.desktop.InitInstance();
        QTRY_VERIFY(copy.core.app.IsConnected());
        std::raise(SIGTERM);
        QTRY_VERIFY(!copy.core.app.IsConnected());
        QCOMPARE(copy.core.multicast.SentOfType(MSGTYPE_OFFLINE).size(), std::size_t{1});
        QVERIFY(QFile::exists(copy.store.FilePath()));
        QVERIFY(!copy.autostart.IsEnabled());
    }
};

QTEST_MAIN(MainFrameTest)
#include "test_main_frame.moc"
