#include "private_host.h"

#include <QTimer>

#include "core/private_conversations.h"
#include "core/tollix_app.h"
#include "history/history_private_store.h"
#include "history/history_store.h"
#include "protocol/version.h"

namespace tollix {

namespace {

// How soon pins and waiting texts are read again from a history file that was busy.
constexpr int kBusyRetryMs = 500;

}  // namespace

PrivateHost::PrivateHost(CTollixApp& app, QString dataDir, HistoryStore* history, QObject* parent)
    : QObject(parent),
      app_(app),
      dataDir_(std::move(dataDir)),
      history_(history),
      service_(app.Private()) {
    connect(&service_, &SessionService::notice, this,
            [this](const QString& text) { app_.Alerts().Show(text.toStdString()); });
    connect(&app_, &CTollixApp::connectionChanged, this, &PrivateHost::Apply);
    connect(&app_, &CTollixApp::settingsChanged, this, &PrivateHost::Apply);
    if (history != nullptr) {
        stored_ = std::make_unique<HistoryPrivateStore>(*history);
        // Texts of contacts with a pinned code are always stored, whatever the day's room
        // for strangers' texts.
        history->Budget().SetKeepsAll([this](const QString& address) {
            return app_.Private().Pin(address.toStdString()).has_value();
        });
        connect(history, &HistoryStore::opened, this, &PrivateHost::SyncHistory);
        connect(history, &HistoryStore::replaced, this, &PrivateHost::SyncHistory);
        SyncHistory();
    }
    Apply();
}

PrivateHost::~PrivateHost() {
    // The core and the history outlive what this object made for them.
    app_.Private().SetChannel(nullptr);
    app_.Private().UseOwnStores();
    if (history_ != nullptr) {
        history_->Budget().SetKeepsAll({});
    }
}

void PrivateHost::SyncHistory() {
    stored_->Sync();
    // Once its file has been read, the store replaces the core's own in memory.
    if (!storesSet_ && stored_->Loaded()) {
        storesSet_ = true;
        app_.Private().SetStores(*stored_, *stored_);
    } else if (!storesSet_ && history_->IsOpen()) {
        // Busy (another program's transaction): read again a little later.
        QTimer::singleShot(kBusyRetryMs, this, &PrivateHost::SyncHistory);
    }
}

void PrivateHost::Apply() {
    const AppSettings& settings = app_.Settings();
    if (settings.privateConversations == 0) {
        service_.Stop();
        app_.Private().SetChannel(nullptr);
        return;
    }
    if (!std::exchange(identityAsked_, true)) {
        service_.LoadIdentity(dataDir_);  // on a thread of its own: start-up does not wait
    }
    const HelloMessage hello{kSessionProtocolVersion, QString::fromStdString(ClientName()),
                             QString::fromStdString(settings.userFirstName),
                             QString::fromStdString(settings.userLastName),
                             QString::fromStdString(settings.userGroupName)};
    service_.SetHello(hello);
    app_.Private().SetChannel(&service_);
    if (app_.IsConnected()) {
        service_.Start(hello);
    } else {
        service_.Stop();
    }
}

}  // namespace tollix
