#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "session/file_transfers.h"
#include "session/identity.h"
#include "session/identity_loader.h"
#include "session/messages.h"
#include "session/session_channel.h"
#include "session/session_limits.h"

namespace tollix {

class SessionManager;

// The private sessions as a program runs them: the identity loaded (or made) on a worker
// thread from the start, so that start-up never waits for it; a SessionManager listening
// while the program is connected and its user wants private conversations; and the
// manager's signals handed to the core's SessionEvents; and the file transfers over it.
//
// What the user must be told comes once each as `notice`: a damaged identity moved aside
// for a new one, an identity that cannot be had (private conversations are then not
// available), a port that cannot be listened on (other copies then cannot open sessions to
// this one, while this one still opens sessions to them).
class SessionService : public QObject, public SessionChannel {
    Q_OBJECT

public:
    explicit SessionService(SessionEvents& events, const SessionLimits& limits = {},
                            QObject* parent = nullptr);
    ~SessionService() override;

    // Starts loading the identity of DATA/Quardell/Tollix/identity.pem.
    void LoadIdentity(const QString& dataDir);
    // Listens and opens sessions from now on, once the identity is there; the HELLO names
    // this copy's user. Stop ends every session and stops listening.
    void Start(const HelloMessage& hello);
    void Stop();
    // The names sent by sessions established from now on.
    void SetHello(const HelloMessage& hello);
    // Files sent and received over the sessions, for the whole run.
    FileTransfers& Files() { return files_; }
    // The port listened on (tests listen on any free one); 0 while not listening.
    quint16 Port() const;

    bool IsRunning() const override { return manager_ != nullptr; }
    bool IsStarting() const override { return wanted_ && !identity_ && !unavailable_; }
    QString OwnCode() const override { return identity_ ? identity_->code : QString(); }
    void Open(const QString& address) override;
    bool IsEstablished(const QString& address) const override;
    bool SendText(const QString& address, const QString& id, const QString& text) override;
    bool SendAck(const QString& address, const QString& id) override;
    void Close(const QString& address) override;

signals:
    void notice(const QString& text);

private:
    void OnLoaded(const IdentityResult& result);
    void Run();
    void ReleaseReserved();

    SessionEvents& events_;
    SessionLimits limits_;
    IdentityLoader loader_;
    std::optional<Identity> identity_;
    bool unavailable_ = false;
    bool wanted_ = false;
    bool listenNoticed_ = false;
    HelloMessage hello_;
    SessionManager* manager_ = nullptr;  // a child, while running
    // Listening while the identity loads, for the manager to take over.
    qintptr reserved_ = -1;
    QString journalPath_;
    FileTransfers files_;  // destroyed before the manager, which its engine uses
};

}  // namespace tollix
