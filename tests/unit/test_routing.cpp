// Routing with fake channels: duplicates, forwarding and learning of tunnels, answers to
// announcements, which texts are shown, and what happens to junk and failures; with fake
// sessions, where a text goes privately, openly or into the waiting texts.
#include <QtTest>

#include <algorithm>
#include <limits>

#include "core/memory_private_store.h"
#include "core_harness.h"
#include "protocol/body_keys.h"

using namespace tollix;
using namespace tollix::testing;

class RoutingTest : public QObject {
    Q_OBJECT

private slots:
    void duplicateIsHandledOnce() {
        CoreHarness h;
        h.AddTunnel("10.8.0.1", 11);
        const std::string hello = Envelope(MSGTYPE_HELLO, 4711);
        h.FromGroup(hello);
        h.FromGroup(hello);
        QCOMPARE(h.app.Contacts().ContactCount(), 2);  // one group, one contact
        QCOMPARE(h.tunnel.sent.size(), std::size_t{1});
        QCOMPARE(h.multicast.SentOfType(MSGTYPE_ONLINE).size(), std::size_t{1});
        QCOMPARE(h.app.Stats().receivedPackets, 2);
        QCOMPARE(h.app.Stats().receivedBytes, 2 * static_cast<int>(hello.size()));
        QCOMPARE(h.app.Stats().processedPackets, 1);
    }

