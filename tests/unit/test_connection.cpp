// Connection control, the away logic and the statistics text, with fake channels and a
// settable clock.
#include <QtTest>

#include "core/main_frame_rules.h"
#include "core/statistics.h"
#include "core_harness.h"
#include "net/system_error.h"

using namespace tollix;
using namespace tollix::testing;

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void connectAnnouncesAndDisconnectSaysGoodbye() {
        CoreHarness h;
        h.AddTunnel("far-one", 11);
        h.AddTunnel("", 22);
        h.AddTunnel("no-id", 0);
        h.AddTunnel("far-two", 33);
        h.app.Settings().ignoreLocalInterfaces = 1;

        h.app.OnConnect();
        QVERIFY(h.app.IsConnected());
        QCOMPARE(h.app.Presence(), PresenceState::Online);
        QVERIFY(h.multicast.skipSeenAtJoin);
        QVERIFY(h.tunnel.open);
        QCOMPARE(h.multicast.sent.size(), std::size_t{1});
        QCOMPARE(h.multicast.sent[0].msgType, MSGTYPE_HELLO);
        QCOMPARE(h.tunnel.sent.size(), std::size_t{0});  // reaches them when heard back
        QCOMPARE(h.connectionChanges, 1);

        h.FromGroup(Envelope(MSGTYPE_ONLINE, 5), "10.0.0.9");
        h.tunnel.sent.clear();
        h.app.OnConnect();
        QVERIFY(!h.app.IsConnected());
        QCOMPARE(h.app.Presence(), PresenceState::Offline);
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_OFFLINE).size(), std::size_t{1});
        QCOMPARE(h.tunnel.sent.size(), std::size_t{2});
        QCOMPARE(h.tunnel.sent[0].host, "far-one");
        QCOMPARE(h.tunnel.sent[0].message.msgType, MSGTYPE_OFFLINE);
        QCOMPARE(h.tunnel.sent[1].host, "far-two");
        QVERIFY(!h.tunnel.open);
        QCOMPARE(h.multicast.leaves, 1);
        QCOMPARE(h.app.Contacts().ContactCount(), 0);
        QCOMPARE(h.connectionChanges, 2);
        QVERIFY(h.alerts.empty());

        // Asking for the state the copy is in only refreshes the indicator.
        h.app.SetConnected(false);
        QCOMPARE(h.multicast.leaves, 1);
        QCOMPARE(h.connectionChanges, 3);
    }

    void failedJoinChangesNothing() {
        CoreHarness h;
        h.multicast.joinSucceeds = false;
        h.app.SetConnected(true);
        QVERIFY(!h.app.IsConnected());
        QCOMPARE(h.app.Presence(), PresenceState::Offline);
        QVERIFY(!h.tunnel.open);
        QVERIFY(h.multicast.sent.empty());
        QCOMPARE(h.connectionChanges, 0);
        QCOMPARE(h.alerts, std::vector<std::string>{"Error joining multicast group"});
    }

    void tunnelsThatDoNotOpenLeaveTheCopyOnMulticast() {
        CoreHarness h;
        h.tunnel.openSucceeds = false;
        RecordSystemError(EADDRINUSE);  // what the failed bind left behind
        // The first box's nested event loop runs a call that fails otherwise.
        QObject::connect(&h.app.Alerts(), &AlertService::alertRaised,
                         [] { RecordSystemError(EBADF); });
        h.app.SetConnected(true);
        QVERIFY(h.app.IsConnected());
        QCOMPARE(h.alerts, (std::vector<std::string>{"Error opening tunnels socket",
                                                     "Address already in use"}));
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_HELLO).size(), std::size_t{1});
    }

    void failuresWhileLeavingDoNotStopTheDisconnect() {
        CoreHarness h;
        h.Connect();
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 5), "10.0.0.9");
        h.tunnel.closeSucceeds = false;
        h.multicast.leaveSucceeds = false;
        h.app.SetConnected(false);
        QVERIFY(!h.app.IsConnected());
        QCOMPARE(h.app.Contacts().ContactCount(), 0);
        QCOMPARE(h.alerts, (std::vector<std::string>{"Error closing tunnels socket",
                                                     "Error leaving multicast host group"}));
    }

    void awayAfterTheTimeOutAndBackAtTheNextInput() {
        CoreHarness h;
        h.app.Settings().awayNotificationTimeout = 300;
        h.Connect();
        h.clock.now += 299;
        h.app.CheckIdle();
        QCOMPARE(h.app.Presence(), PresenceState::Online);
        h.clock.now += 1;
        h.app.CheckIdle();
        h.app.CheckIdle();
        QCOMPARE(h.app.Presence(), PresenceState::Away);
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_AWAY).size(), std::size_t{1});

        h.app.OnUserActivity();
        h.app.OnUserActivity();
        QCOMPARE(h.app.Presence(), PresenceState::Online);
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_ONLINE).size(), std::size_t{1});
        QCOMPARE(h.app.LastActivityTime(), h.clock.now);
        QCOMPARE(h.connectionChanges, 1 + 2);  // connect, away, back

        // Disconnecting while away ends offline; the next connect starts online.
        h.clock.now += 300;
        h.app.CheckIdle();
        h.app.SetConnected(false);
        QCOMPARE(h.app.Presence(), PresenceState::Offline);
        h.app.SetConnected(true);
        QCOMPARE(h.app.Presence(), PresenceState::Online);
    }

    void noAwayWhileOfflineUntrackedOrWithTheClockSetBack() {
        CoreHarness h;
        h.clock.now += 1000;
        h.app.CheckIdle();
        h.app.OnUserActivity();
        QCOMPARE(h.app.Presence(), PresenceState::Offline);
        QVERIFY(h.multicast.sent.empty());
        QCOMPARE(h.app.LastActivityTime(), h.clock.now);

        h.Connect();
        h.clock.now -= 5000;  // clock set back: the difference is negative
        h.app.CheckIdle();
        QCOMPARE(h.app.Presence(), PresenceState::Online);
        h.app.Settings().trackSystemIdleTime = 0;
        h.clock.now += 10000;
        h.app.CheckIdle();
        QCOMPARE(h.app.Presence(), PresenceState::Online);
        QVERIFY(h.multicast.sent.empty());
    }

    void trayTipReminderAndConnectPicture() {
        QCOMPARE(TrayTipText(false, 3), "Tollix - offline");
        QCOMPARE(TrayTipText(true, 0), "Tollix - online (no contacts)");
        QCOMPARE(TrayTipText(true, 2), "Tollix - online (2 contacts)");
        QCOMPARE(TrayTipText(false, 0, 7), "Tollix - offline\n7 unread");

        AppSettings settings;  // "unknown" "user"
        QVERIFY(!IsRealNameSet(settings));
        settings.userFirstName = "Unknown";  // differs in case only: counts as set
        QVERIFY(!IsRealNameSet(settings));   // the last name is still "user"
        settings.userLastName = "";
        QVERIFY(IsRealNameSet(settings));
        settings.userFirstName = "";
        QVERIFY(!IsRealNameSet(settings));

        QCOMPARE(ConnectPicture(false, PresenceState::Away), 0);
        QCOMPARE(ConnectPicture(true, PresenceState::Online), 2);
        QCOMPARE(ConnectPicture(true, PresenceState::Away), 3);
    }

    void formatTimeSpan_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        const QString upTime = "%Dd:%Hh:%Mm:%Ss";
        QTest::newRow("zero") << qint64{0} << upTime << "0d:00h:00m:00s";
        QTest::newRow("59 s") << qint64{59} << upTime << "0d:00h:00m:59s";
        QTest::newRow("1d 2h 3m 4s") << qint64{93784} << upTime << "1d:02h:03m:04s";
        QTest::newRow("100 days") << qint64{8640000} << upTime << "100d:00h:00m:00s";
        QTest::newRow("percent and unknown") << qint64{61} << "%%%M%x!%"
                                             << "%01!%";
    }
    void formatTimeSpan() {
        QFETCH(qint64, seconds);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(FormatTimeSpan(seconds, format.toStdString())), text);
    }

    void statisticsText() {
        CoreHarness h;
        h.AddTunnel("far", 11);
        QCOMPARE(h.app.BuildStatisticsText(true),
                 "Up-time: 0d:00h:00m:00s\r\nReceived packets(bytes): 0(0)\r\n"
                 "Processed packets(bytes): 0(0)\r\nMessage packets(bytes): 0(0)\r\n"
                 "Contacts amount: 0\r\nTunnels amount: 1\r\n");
        const std::string bob = Envelope(MSGTYPE_TEXT, 1, "B", "b", "G", "TO=10.0.0.5|TEXT=x");
        const std::string amy = Envelope(MSGTYPE_ONLINE, 2, "A", "a", "G");
        h.FromGroup(bob, "10.0.0.9");
        h.FromGroup(amy, "10.0.0.8");
        h.FromGroup(amy, "10.0.0.8");
        h.clock.now += 3661;
        const auto size = [](const std::string& text) { return std::to_string(text.size()); };
        QCOMPARE(h.app.BuildStatisticsText(false),
                 "Up-time: 0d:01h:01m:01s\nReceived packets(bytes): 3(" +
                     std::to_string(bob.size() + 2 * amy.size()) +
                     ")\nProcessed packets(bytes): 2(" + std::to_string(bob.size() + amy.size()) +
                     ")\nMessage packets(bytes): 1(" + size(bob) +
                     ")\nContacts amount: 3\nTunnels amount: 1\n");
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
