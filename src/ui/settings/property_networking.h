#pragma once

#include <memory>
#include <string>

#include "core/app_settings.h"
#include "ui/settings/property_page.h"

class QListWidget;

namespace tollix {

class CTollixApp;

// The Networking page's working values.
struct NetworkingPage {
    // The same entries as the application's tunnel list when the sheet opened; rebuilt
    // from the page's tunnel list by OK, in the list's order.
    TunnelList workingTunnels;
    int ignoreLocalInterfaces = 0;
    int connectOnStartup = 1;
    int sendAway = 1;
    int awayMinutes = 5;
};

// Tunnels, this machine's addresses, the start-up and interface switches and the away
// time-out.
class CPropertyNetworking : public CPropertyPage {
    Q_OBJECT

public:
    static constexpr int kMinAwayMinutes = 1;
    static constexpr int kMaxAwayMinutes = 60;

    // `app` gives the contact names of the tunnel items and the local addresses.
    explicit CPropertyNetworking(CTollixApp& app, QWidget* parent = nullptr);

    NetworkingPage& Values() { return values_; }
    const NetworkingPage& Values() const { return values_; }

    bool OnOK() override;

    // Lists `host`, linked to `entry` (a new entry when none), unless the host is empty,
    // already listed (compared whole, without regard to case) or the list is full.
    void AddTunnelItem(const std::string& host, std::shared_ptr<TunnelEntry> entry);
    // The Add button: the trimmed host of the edit, which is emptied afterwards.
    void OnAddTunnel();
    // The Remove button: the selected item, after the user confirmed.
    void OnRemoveTunnel();
    // A click on "Send AWAY message:".
    void OnAwayCheck();

protected:
    void OnInitDialog() override;
    bool DoDataExchange(bool save) override;

private:
    QListWidget* TunnelListBox() const;

    CTollixApp& app_;
    NetworkingPage values_;
};

}  // namespace tollix
