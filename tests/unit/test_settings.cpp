// The settings store on real files in temporary folders: defaults, value names as every
// copy stores them, the tunnel list's loading rules, round trips, and the administrator's
// defaults in the folders of XDG_CONFIG_DIRS.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "core/app_settings.h"
#include "core/settings_store.h"

using namespace tollix;

namespace {

QString ReadFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

void WriteFile(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
}

QStringList Hosts(const AppSettings& settings) {
    QStringList hosts;
    for (const auto& entry : settings.tunnels) {
        hosts << QString::fromStdString(entry->tunHost);
    }
    return hosts;
}

// What an administrator sets for everyone.
const QString kAdminFile =
    "[settings]\nuser%20group%20name=Sales\nconnect%20on%20startup=0\n"
    "AWAY%20notification%20timeout=600\nkeep%20history=0\n"
    "[tunnels]\ntunnel_0%20tunHost=relay\ntunnel_0%20tunId=7\n";

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QTemporaryDir systemDir_;  // holds the folders a and b, named in XDG_CONFIG_DIRS
    SettingsStore Store() const { return SettingsStore(dir_.path()); }
    QString SystemFile(const QString& folder) const {
        return systemDir_.filePath(folder + "/Quardell/Tollix.conf");
    }
    QStringList SavedKeys() const {
        return QSettings(Store().FilePath(), QSettings::IniFormat).allKeys();
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_DIRS", (systemDir_.filePath("a:") + systemDir_.filePath("b")).toUtf8());
    }
    void init() {
        QFile::remove(Store().FilePath());
        QFile::remove(SystemFile("a"));
        QFile::remove(SystemFile("b"));
    }

    void emptyStoreGivesDefaultsAndSaveWritesEveryValue() {
        AppSettings settings;
        QVERIFY(settings.LoadSettings(Store()));
        QCOMPARE(settings.userFirstName, "unknown");
        QCOMPARE(settings.userLastName, "user");
        QCOMPARE(settings.userGroupName, "Other Contacts");
        QCOMPARE(settings.guiStickMode, 1);
        QCOMPARE(settings.startWithWindows, 1);
        QCOMPARE(settings.awayNotificationTimeout, 300);
        QCOMPARE(settings.keepHistory, 1);
        QCOMPARE(settings.historyDays, 0);
        QCOMPARE(settings.showNotifications, 1);
        QCOMPARE(settings.learnTunnels, 1);
        QCOMPARE(settings.privateConversations, 1);
        QVERIFY(settings.tunnels.empty());

        QVERIFY(settings.SaveSettings(Store()));
        QCOMPARE(Store().FilePath(), dir_.path() + "/Quardell/Tollix.conf");
        QSettings saved(Store().FilePath(), QSettings::IniFormat);
        saved.beginGroup("settings");
        QCOMPARE(saved.childKeys().size(), 20);
        QCOMPARE(saved.value("start with Windows").toInt(), 1);
        QCOMPARE(saved.value("AWAY notification timeout").toInt(), 300);
        QCOMPARE(saved.value("user group name").toString(), "Other Contacts");
    }

