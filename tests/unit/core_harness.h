#pragma once

// The core with fake channels and a settable clock, recording what it reports upwards.
#include <QObject>
#include <string>
#include <vector>

#include "core/private_conversations.h"
#include "core/tollix_app.h"
#include "fakes.h"

namespace tollix::testing {

struct CoreHarness {
    struct ShownText {
        std::string contactAddress;
        std::string text;
        bool outgoing;
        TextMark mark;
    };

    FakeClock clock;
    FakeMulticast multicast;
    FakeTunnel tunnel;
    CTollixApp app{multicast, tunnel, clock};
    std::vector<std::string> alerts;
    std::vector<ShownText> texts;
    std::vector<TextMark> marks;  // later marks of private texts
    std::vector<std::string> refusals;
    int connectionChanges = 0;

    CoreHarness() {
        app.Alerts().SetSurplusLog(nullptr);
        app.Contacts().SetRefusalLog(nullptr);
        QObject::connect(&app.Alerts(), &AlertService::alertRaised,
                         [this](AlertKind, const QString&, const QString& text) {
                             alerts.push_back(text.toStdString());
                         });
        QObject::connect(
            &app, &CTollixApp::textArrived,
            [this](Contact& contact, const std::string& text, bool outgoing, const TextMark& mark) {
                texts.push_back({contact.address, text, outgoing, mark});
            });
        QObject::connect(&app.Private(), &PrivateConversations::textMarked,
                         [this](const std::string&, const std::string&, const TextMark& mark) {
                             marks.push_back(mark);
                         });
        QObject::connect(
            &app.Private(), &PrivateConversations::textRefused,
            [this](const std::string&, const std::string& reason) { refusals.push_back(reason); });
        QObject::connect(&app, &CTollixApp::connectionChanged, [this] { ++connectionChanges; });
    }

    void FromGroup(const std::string& envelope, const std::string& sender = "10.0.0.9",
                   std::uint16_t port = 4000) {
        app.HandleDatagram(envelope, sender, port, true);
    }
    void FromTunnel(const std::string& envelope, const std::string& sender = "10.8.0.1",
                    std::uint16_t port = 2035) {
        app.HandleDatagram(envelope, sender, port, false);
    }
    void AddTunnel(const std::string& host, std::int32_t id) {
        app.Settings().tunnels.push_back(std::make_shared<TunnelEntry>(TunnelEntry{host, {}, id}));
    }
    // Private conversations on fake sessions, with the peer at `address` answering an open
    // with a session under `code`.
    void Establish(FakeSessions& sessions, const std::string& address, const QString& code) {
        const QString peer = QString::fromStdString(address);
        sessions.established.insert(peer);
        app.Private().OnSessionEstablished(peer, {code, "Tollix v.1.2.0", "Bob", "Brown", "Ops"});
    }
    // Connects and forgets what the connect sent.
    void Connect() {
        app.SetConnected(true);
        multicast.sent.clear();
        tunnel.sent.clear();
    }
};

}  // namespace tollix::testing
