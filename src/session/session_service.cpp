#include "session/session_service.h"

#include <unistd.h>

#include <utility>

#include "session/file_journal.h"
#include "session/session_manager.h"

namespace tollix {

SessionService::SessionService(SessionEvents& events, const SessionLimits& limits, QObject* parent)
    : QObject(parent), events_(events), limits_(limits) {
    connect(&loader_, &IdentityLoader::loaded, this, &SessionService::OnLoaded);
}

SessionService::~SessionService() {
    ReleaseReserved();
}

void SessionService::ReleaseReserved() {
    if (reserved_ >= 0) {
        ::close(static_cast<int>(std::exchange(reserved_, -1)));
    }
}

void SessionService::LoadIdentity(const QString& dataDir) {
    journalPath_ = FileJournalPath(dataDir);
    loader_.Start(dataDir);
}

void SessionService::OnLoaded(const IdentityResult& result) {
    if (!result.notice.isEmpty()) {
        emit notice(result.notice);
    }
    if (!result.identity) {
        unavailable_ = true;
        ReleaseReserved();
        files_.SetStarting(false);
        emit notice("Private conversations are not available: " + result.error);
        events_.OnSessionsRunning(false);
        return;
    }
    identity_ = result.identity;
    if (wanted_) {
        Run();
    }
}

void SessionService::Start(const HelloMessage& hello) {
    hello_ = hello;
    wanted_ = true;
    if (identity_ && manager_ == nullptr) {
        Run();
    } else if (IsStarting() && reserved_ < 0) {
        // The copy announces itself now: a peer that answers with a session must not be
        // refused because the identity is still being made.
        reserved_ = SessionManager::ReserveListener(limits_.port);
        files_.SetStarting(true);
    }
}

void SessionService::Run() {
    manager_ = new SessionManager(*identity_, hello_, limits_, this);
    SessionManager& manager = *manager_;
    connect(&manager, &SessionManager::established, this,
            [this](const QString& address, const QString& code, const HelloMessage& hello) {
                events_.OnSessionEstablished(
                    address, {code, hello.client, hello.firstName, hello.lastName, hello.group});
            });
    connect(&manager, &SessionManager::failed, this,
            [this](const QString& address, OpenFailure failure, const QString&) {
                events_.OnSessionFailed(address, failure == OpenFailure::Refused);
            });
    connect(
        &manager, &SessionManager::closed, this,
        [this](const QString& address, int, const QString&) { events_.OnSessionClosed(address); });
    connect(&manager, &SessionManager::textReceived, this,
            [this](const QString& address, const QString& id, const QString& text) {
                events_.OnSessionText(address, id, text);
            });
    connect(
        &manager, &SessionManager::ackReceived, this,
        [this](const QString& address, const QString& id) { events_.OnSessionAck(address, id); });
    connect(&manager, &SessionManager::protocolError, this,
            [this](const QString& address, const QString& detail) {
                events_.OnSessionProtocolError(address, detail);
            });
    // Without the listener this copy still opens sessions: only the others cannot.
    if (!manager.Listen(QHostAddress::AnyIPv4, std::exchange(reserved_, -1)) &&
        !std::exchange(listenNoticed_, true)) {
        emit notice("Other copies cannot open private conversations with this one: " +
                    manager.ListenError());
    }
    files_.Attach(manager, journalPath_);
    events_.OnSessionsRunning(true);
}

void SessionService::Stop() {
    wanted_ = false;
    ReleaseReserved();
    files_.SetStarting(false);
    if (manager_ == nullptr) {
        return;
    }
    // Later: Stop may be reached from inside one of the manager's own signals.
    files_.Detach();  // its transfers end while their sessions still carry the word
    SessionManager* manager = std::exchange(manager_, nullptr);
    manager->disconnect(this);
    manager->StopAll();
    manager->deleteLater();
    events_.OnSessionsRunning(false);
}

void SessionService::SetHello(const HelloMessage& hello) {
    hello_ = hello;
    if (manager_ != nullptr) {
        manager_->SetHello(hello);
    }
}

quint16 SessionService::Port() const {
    return manager_ != nullptr && manager_->ListenError().isEmpty() ? manager_->Port() : 0;
}

void SessionService::Open(const QString& address) {
    if (manager_ != nullptr) {
        manager_->Open(address);
    }
}

bool SessionService::IsEstablished(const QString& address) const {
    return manager_ != nullptr && manager_->IsEstablished(address);
}

bool SessionService::SendText(const QString& address, const QString& id, const QString& text) {
    return manager_ != nullptr && manager_->SendText(address, id, text);
}

bool SessionService::SendAck(const QString& address, const QString& id) {
    return manager_ != nullptr && manager_->SendAck(address, id);
}

void SessionService::Close(const QString& address) {
    if (manager_ != nullptr) {
        manager_->Close(address);
    }
}

}  // namespace tollix
