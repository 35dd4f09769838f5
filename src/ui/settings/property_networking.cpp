#include "ui/settings/property_networking.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "core/tollix_app.h"
#include "protocol/text.h"
#include "ui/common/up_down_control.h"
#include "ui/settings/property_networking_table.h"
#include "ui/settings/sorted_list.h"

namespace tollix {

using namespace networking_table;

namespace {

// An item of the tunnel list, holding the entry that it stands for.
class TunnelItem : public QListWidgetItem {
public:
    TunnelItem(const QString& text, std::shared_ptr<TunnelEntry> tunnel)
        : QListWidgetItem(text), entry(std::move(tunnel)) {}

    std::shared_ptr<TunnelEntry> entry;
};

TunnelItem* ItemAt(QListWidget* list, int row) {
    return static_cast<TunnelItem*>(list->item(row));
}

}  // namespace

CPropertyNetworking::CPropertyNetworking(CTollixApp& app, QWidget* parent)
    : CPropertyPage(kDialog, parent), app_(app) {}

QListWidget* CPropertyNetworking::TunnelListBox() const {
    return Controls().Get<QListWidget>(kTunnelList);
}

void CPropertyNetworking::OnInitDialog() {
    DoDataExchange(false);

    AttachSpin(kSpin, kAwayMinutes, kMinAwayMinutes, kMaxAwayMinutes, values_.awayMinutes);
    Controls().Get<QLineEdit>(kAwayMinutes)->setEnabled(values_.sendAway != 0);
    Controls().Get<UpDownControl>(kSpin)->setEnabled(values_.sendAway != 0);

    for (const std::shared_ptr<TunnelEntry>& entry : values_.workingTunnels) {
        if (entry && !entry->tunHost.empty()) {
            AddTunnelItem(entry->tunHost, entry);
        }
    }

    std::vector<std::string> addresses;
    app_.Multicast().GetLocalAddresses(addresses);
    auto* interfaces = Controls().Get<QListWidget>(kInterfaceList);
    for (const std::string& address : addresses) {
        if (!address.empty()) {
            InsertSorted(interfaces, new QListWidgetItem(QString::fromStdString(address)));
        }
    }

    connect(Controls().Get<QPushButton>(kAdd), &QPushButton::clicked, this,
            &CPropertyNetworking::OnAddTunnel);
    connect(Controls().Get<QPushButton>(kRemove), &QPushButton::clicked, this,
            &CPropertyNetworking::OnRemoveTunnel);
    connect(Controls().Get<QCheckBox>(kSendAway), &QCheckBox::clicked, this,
            &CPropertyNetworking::OnAwayCheck);
}

bool CPropertyNetworking::DoDataExchange(bool save) {
    ExchangeCheck(save, kIgnore192168, values_.ignoreLocalInterfaces);
    ExchangeCheck(save, kConnectOnStartup, values_.connectOnStartup);
    ExchangeCheck(save, kSendAway, values_.sendAway);
    return ExchangeInt(save, kAwayMinutes, values_.awayMinutes);
}

bool CPropertyNetworking::OnOK() {
    if (!CPropertyPage::OnOK()) {
        return false;
    }
    if (IsOpened()) {
        QListWidget* list = TunnelListBox();
        TunnelList tunnels;
        tunnels.reserve(static_cast<std::size_t>(list->count()));
        for (int row = 0; row < list->count(); ++row) {
            tunnels.push_back(ItemAt(list, row)->entry);
        }
        values_.workingTunnels = std::move(tunnels);
    }
    return true;
}

void CPropertyNetworking::AddTunnelItem(const std::string& host,
                                        std::shared_ptr<TunnelEntry> entry) {
    QListWidget* list = TunnelListBox();
    if (host.empty() || static_cast<std::size_t>(list->count()) >= AppSettings::kMaxTunnels) {
        return;
    }
    // The whole host is compared, so that "10.0.0.1" can be listed beside "10.0.0.12".
    for (int row = 0; row < list->count(); ++row) {
        const TunnelItem* item = ItemAt(list, row);
        if (item->entry && EqualsIgnoreCase(item->entry->tunHost, host)) {
            return;
        }
    }
    if (!entry) {
        entry = AppSettings::MakeTunnelEntry(host);
    }
    QString text = QString::fromStdString(host);
    if (const Contact* contact = app_.Contacts().FindContact(host)) {
        const std::string name = contact->DisplayName();
        if (!name.empty()) {
            text += QStringLiteral(" (") + QString::fromStdString(name) + QStringLiteral(")");
        }
    }
    InsertSorted(list, new TunnelItem(text, std::move(entry)));
}

void CPropertyNetworking::OnAddTunnel() {
    auto* edit = Controls().Get<QLineEdit>(kHost);
    if (static_cast<std::size_t>(TunnelListBox()->count()) >= AppSettings::kMaxTunnels) {
        return;  // the list is bounded like the application's; the host stays to be seen
    }
    const std::string host(Trim(edit->text().toStdString()));
    if (host.empty()) {
        return;
    }
    AddTunnelItem(host, nullptr);
    edit->clear();
}

void CPropertyNetworking::OnRemoveTunnel() {
    QListWidget* list = TunnelListBox();
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    if (!Confirm(QStringLiteral("Are You Sure?"), QMessageBox::Yes)) {
        return;
    }
    // The entry leaves only the page's list; the application's list keeps it until OK.
    for (QListWidgetItem* item : list->selectedItems()) {
        delete list->takeItem(list->row(item));
    }
}

void CPropertyNetworking::OnAwayCheck() {
    DoDataExchange(true);  // may refuse the minutes; the switch has been read before them
    const bool on = Controls().Get<QCheckBox>(kSendAway)->isChecked();
    Controls().Get<QLineEdit>(kAwayMinutes)->setEnabled(on);
    Controls().Get<UpDownControl>(kSpin)->setEnabled(on);
}

}  // namespace tollix