    void recentIdWindowHoldsTheLast100() {
        CoreHarness h;
        // The window starts with 100 zeros: ID 0 counts as seen until they are pushed out.
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 0), "10.0.1.1");
        QCOMPARE(h.app.Stats().processedPackets, 0);
        for (int id = 1; id <= 100; ++id) {
            h.FromGroup(Envelope(MSGTYPE_ONLINE, id), "10.0.1.2");
        }
        QCOMPARE(h.app.Stats().processedPackets, 100);
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 0), "10.0.1.1");
        QCOMPARE(h.app.Stats().processedPackets, 101);
        // IDs 1..100 and 0 have entered: 1 has been pushed out, 2 is still there.
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 2), "10.0.1.2");
        QCOMPARE(h.app.Stats().processedPackets, 101);
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.1.2");
        QCOMPARE(h.app.Stats().processedPackets, 102);
    }

    void forwardingSkipsArrivalTunnelAndStampsEachCopy() {
        CoreHarness h;
        h.AddTunnel("far-one", 11);
        h.AddTunnel("far-two", 22);
        h.AddTunnel("no-id", 0);
        h.AddTunnel("", 33);
        h.AddTunnel("far-three", 44);
        NetMessage arrived;
        MessageCodec().Decode(arrived,
                              Envelope(MSGTYPE_TEXT, 7, "A", "B", "C", "TO=1.2.3.4|TEXT=x"));
        arrived.from = "10.3.0.1";
        arrived.fromPort = 2030;
        arrived.tunnel = 22;  // came in through far-two
        h.FromGroup(MessageCodec::EnvelopeText(arrived), "10.0.0.20");

        QCOMPARE(h.tunnel.sent.size(), std::size_t{2});
        QCOMPARE(h.tunnel.sent[0].host, "far-one");
        QCOMPARE(h.tunnel.sent[0].message.tunnel, 11);
        QCOMPARE(h.tunnel.sent[1].host, "far-three");
        QCOMPARE(h.tunnel.sent[1].message.tunnel, 44);
        for (const auto& copy : h.tunnel.sent) {
            QCOMPARE(copy.port, std::uint16_t{2035});
            QCOMPARE(copy.message.id, 7);
            QCOMPARE(copy.message.from, "10.3.0.1");  // relays keep the originator
            QCOMPARE(copy.message.to, "1.2.3.4");
        }
    }

    void senderFilledInOnlyWhenMissing() {
        CoreHarness h;
        h.AddTunnel("far", 11);
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.0.30", 5555);
        QCOMPARE(h.tunnel.sent.back().message.from, "10.0.0.30");
        QCOMPARE(h.tunnel.sent.back().message.fromPort, 5555);

        NetMessage named;
        MessageCodec().Decode(named, Envelope(MSGTYPE_ONLINE, 2));
        named.from = "10.3.0.3";  // names its sender, port 0
        h.FromGroup(MessageCodec::EnvelopeText(named), "10.0.0.30", 5555);
        QCOMPARE(h.tunnel.sent.back().message.from, "10.3.0.3");
        QCOMPARE(h.tunnel.sent.back().message.fromPort, 0);
    }

    void tunnelDatagramIsRelayedAndItsSenderLearned() {
        CoreHarness h;
        h.AddTunnel("peer.example", 11);  // a name does not match the sender's address
        const std::string text = Envelope(MSGTYPE_ONLINE, 9);
        h.FromTunnel(text, "10.8.0.1", 2035);
        h.FromTunnel(Envelope(MSGTYPE_ONLINE, 10), "10.8.0.1", 2035);

        const TunnelList& tunnels = h.app.Settings().tunnels;
        QCOMPARE(tunnels.size(), std::size_t{2});
        QCOMPARE(tunnels[1]->tunHost, "10.8.0.1");
        QCOMPARE(tunnels[1]->tunSubnet, "");
        QVERIFY(tunnels[1]->tunId >= 0 && tunnels[1]->tunId <= 999999);
        // Relayed to the group, with the sender filled in; shown only once heard back.
        QCOMPARE(h.multicast.sent.size(), std::size_t{2});
        QCOMPARE(h.multicast.sent[0].from, "10.8.0.1");
        QCOMPARE(h.multicast.sent[0].fromPort, 2035);
        QCOMPARE(h.app.Contacts().ContactCount(), 0);
        QCOMPARE(h.tunnel.sent.size(), std::size_t{0});
        QCOMPARE(h.app.Stats().receivedPackets, 2);
        QCOMPARE(h.app.Stats().processedPackets, 0);

        h.app.Settings().learnTunnels = 0;  // a relay keeps to the tunnels it was given
        h.FromTunnel(Envelope(MSGTYPE_ONLINE, 11), "10.8.0.2", 2035);
        QCOMPARE(tunnels.size(), std::size_t{2});
        QCOMPARE(h.multicast.sent.size(), std::size_t{3});  // still relayed
    }

    void learnedTunnelsAreBounded() {
        CoreHarness h;
        for (std::size_t i = 0; i < AppSettings::kMaxTunnels; ++i) {
            h.FromTunnel(Envelope(MSGTYPE_ONLINE, static_cast<int>(i) + 1),
                         "10.9." + std::to_string(i / 250) + "." + std::to_string(i % 250));
        }
        QCOMPARE(h.app.Settings().tunnels.size(), AppSettings::kMaxTunnels);
        h.FromTunnel(Envelope(MSGTYPE_ONLINE, 5000), "10.10.0.1");
        QCOMPARE(h.app.Settings().tunnels.size(), AppSettings::kMaxTunnels);
        QCOMPARE(h.multicast.sent.back().id, 5000);  // still relayed
    }

    void announcementsAreAnswered() {
        CoreHarness h;
        h.Connect();
        h.FromGroup(Envelope(MSGTYPE_HELLO, 1), "10.0.0.9");
        QCOMPARE(h.multicast.sent.size(), std::size_t{1});
        QCOMPARE(h.multicast.sent[0].msgType, MSGTYPE_ONLINE);
        QVERIFY(h.multicast.sent[0].body.find("|CLIENT=Tollix v.1.2.0|") != std::string::npos);

        h.app.GoAway();
        h.multicast.sent.clear();
        h.FromGroup(Envelope(MSGTYPE_HELLO, 2), "10.0.0.10");
        QCOMPARE(h.multicast.sent.back().msgType, MSGTYPE_AWAY);
        h.app.Settings().trackSystemIdleTime = 0;  // away is answered only while tracking
        h.FromGroup(Envelope(MSGTYPE_HELLO, 3), "10.0.0.11");
        QCOMPARE(h.multicast.sent.back().msgType, MSGTYPE_ONLINE);

        // The copy's own announcement heard back is forwarded, not answered, not listed.
        h.AddTunnel("far", 11);
        h.multicast.sent.clear();
        h.FromGroup(Envelope(MSGTYPE_HELLO, 4), "10.0.0.5");
        QCOMPARE(h.multicast.sent.size(), std::size_t{0});
        QCOMPARE(h.tunnel.sent.size(), std::size_t{1});
        QVERIFY(h.app.Contacts().FindContact("10.0.0.5") == nullptr);
    }

    void textsAreShownOnlyWhenTheyConcernThisCopy() {
        CoreHarness h;
        const auto text = [](int id, const std::string& to, const std::string& words) {
            return Envelope(MSGTYPE_TEXT, id, "Bob", "Brown", "Ops", "TO=" + to + "|TEXT=" + words);
        };
        h.FromGroup(text(1, "10.0.0.5", "for me"), "10.0.0.9");
        h.FromGroup(text(2, "10.0.0.77", "for another"), "10.0.0.9");
        h.FromGroup(text(3, "10.0.0.5", ""), "10.0.0.9");
        QCOMPARE(h.texts.size(), std::size_t{1});
        QCOMPARE(h.texts[0].contactAddress, "10.0.0.9");
        QCOMPARE(h.texts[0].text, "for me");
        QVERIFY(!h.texts[0].outgoing);
        QCOMPARE(h.app.Contacts().FindContact("10.0.0.9")->presence, PresenceState::Online);
        QCOMPARE(h.app.Contacts().FindContact("10.0.0.9")->client, "unknown");

        // This copy's own text heard back goes to the addressee's conversation, outgoing;
        // with the addressee not listed it is not shown.
        for (const char* to : {"10.0.0.9", "10.0.0.99"}) {
            h.app.SendTextTo(to, "mine");
            h.FromGroup(MessageCodec::EnvelopeText(h.multicast.sent.back()), "10.0.0.5");
        }
        QCOMPARE(h.texts.size(), std::size_t{2});
        QCOMPARE(h.texts[1].contactAddress, "10.0.0.9");
        QCOMPARE(h.texts[1].text, "mine");
        QVERIFY(h.texts[1].outgoing);

        // Only texts it built are its own: not one with its address forged by another
        // host, nor its own heard back after a minute.
        std::string forged = text(6, "10.0.0.9", "forged");
        h.FromGroup(forged.replace(forged.find("FROM=:0"), 7, "FROM=10.0.0.5:2030"), "10.0.0.66");
        h.app.SendTextTo("10.0.0.9", "late");
        h.clock.now += 60;
        h.FromGroup(MessageCodec::EnvelopeText(h.multicast.sent.back()), "10.0.0.5");
        QCOMPARE(h.texts.size(), std::size_t{2});
    }

    void undecodableDatagramIsCountedReportedAndDropped() {
        CoreHarness h;
        h.AddTunnel("far", 11);
        for (int i = 0; i < 101; ++i) {  // push the initial zeros out of the window
            h.FromGroup(Envelope(MSGTYPE_ONLINE, 1000 + i), "10.0.0.9");
        }
        h.tunnel.sent.clear();
        const int contacts = h.app.Contacts().ContactCount();
        h.FromGroup("junk", "10.0.0.66");
        h.FromTunnel("<<<|no end", "10.7.7.7");
        QCOMPARE(h.app.Stats().receivedPackets, 103);
        QCOMPARE(h.app.Stats().receivedBytes - h.app.Stats().processedBytes, 4 + 10);
        QCOMPARE(h.alerts, std::vector<std::string>{"Message decoder Failed!"});  // once in 30 s
        QCOMPARE(h.app.Contacts().ContactCount(), contacts);
        QCOMPARE(h.tunnel.sent.size(), std::size_t{0});
        QCOMPARE(h.app.Settings().tunnels.size(), std::size_t{1});
        QCOMPARE(h.multicast.sent.size(), std::size_t{0});
    }

    void senderMustBeAnAddressAndPort_data() {
        QTest::addColumn<QString>("from");      // the FROM field, "address:port"
        QTest::addColumn<QString>("listedAs");  // empty: refused
        QTest::newRow("filled in") << ":0"
                                   << "10.0.0.9";
        QTest::newRow("dotted") << "10.3.0.3:2030"
                                << "10.3.0.3";
        QTest::newRow("edges") << "0.0.0.0:65535"
                               << "0.0.0.0";
        QTest::newRow("name") << "host.example:2030"
                              << "";
        QTest::newRow("smuggled field") << "x|TEXT=spoof:0"
                                        << "";
        QTest::newRow("five octets") << "1.2.3.4.5:2030"
                                     << "";
        QTest::newRow("octet 256") << "10.0.0.256:2030"
                                   << "";
        QTest::newRow("leading zero") << "10.0.0.09:2030"
                                      << "";
        QTest::newRow("port 70000") << "10.3.0.3:70000"
                                    << "";
        QTest::newRow("negative port") << "10.3.0.3:-1"
                                       << "";
    }
    void senderMustBeAnAddressAndPort() {
        QFETCH(QString, from);
        QFETCH(QString, listedAs);
        CoreHarness h;
        h.AddTunnel("far", 11);
        for (int i = 0; i < 100; ++i) {  // push the initial zeros out of the window
            h.FromGroup(Envelope(MSGTYPE_ONLINE, 1000 + i), "10.0.0.9");
        }
        h.app.Contacts().ClearContacts();
        h.tunnel.sent.clear();
        h.multicast.sent.clear();
        std::string envelope = Envelope(MSGTYPE_HELLO, 7);
        envelope.replace(envelope.find("FROM=:0"), 7, "FROM=" + from.toStdString());
        h.FromTunnel(envelope, "10.8.0.1");
        h.FromGroup(envelope, "10.0.0.9");

        QCOMPARE(h.app.Stats().receivedPackets, 102);
        const bool accepted = !listedAs.isEmpty();
        QCOMPARE(h.app.Contacts().FindContact(listedAs.toStdString()) != nullptr, accepted);
        QCOMPARE(h.app.Contacts().ContactCount(), accepted ? 2 : 0);
        QCOMPARE(h.app.Settings().tunnels.size(), std::size_t{accepted ? 2u : 1u});
        QCOMPARE(h.tunnel.sent.size(), std::size_t{accepted ? 2u : 0u});
        // Relayed from the tunnel to the group, and the announcement answered.
        QCOMPARE(h.multicast.sent.size(), std::size_t{accepted ? 2u : 0u});
        QCOMPARE(h.alerts.empty(), accepted);
    }

    void sendingTexts() {
        CoreHarness h;
        h.Connect();
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.0.9");
        h.multicast.sent.clear();
        Contact* bob = h.app.Contacts().FindContact("10.0.0.9");
        QVERIFY(h.app.SendTextMessage(MSGTYPE_TEXT, bob, ""));
        QVERIFY(h.app.SendTextMessage(MSGTYPE_ONLINE, bob, "x"));
        QVERIFY(h.app.SendTextMessage(MSGTYPE_TEXT, nullptr, "x"));
        QCOMPARE(h.multicast.sent.size(), std::size_t{0});

        h.AddTunnel("far", 11);
        QVERIFY(h.app.SendTextMessage(MSGTYPE_TEXT, bob, "hi\nthere"));
        QCOMPARE(h.multicast.sent.size(), std::size_t{1});
        QCOMPARE(h.tunnel.sent.size(), std::size_t{0});  // tunnels get it when heard back
        QCOMPARE(h.multicast.sent[0].to, "10.0.0.9");
        QCOMPARE(h.multicast.sent[0].body,
                 "|FIRSTNAME=unknown|SECONDNAME=user|GROUP=Other Contacts|TEXT=hi\nthere|");

        // An envelope that would not arrive whole is not sent at all.
        QVERIFY(!h.app.SendTextMessage(MSGTYPE_TEXT, bob, std::string(32000, 'x')));
        QCOMPARE(h.multicast.sent.size(), std::size_t{1});
        QCOMPARE(h.alerts, std::vector<std::string>{"Message is too long!"});
    }

    void longestTextArrivesWholeBehindATunnel() {
        CoreHarness h;
        h.Connect();
        const std::string to = "192.168.100.200";
        std::size_t length = kMaxDatagram;
        while (!h.app.SendTextTo(to, std::string(length, 'x'))) {
            --length;
        }
        QCOMPARE(h.alerts.size(), std::size_t{1});  // "Message is too long!", then no repeat
        QCOMPARE(h.alerts[0], "Message is too long!");
        // Each try had an ID of its own (one to six digits): grow the accepted text to the
        // longest that its ID leaves room for.
        NetMessage longest = h.multicast.sent.back();
        const std::size_t textAt = longest.body.find("TEXT=") + 5;
        for (NetMessage longer = longest; MessageCodec::ArrivesWholeAfterRelay(longer);
             longer.body.insert(textAt, "x")) {
            longest = longer;
        }
        const std::size_t longestLength = BodyValue(longest.body, body_key::kText).size();
        QVERIFY(longestLength >= length);
        longest.from = "255.255.255.255";
        longest.fromPort = 65535;
        longest.tunnel = std::numeric_limits<std::int32_t>::min();
        DatagramBuffer buffer;
        std::size_t size = 0;
        MessageCodec().Encode(longest, buffer, size);
        const NetMessage arrived = DecodeSent(buffer.data(), size);
        QCOMPARE(arrived.tunnel, std::numeric_limits<std::int32_t>::min());
        QCOMPARE(arrived.to, to);
        QCOMPARE(BodyValue(arrived.body, body_key::kText).size(), longestLength);
        QCOMPARE(size, kMaxDatagram);  // and not one character to spare
    }

    void sendFailuresAreReportedAndTheWalkGoesOn() {
        CoreHarness h;
        h.AddTunnel("down", 11);
        h.AddTunnel("up", 22);
        h.tunnel.failingHosts = {"down"};
        h.multicast.sendSucceeds = false;
        NetMessage message;
        MessageCodec().Decode(message, Envelope(MSGTYPE_ONLINE, 5));
        QVERIFY(!h.app.Send(message, true));
        QVERIFY(!h.app.Send(message, false));
        QCOMPARE(h.tunnel.sent.size(), std::size_t{2});
        QCOMPARE(h.alerts, (std::vector<std::string>{"Multicast Failed!", "Tunneling Failed!"}));
    }

    // Where a text to Bob goes, by what is known of him and how his copy answers the open.
    void privateTextGoesWhereTheContactStands_data() {
        QTest::addColumn<QString>("pinned");  // Bob's pinned code before, "" for none
        QTest::addColumn<QString>("answer");  // a session under this code, or "refused"
        QTest::addColumn<int>("group");       // texts to the open group
        QTest::addColumn<int>("frames");      // texts over the session
        QTest::addColumn<Delivery>("delivery");
        QTest::addColumn<PrivateConversations::State>("state");
        using State = PrivateConversations::State;
        QTest::newRow("off") << ""
                             << "off" << 1 << 0 << Delivery::None << State::Off;
        QTest::newRow("no pin, a session pins it")
            << ""
            << "C1" << 0 << 1 << Delivery::Sending << State::Private;
        QTest::newRow("no pin, refused")
            << ""
            << "refused" << 1 << 0 << Delivery::None << State::OpenOnly;
        QTest::newRow("pinned, same code") << "C1"
                                           << "C1" << 0 << 1 << Delivery::Sending << State::Private;
        QTest::newRow("pinned, refused: waits, never open")
            << "C1"
            << "refused" << 0 << 0 << Delivery::Waiting << State::Private;
        QTest::newRow("pinned, changed code: waits")
            << "C1"
            << "C2" << 0 << 0 << Delivery::Waiting << State::Changed;
    }
    void privateTextGoesWhereTheContactStands() {
        QFETCH(QString, pinned);
        QFETCH(QString, answer);
        CoreHarness h;
        FakeSessions sessions;
        MemoryPrivateStore store;
        h.Connect();
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.0.9");
        if (!pinned.isEmpty()) {
            store.SavePin({"10.0.0.9", pinned.toStdString()});
        }
        PrivateConversations& conversations = h.app.Private();
        conversations.SetStores(store, store);
        if (answer != "off") {
            conversations.SetChannel(&sessions);
        }
        QVERIFY(h.app.SendTextTo("10.0.0.9", "hi"));
        if (answer == "refused") {
            conversations.OnSessionFailed("10.0.0.9", false);
        } else if (answer != "off") {
            h.Establish(sessions, "10.0.0.9", answer);
        }
        QTEST(static_cast<int>(h.multicast.SentOfType(MSGTYPE_TEXT).size()), "group");
        QTEST(static_cast<int>(std::count_if(sessions.texts.begin(), sessions.texts.end(),
                                             [](const auto& text) { return text.text == "hi"; })),
              "frames");
        QTEST(conversations.StateOf("10.0.0.9"), "state");
        // A private text is shown at once; an open one when it is heard back.
        const Delivery shown = h.texts.empty()   ? Delivery::None
                               : h.marks.empty() ? h.texts.back().mark.delivery
                                                 : h.marks.back().delivery;
        QTEST(shown, "delivery");
        if (answer == "C1") {
            QCOMPARE(store.FindPin("10.0.0.9")->code, "C1");
        }
    }

    void waitingTextsGoInOrderOnceTheContactIsHeard() {
        CoreHarness h;
        FakeSessions sessions;
        MemoryPrivateStore store;
        store.SavePin({"10.0.0.9", "C1"});
        PrivateConversations& conversations = h.app.Private();
        conversations.SetStores(store, store);
        conversations.SetChannel(&sessions);
        conversations.SetTimings({80, 600, 20, 1000, 10});
        h.Connect();
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 1), "10.0.0.9");
        for (const char* text : {"one", "two", "three"}) {
            h.app.SendTextTo("10.0.0.9", text);
        }
        conversations.OnSessionFailed("10.0.0.9", false);
        QCOMPARE(conversations.Waiting("10.0.0.9").size(), std::size_t{3});
        // A failed open is tried again after the contact was heard; then all go, in order.
        h.FromGroup(Envelope(MSGTYPE_AWAY, 2), "10.0.0.9");
        conversations.OnSessionFailed("10.0.0.9", false);
        const std::size_t opens = sessions.opened.size();
        QTRY_VERIFY(sessions.opened.size() > opens);
        h.Establish(sessions, "10.0.0.9", "C1");
        QCOMPARE(sessions.texts.size(), std::size_t{3});
        QCOMPARE(sessions.texts[2].text, "three");
        QCOMPARE(sessions.texts[0].id.toStdString(), h.texts[0].mark.id);

        // Without an ACK in time the session is given up, and the texts go again over a new
        // one with the same IDs; an ACK then delivers, once, in order.
        QTRY_COMPARE(sessions.closed.size(), std::size_t{1});
        h.Establish(sessions, "10.0.0.9", "C1");
        QCOMPARE(sessions.texts.size(), std::size_t{6});
        QCOMPARE(sessions.texts[3].id, sessions.texts[0].id);
        h.marks.clear();
        for (std::size_t i = 3; i < 6; ++i) {
            conversations.OnSessionAck("10.0.0.9", sessions.texts[i].id);
        }
        conversations.OnSessionAck("10.0.0.9", sessions.texts[0].id);  // again: ignored
        QCOMPARE(h.marks.size(), std::size_t{3});
        QCOMPARE(h.marks[0].id, h.texts[0].mark.id);
        QCOMPARE(h.marks[2].delivery, Delivery::Delivered);
        QCOMPARE(store.WaitingTotal(), std::size_t{0});

        // A waiting text is cancelled, or sent openly once (shown already, not again when
        // heard back); texts beyond the bound are refused with a reason.
        sessions.established.clear();
        conversations.OnSessionClosed("10.0.0.9");
        h.app.SendTextTo("10.0.0.9", "cancel me");
        h.app.SendTextTo("10.0.0.9", "send me openly");
        conversations.OnSessionFailed("10.0.0.9", false);
        const std::vector<WaitingText> waiting = conversations.Waiting("10.0.0.9");
        QVERIFY(conversations.Cancel("10.0.0.9", waiting[0].id));
        QVERIFY(conversations.SendOpenly("10.0.0.9", waiting[1].id));
        const std::size_t shown = h.texts.size();
        h.FromGroup(MessageCodec::EnvelopeText(h.multicast.sent.back()), "10.0.0.5");
        QCOMPARE(h.texts.size(), shown);
        QCOMPARE(h.multicast.sent.back().body.find("send me openly") != std::string::npos, true);
        QVERIFY(conversations.Waiting("10.0.0.9").empty());
        for (std::size_t i = 0; i < PrivateConversations::kMaxWaitingPerContact; ++i) {
            store.AddWaiting({"id" + std::to_string(i), "10.0.0.9", "x"});
        }
        QVERIFY(!h.app.SendTextTo("10.0.0.9", "one too many"));
        QCOMPARE(h.refusals.size(), std::size_t{1});
    }

    void privateTextsReceived() {
        CoreHarness h;
        FakeSessions sessions;
        PrivateConversations& conversations = h.app.Private();
        conversations.SetChannel(&sessions);
        h.Connect();
        // From an address not listed: listed from the session's names, shown as private,
        // acknowledged only once shown; a repeated ID is shown once and acknowledged again.
        h.Establish(sessions, "10.0.0.20", "C1");
        conversations.OnSessionText("10.0.0.20", "id1", "hello");
        conversations.OnSessionText("10.0.0.20", "id1", "hello");
        QCOMPARE(h.texts.size(), std::size_t{1});
        QCOMPARE(h.app.Contacts().FindContact("10.0.0.20")->DisplayName(), "Bob Brown");
        QCOMPARE(h.texts[0].mark.privacy, Privacy::Private);
        QVERIFY(sessions.acks.empty());
        conversations.Shown("10.0.0.20", "id1");
        conversations.OnSessionText("10.0.0.20", "id1", "hello");
        QCOMPARE(sessions.acks, (std::vector<QString>{"id1", "id1"}));
        QCOMPARE(h.texts.size(), std::size_t{1});

        // Its address on the group now would have written privately: unverified. So is a
        // session under another code, until the user trusts it.
        h.FromGroup(Envelope(MSGTYPE_TEXT, 7, "Bob", "Brown", "Ops", "TO=10.0.0.5|TEXT=forged"),
                    "10.0.0.20");
        QCOMPARE(h.texts.back().mark.privacy, Privacy::Unverified);
        h.Establish(sessions, "10.0.0.20", "C2");
        conversations.OnSessionText("10.0.0.20", "id2", "changed");
        QCOMPARE(h.texts.back().mark.privacy, Privacy::Unverified);
        QVERIFY(conversations.Trust("10.0.0.20"));
        QCOMPARE(conversations.Pin("10.0.0.20")->code, "C2");
        QVERIFY(!conversations.Trust("10.0.0.20"));
    }

    void walkSurvivesTunnelsLearnedMeanwhile() {
        // A box shown during the walk runs a nested event loop; routing learns new tunnels
        // there. The walk must go on over the grown list.
        CoreHarness h;
        h.AddTunnel("first", 11);
        int nested = 0;
        h.tunnel.duringSend = [&](const std::string& host) {
            if (host == "first" && nested++ == 0) {
                h.FromTunnel(Envelope(MSGTYPE_ONLINE, 77), "10.8.8.8");
            }
        };
        h.FromGroup(Envelope(MSGTYPE_ONLINE, 76), "10.0.0.9");
        QCOMPARE(h.app.Settings().tunnels.size(), std::size_t{2});
        QCOMPARE(h.tunnel.sent.size(), std::size_t{2});
        QCOMPARE(h.tunnel.sent[1].host, "10.8.8.8");
    }
};

QTEST_GUILESS_MAIN(RoutingTest)
#include "test_routing.moc"