    void valuesSurviveARoundTrip() {
        AppSettings settings;
        settings.userFirstName = " Ann ";  // stored exactly as typed
        settings.userLastName = "Lee, Jr.";
        settings.userGroupName = "Dév";
        settings.guiStickMode = 0;
        settings.msgSendKey = 0;
        settings.ignoreLocalInterfaces = 1;
        settings.awayNotificationTimeout = 90;
        settings.historyDays = 30;
        settings.showNotifications = 0;
        settings.learnTunnels = 0;
        settings.conversationHeight = 410;
        settings.privateConversations = 0;
        settings.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"far", "net", 17}));
        settings.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"", "", 5}));
        settings.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"10.1.2.3", "", 18}));
        QVERIFY(settings.SaveSettings(Store()));

        AppSettings loaded;
        QVERIFY(loaded.LoadSettings(Store()));
        QCOMPARE(loaded.userFirstName, " Ann ");
        QCOMPARE(loaded.userLastName, "Lee, Jr.");
        QCOMPARE(loaded.userGroupName, "Dév");
        QCOMPARE(loaded.guiStickMode, 0);
        QCOMPARE(loaded.msgSendKey, 0);
        QCOMPARE(loaded.ignoreLocalInterfaces, 1);
        QCOMPARE(loaded.awayNotificationTimeout, 90);
        QCOMPARE(loaded.historyDays, 30);
        QCOMPARE(loaded.showNotifications, 0);
        QCOMPARE(loaded.learnTunnels, 0);
        QCOMPARE(loaded.conversationHeight, 410);
        QCOMPARE(loaded.privateConversations, 0);
        // The entry without a host is skipped and uses up no number.
        QCOMPARE(Hosts(loaded), QStringList({"far", "10.1.2.3"}));
        QCOMPARE(loaded.tunnels[0]->tunSubnet, "net");
        QCOMPARE(loaded.tunnels[1]->tunId, 18);

        // Value names carry a space before the field name.
        const QString file = ReadFile(Store().FilePath());
        QVERIFY(file.contains("tunnel_0%20tunHost=far"));
        QVERIFY(file.contains("tunnel_1%20tunId=18"));
        QVERIFY(file.contains("user%20first%20name=\" Ann \""));
    }

    void loadingStopsAtTheFirstBadTunnel_data() {
        QTest::addColumn<QString>("tunnels");
        QTest::addColumn<QStringList>("loaded");
        const QString first = "tunnel_0%20tunHost=a\ntunnel_0%20tunId=1\n";
        QTest::newRow("gap after 1") << first +
                                            "tunnel_1%20tunHost=b\ntunnel_1%20tunId=2\n"
                                            "tunnel_3%20tunHost=d\ntunnel_3%20tunId=4\n"
                                     << QStringList({"a", "b"});
        QTest::newRow("id 0") << first +
                                     "tunnel_1%20tunHost=b\ntunnel_1%20tunId=0\n"
                                     "tunnel_2%20tunHost=c\ntunnel_2%20tunId=3\n"
                              << QStringList({"a"});
        QTest::newRow("id missing") << first + "tunnel_1%20tunHost=b\n" << QStringList({"a"});
        QTest::newRow("host in other case") << first + "tunnel_1%20tunHost=A\ntunnel_1%20tunId=2\n"
                                            << QStringList({"a"});
        QTest::newRow("same id") << first + "tunnel_1%20tunHost=b\ntunnel_1%20tunId=1\n"
                                 << QStringList({"a"});
        QTest::newRow("same subnet") << "tunnel_0%20tunHost=a\ntunnel_0%20tunId=1\n"
                                        "tunnel_0%20tunSubnet=net\ntunnel_1%20tunHost=b\n"
                                        "tunnel_1%20tunId=2\ntunnel_1%20tunSubnet=NET\n"
                                     << QStringList({"a"});
        QTest::newRow("empty host first") << "tunnel_0%20tunId=1\n" << QStringList();
    }
    void loadingStopsAtTheFirstBadTunnel() {
        QFETCH(QString, tunnels);
        QFETCH(QStringList, loaded);
        WriteFile(Store().FilePath(), "[tunnels]\n" + tunnels);
        AppSettings settings;
        settings.LoadSettings(Store());
        QCOMPARE(Hosts(settings), loaded);

        // The next save keeps only what was loaded.
        settings.SaveSettings(Store());
        AppSettings again;
        again.LoadSettings(Store());
        QCOMPARE(Hosts(again), loaded);
        QVERIFY(!ReadFile(Store().FilePath()).contains("tunnel_3"));
    }

    void unreadableNumbersKeepTheirDefaults() {
        WriteFile(Store().FilePath(), "[settings]\ngui%20stick%20mode=left\nmsg%20send%20key=0\n");
        AppSettings settings;
        settings.LoadSettings(Store());
        QCOMPARE(settings.guiStickMode, 1);
        QCOMPARE(settings.msgSendKey, 0);
        QCOMPARE(settings.keepHistory, 1);  // a file older than the value
    }

    void tunnelListIsBounded() {
        QString tunnels = "[tunnels]\n";
        for (int n = 0; n < 300; ++n) {
            tunnels += QString("tunnel_%1%20tunHost=h%1\ntunnel_%1%20tunId=%2\n").arg(n).arg(n + 1);
        }
        WriteFile(Store().FilePath(), tunnels);
        AppSettings settings;
        settings.LoadSettings(Store());
        QCOMPARE(settings.tunnels.size(), AppSettings::kMaxTunnels);
    }

    void administratorsDefaults_data() {
        QTest::addColumn<QString>("system");  // null: no administrator's file
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("connectOnStartup");
        QTest::addColumn<int>("awayTimeout");
        QTest::addColumn<QStringList>("tunnels");
        QTest::addColumn<int>("keepHistory");
        QTest::newRow("none") << QString() << ""
                              << "Other Contacts" << 1 << 300 << QStringList() << 1;
        QTest::newRow("administrator's") << kAdminFile << ""
                                         << "Sales" << 0 << 600 << QStringList({"relay"}) << 0;
        // The example the package installs: inert as shipped, and its sample lines mean
        // what its comments say once the '#' is taken away.
        const QString example = ReadFile(QFINDTESTDATA("../packaging/Tollix.conf"));
        QTest::newRow("example") << example << ""
                                 << "Other Contacts" << 1 << 300 << QStringList() << 1;
        QTest::newRow("example taken in")
            << QString(example).replace(
                   QRegularExpression("^#(\\S+=)", QRegularExpression::MultilineOption), "\\1")
            << ""
            << "Sales" << 1 << 600 << QStringList({"relay.branch.example.org", "192.0.2.17"}) << 1;
        QTest::newRow("user's values win")
            << kAdminFile
            << "[settings]\nuser%20group%20name=Ops\nAWAY%20notification%20timeout=x\n"
               "keep%20history=1\n"
            << "Ops" << 0 << 600 << QStringList({"relay"}) << 1;
        QTest::newRow("user's tunnels win")
            << kAdminFile << "[tunnels]\ntunnel_0%20tunHost=own\ntunnel_0%20tunId=8\n"
            << "Sales" << 0 << 600 << QStringList({"own"}) << 0;
        QTest::newRow("user's tunnels empty") << kAdminFile << "[tunnels]\ntunnel_0%20tunHost=\n"
                                              << "Sales" << 0 << 600 << QStringList() << 0;
    }
    void administratorsDefaults() {
        QFETCH(QString, system);
        QFETCH(QString, user);
        QFETCH(QString, group);
        QFETCH(int, connectOnStartup);
        QFETCH(int, awayTimeout);
        QFETCH(QStringList, tunnels);
        QFETCH(int, keepHistory);
        if (!system.isNull()) {
            WriteFile(SystemFile("b"), system);
        }
        WriteFile(Store().FilePath(), user);
        AppSettings settings;
        settings.LoadSettings(Store());
        QCOMPARE(settings.userGroupName, group.toStdString());
        QCOMPARE(settings.connectOnStartup, connectOnStartup);
        QCOMPARE(settings.awayNotificationTimeout, awayTimeout);
        QCOMPARE(Hosts(settings), tunnels);
        QCOMPARE(settings.keepHistory, keepHistory);
    }

    void administratorsFileIsTheFirstFound() {
        WriteFile(SystemFile("b"), "[settings]\nuser%20group%20name=B\n");
        QCOMPARE(Store().SystemFilePath(), SystemFile("b"));
        WriteFile(SystemFile("a"), "[settings]\nuser%20last%20name=A\n");
        AppSettings settings;
        settings.LoadSettings(Store());
        QCOMPARE(settings.userLastName, "A");
        QCOMPARE(settings.userGroupName, "Other Contacts");  // b's file is not read at all

        const QByteArray dirs = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_DIRS", "relative/xdg:");
        QCOMPARE(SettingsStore::SystemConfigDirs(), QStringList({"/etc/xdg"}));
        qputenv("XDG_CONFIG_DIRS", dirs);
    }

    void savingLeavesOutTheAdministratorsDefaults() {
        WriteFile(SystemFile("a"), kAdminFile);
        AppSettings settings;
        settings.LoadSettings(Store());
        settings.userFirstName = "Ann";
        // The administrator's changes, even while the program runs, reach this user at the
        // next start; the user's own value stays. (Of another size: Qt reads a file again
        // only when its size or time has changed.)
        QString changed = kAdminFile;
        WriteFile(SystemFile("a"), changed.replace("Sales", "Support").replace("relay", "hub.x"));
        QVERIFY(settings.SaveSettings(Store()));
        const QStringList everyValue = SavedKeys();  // left out: what the administrator sets
        QCOMPARE(everyValue.size(), 16);
        QVERIFY(everyValue.contains("settings/user first name"));
        QVERIFY(!everyValue.contains("settings/user group name"));
        QVERIFY(!everyValue.contains("settings/AWAY notification timeout"));
        AppSettings again;
        again.LoadSettings(Store());
        QCOMPARE(again.userFirstName, "Ann");
        QCOMPARE(again.userGroupName, "Support");
        QCOMPARE(Hosts(again), QStringList({"hub.x"}));

        // Removing the administrator's tunnels is a choice of its own that is kept.
        again.userGroupName = "Ops";
        again.tunnels.clear();
        again.SaveSettings(Store());
        AppSettings own;
        own.LoadSettings(Store());
        QCOMPARE(own.userGroupName, "Ops");
        QVERIFY(own.tunnels.empty());
        QVERIFY(ReadFile(Store().FilePath()).contains("tunnel_0%20tunHost=\n"));

        // Choosing the administrator's values again leaves them out again.
        own.userGroupName = "Support";
        own.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"hub.x", "", 7}));
        own.SaveSettings(Store());
        QCOMPARE(SavedKeys(), everyValue);
    }

    void newTunnelTests() {
        AppSettings settings;
        settings.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"Far", "net", 7}));
        settings.tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{"", "", 9}));
        QVERIFY(!settings.IsNewTunnel("", 1, ""));
        QVERIFY(!settings.IsNewTunnel("x", 0, ""));
        QVERIFY(!settings.IsNewTunnel("far", 1, ""));
        QVERIFY(!settings.IsNewTunnel("x", 7, ""));
        QVERIFY(!settings.IsNewTunnel("x", 1, "NET"));
        QVERIFY(settings.IsNewTunnel("x", 9, ""));  // the entry without a host is ignored
        QVERIFY(settings.IsNewTunnel("x", -1, ""));
        const auto made = AppSettings::MakeTunnelEntry("h");
        QCOMPARE(made->tunHost, "h");
        QCOMPARE(made->tunSubnet, "");
        QVERIFY(made->tunId >= 0 && made->tunId <= 999999);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
