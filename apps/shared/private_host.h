#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "session/session_service.h"

namespace tollix {

class CTollixApp;
class HistoryPrivateStore;
class HistoryStore;

// Private conversations as both programs run them: the core's PrivateConversations on the
// session service, following the setting "Private conversations" (nothing at all while it
// is off, not even an identity), and the connection (sessions and the listener only while
// connected). Pins and waiting texts are kept in the history file when a history store is
// given, in memory otherwise. Notices of the service (a damaged identity, a port taken)
// are shown once each as alerts.
class PrivateHost : public QObject {
    Q_OBJECT

public:
    // `history` may be null (tollix-cli without --history); it must outlive this object.
    PrivateHost(CTollixApp& app, QString dataDir, HistoryStore* history, QObject* parent = nullptr);
    ~PrivateHost() override;

    // Follows the settings and the connection state: at start-up, after the settings
    // changed, and at every connect and disconnect.
    void Apply();
    SessionService& Service() { return service_; }
    FileTransfers& Files() { return service_.Files(); }

private:
    void SyncHistory();

    CTollixApp& app_;
    QString dataDir_;
    HistoryStore* history_;
    SessionService service_;
    std::unique_ptr<HistoryPrivateStore> stored_;
    bool storesSet_ = false;
    bool identityAsked_ = false;
};

}  // namespace tollix
