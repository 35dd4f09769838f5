// The tray icon on desktops whose panel is a StatusNotifier host (GNOME with its extension,
// KDE): Qt's platform theme on xcb shows QSystemTrayIcon as a StatusNotifierItem over D-Bus
// when org.kde.StatusNotifierWatcher on the session bus says a host is registered (asked
// once, at the first tray icon, through introspection and a property read). Under an X
// server of the test's own, with a fake watcher on a bus of the test's own, the main
// window's icon registers; the host reads its tip and its menu, and a click shows the window.
#include <QApplication>
#include <QDBusVariant>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "../unit/core_harness.h"
#include "fake_bus.h"
#include "history/history_store.h"
#include "own_x_server.h"
#include "platform/desktop_notifications.h"
#include "ui/mainframe/history_keeper.h"
#include "ui/mainframe/main_frame.h"

using namespace tollix;
using namespace tollix::testing;

namespace {

// The watcher answers on a thread of its own: Qt asks it with calls that block its caller.
class FakeWatcher {
public:
    explicit FakeWatcher(const PrivateBus& bus) : fakes_(bus.Fakes()) {
        object_.Answer("Get", [](const QDBusMessage& get) {
            const bool hostRegistered =
                get.arguments().value(1) == "IsStatusNotifierHostRegistered";
            return QVariantList{
                QVariant::fromValue(QDBusVariant(hostRegistered ? QVariant(true) : QVariant(0)))};
        });
        object_.Answer("RegisterStatusNotifierItem", [this](const QDBusMessage& call) {
            const QString item = call.arguments().value(0).toString();
            QMetaObject::invokeMethod(qApp, [this, item] { registered_ = item; });
            return QVariantList{};
        });
        object_.moveToThread(&thread_);
        thread_.start();
        fakes_.registerVirtualObject("/StatusNotifierWatcher", &object_);
        fakes_.registerService("org.kde.StatusNotifierWatcher");
    }
    ~FakeWatcher() {
        fakes_.unregisterService("org.kde.StatusNotifierWatcher");
        fakes_.unregisterObject("/StatusNotifierWatcher");
        thread_.quit();
        thread_.wait();
    }
    QString Registered() const { return registered_; }

private:
    QDBusConnection fakes_;
    FakeObject object_{
        "<interface name=\"org.kde.StatusNotifierWatcher\">"
        "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/></method>"
        "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
        "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/></interface>"};
    QThread thread_;
    QString registered_;
};

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT

public:
    explicit TrayTest(const PrivateBus& bus) : bus_(bus) {}

private:
    const PrivateBus& bus_;

    // What the host hears back from a call, as dbus-send prints it. The item answers on
    // this thread's event loop, so the wait keeps it running.
    QString Ask(const QString& service, const QString& path, const QString& method,
                const QStringList& arguments) {
        QProcess send;
        send.start("dbus-send", QStringList{"--bus=" + bus_.Address(), "--print-reply",
                                            "--dest=" + service, path, method} +
                                    arguments);
        if (!QTest::qWaitFor([&] { return send.state() == QProcess::NotRunning; }, 10000)) {
            return {};
        }
        return QString::fromUtf8(send.readAllStandardOutput());
    }

private slots:
    void itemRegistersAndAnswersTheHost() {
        FakeWatcher watcher(bus_);
        QTemporaryDir dir;
        CoreHarness core;
        // A real name: no reminder, whose balloon would stand in for the tip while shown.
        core.app.Settings().userFirstName = "Ann";
        core.app.Settings().userLastName = "Lee";
        const SettingsStore store(dir.path());
        const Autostart autostart(dir.path());
        HistoryStore historyStore(dir.path());
        HistoryKeeper history(historyStore, core.app);
        DesktopNotifications notifications(QDBusConnection(QStringLiteral("none")));
        CMainFrame frame(core.app, store, autostart, history, notifications);
        frame.ShowOrHide(true);
        QVERIFY(frame.Tray().IsShown());
        QVERIFY(frame.isHidden());
        QTRY_VERIFY(!watcher.Registered().isEmpty());
        const QString item = watcher.Registered();

        const QString property = "org.freedesktop.DBus.Properties.Get";
        const QString itemInterface = "string:org.kde.StatusNotifierItem";
        const QString tip =
            Ask(item, "/StatusNotifierItem", property, {itemInterface, "string:ToolTip"});
        QVERIFY2(tip.contains("string \"Tollix - offline\nOffline as Ann Lee (Other Contacts)\""),
                 qPrintable(tip));
        const QRegularExpressionMatch menu =
            QRegularExpression("object path \"([^\"]+)\"")
                .match(Ask(item, "/StatusNotifierItem", property, {itemInterface, "string:Menu"}));
        QVERIFY(menu.hasMatch());
        // The menu's only entry; dbusmenu marks the mnemonic with an underscore.
        const QString layout = Ask(item, menu.captured(1), "com.canonical.dbusmenu.GetLayout",
                                   {"int32:0", "int32:-1", "array:string:"});
        QVERIFY2(layout.contains("string \"E_xit\""), qPrintable(layout));

        // A click on the icon shows the window; a click while it is in front hides it.
        const auto click = [&] {
            Ask(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate",
                {"int32:0", "int32:0"});
        };
        click();
        QTRY_VERIFY(frame.isVisible());
        QTRY_VERIFY(frame.isActiveWindow());
        click();
        QTRY_VERIFY(frame.isHidden());
    }
};

// Starts the X server and the bus before the application connects to them; without Xvfb
// or dbus-daemon the test is reported as skipped, never as passed.
int main(int argc, char** argv) {
    OwnXServer x;
    if (!x.Start()) {
        return kSkipped;
    }
    const PrivateBus bus;
    if (bus.Address().isEmpty()) {
        std::printf("SKIP: dbus-daemon could not be started\n");
        return kSkipped;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
    QApplication application(argc, argv);
    TrayTest test(bus);
    return QTest::qExec(&test, argc, argv);
}

#include "test_tray.moc"
