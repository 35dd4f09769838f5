#pragma once

// The core with fake channels and a settable clock, recording what it reports upwards.
#include <QObject>
#include <string>
#include <vector>

#include "core/tollix_app.h"
#include "fakes.h"

namespace tollix::testing {

struct CoreHarness {
    struct ShownText {
        std::string contactAddress;
        std::string text;
        bool outgoing;
    };

    FakeClock clock;
    FakeMulticast multicast;
    FakeTunnel tunnel;
    CTollixApp app{multicast, tunnel, clock};
    std::vector<std::string> alerts;
    std::vector<ShownText> texts;
    int connectionChanges = 0;

    CoreHarness() {
        app.Alerts().SetSurplusLog(nullptr);
        app.Contacts().SetRefusalLog(nullptr);
        QObject::connect(&app.Alerts(), &AlertService::alertRaised,
                         [this](AlertKind, const QString&, const QString& text) {
                             alerts.push_back(text.toStdString());
                         });
        QObject::connect(&app, &CTollixApp::textArrived,
                         [this](Contact& contact, const std::string& text, bool outgoing) {
                             texts.push_back({contact.address, text, outgoing});
                         });
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
    // Connects and forgets what the connect sent.
    void Connect() {
        app.SetConnected(true);
        multicast.sent.clear();
        tunnel.sent.clear();
    }
};

}  // namespace tollix::testing
