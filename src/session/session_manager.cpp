#include "session/session_manager.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>

#include "session/tls_setup.h"

namespace tollix {

namespace {

// The dotted peer address of an accepted descriptor, for the log.
QString PeerOf(qintptr descriptor) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(static_cast<int>(descriptor), reinterpret_cast<sockaddr*>(&peer), &size) !=
        0) {
        return {};
    }
    return QHostAddress(ntohl(peer.sin_addr.s_addr)).toString();
}

}  // namespace

class SessionManager::Listener : public QTcpServer {
public:
    explicit Listener(SessionManager* manager) : QTcpServer(manager), manager_(manager) {}

protected:
    void incomingConnection(qintptr descriptor) override { manager_->Accept(descriptor); }

private:
    SessionManager* manager_;
};

SessionManager::SessionManager(const Identity& identity, const HelloMessage& hello,
                               const SessionLimits& limits, QObject* parent)
    : QObject(parent),
      setup_{SessionTlsConfiguration(identity), limits, hello, {}},
      ownCode_(identity.code),
      listener_(new Listener(this)) {}

SessionManager::~SessionManager() {
    for (SessionConnection* connection : findChildren<SessionConnection*>()) {
        connection->disconnect(this);
        connection->Abort();
    }
}

qintptr SessionManager::ReserveListener(quint16 port) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (descriptor < 0 || ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(descriptor, SOMAXCONN) != 0) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return -1;
    }
    return descriptor;
}

bool SessionManager::Listen(const QHostAddress& address, qintptr reserved) {
    if (!QSslSocket::supportsSsl()) {
        if (reserved >= 0) {
            ::close(static_cast<int>(reserved));
        }
        listenError_ = "TLS is not available: Qt found no OpenSSL 3 library";
        return false;
    }
    if (reserved >= 0 && !listener_->setSocketDescriptor(reserved)) {
        ::close(static_cast<int>(reserved));
    }
    if (!listener_->isListening() && !listener_->listen(address, setup_.limits.port)) {
        listenError_ =
            "TCP port " + QString::number(setup_.limits.port) + ": " + listener_->errorString();
        return false;
    }
    setup_.limits.port = listener_->serverPort();
    if (address != QHostAddress::AnyIPv4 && address != QHostAddress::Any) {
        setup_.source = address;
    }
    listenError_.clear();
    return true;
}

void SessionManager::Open(const QString& address) {
    const QHostAddress peer(address);
    if (peer.protocol() != QHostAddress::IPv4Protocol) {
        emit failed(address, OpenFailure::NoAnswer, "not an IPv4 address");
        return;
    }
    const QString key = peer.toString();
    if (sessions_.contains(key) || opens_.contains(key)) {
        return;
    }
    opens_.insert(key, {SessionClockMs() + setup_.limits.openTimeoutMs, OpenFailure::NoAnswer, {}});
    if (Pending(key) == nullptr) {
        Adopt(new SessionConnection(peer, setup_, this));
    }
}

bool SessionManager::IsEstablished(const QString& address) const {
    return sessions_.contains(address);
}

QString SessionManager::PeerCode(const QString& address) const {
    const SessionConnection* connection = sessions_.value(address);
    return connection == nullptr ? QString() : connection->PeerCode();
}

bool SessionManager::SendText(const QString& address, const QString& id, const QString& text) {
    SessionConnection* connection = sessions_.value(address);
    return connection != nullptr && IsTextId(id) && !text.isEmpty() &&
           QStringView(text).isValidUtf16() && text.toUtf8().size() <= kMaxTextBytes &&
           connection->SendControl(Encode(TextMessage{id, text}));
}

bool SessionManager::SendAck(const QString& address, const QString& id) {
    SessionConnection* connection = sessions_.value(address);
    return connection != nullptr && IsTextId(id) && connection->SendControl(Encode(AckMessage{id}));
}

int SessionManager::Version(const QString& address) const {
    const SessionConnection* connection = sessions_.value(address);
    return connection == nullptr ? 0 : connection->Version();
}

SessionConnection* SessionManager::FileSession(const QString& address, std::uint8_t kind) const {
    SessionConnection* connection = sessions_.value(address);
    return connection != nullptr && kind >= kFirstFileKind && kind <= kLastFileKind &&
                   connection->Version() >= kFirstFileVersion
               ? connection
               : nullptr;
}

bool SessionManager::SendBulk(const QString& address, std::uint8_t kind, QByteArrayView payload) {
    SessionConnection* connection = FileSession(address, kind);
    return connection != nullptr && connection->SendBulk(kind, payload);
}

bool SessionManager::SendFileControl(const QString& address, std::uint8_t kind,
                                     QByteArrayView payload) {
    SessionConnection* connection = FileSession(address, kind);
    return connection != nullptr && connection->SendControl({kind, payload.toByteArray()});
}

void SessionManager::SetReceivePaused(const QString& address, bool paused) {
    if (SessionConnection* connection = sessions_.value(address)) {
        connection->SetReceivePaused(paused);
    }
}

void SessionManager::CloseMalformed(const QString& address, const QString& detail) {
    if (SessionConnection* connection = sessions_.take(address)) {
        connection->Close(CloseCode::Malformed);
        emit protocolError(address, detail);
        emit closed(address, static_cast<int>(CloseCode::Malformed), detail);
    }
}

void SessionManager::Close(const QString& address) {
    opens_.remove(address);
    if (SessionConnection* connection = sessions_.take(address)) {
        connection->Close(CloseCode::Normal);
    }
    while (SessionConnection* connection = Pending(address)) {
        Forget(connection);
        connection->Abort();
    }
}

void SessionManager::StopAll() {
    listener_->close();
    opens_.clear();
    for (SessionConnection* connection : std::as_const(sessions_)) {
        connection->Close(CloseCode::Shutdown);
    }
    sessions_.clear();
    for (SessionConnection* connection : std::as_const(pending_)) {
        connection->Abort();
    }
    pending_.clear();
}

void SessionManager::Accept(qintptr descriptor) {
    if (PendingIncoming() >= setup_.limits.maxHandshakes) {
        const QString peer = PeerOf(descriptor);
        ::close(static_cast<int>(descriptor));
        emit protocolError(peer, "more than " + QString::number(setup_.limits.maxHandshakes) +
                                     " handshakes at once; closed at once");
        return;
    }
    auto* connection = new SessionConnection(descriptor, setup_, this);
    const QString address = connection->Address();
    for (SessionConnection* other : std::as_const(pending_)) {
        if (other->Address() != address) {
            continue;
        }
        // Both sides opened at once: both keep the connection opened by the lower address.
        if (other->Outgoing() &&
            connection->LocalAddress().toIPv4Address() < QHostAddress(address).toIPv4Address()) {
            connection->Abort();
            return;
        }
        // The peer gave up its earlier connection, or lost the collision.
        Forget(other);
        other->Abort();
        break;
    }
    Adopt(connection);
}

void SessionManager::Adopt(SessionConnection* connection) {
    pending_.append(connection);
    connect(connection, &SessionConnection::established, this, &SessionManager::OnEstablished);
    connect(connection, &SessionConnection::failed, this, &SessionManager::OnFailed);
    connect(connection, &SessionConnection::ended, this, &SessionManager::OnEnded);
    connect(connection, &SessionConnection::textReceived, this,
            [this](SessionConnection* from, const TextMessage& text) {
                emit textReceived(from->Address(), text.id, text.text);
            });
    connect(connection, &SessionConnection::ackReceived, this,
            [this](SessionConnection* from, const AckMessage& ack) {
                emit ackReceived(from->Address(), ack.id);
            });
    connect(connection, &SessionConnection::fileFrameReceived, this,
            [this](SessionConnection* from, std::uint8_t kind, const QByteArray& payload) {
                emit fileFrameReceived(from->Address(), kind, payload);
            });
    connect(connection, &SessionConnection::bulkWritable, this,
            [this](SessionConnection* from) { emit bulkWritable(from->Address()); });
    connect(connection, &SessionConnection::protocolError, this,
            [this](SessionConnection* from, const QString& detail) {
                emit protocolError(from->Address(), detail);
            });
}

void SessionManager::OnEstablished(SessionConnection* connection) {
    pending_.removeOne(connection);
    const QString address = connection->Address();
    if (SessionConnection* older = sessions_.value(address)) {
        older->Close(CloseCode::Replaced);
    }
    sessions_.insert(address, connection);
    opens_.remove(address);
    MakeRoom(connection);
    emit established(address, connection->PeerCode(), connection->PeerHello());
}

void SessionManager::OnFailed(SessionConnection* connection, OpenFailure failure,
                              const QString& detail) {
    Forget(connection);
    const QString address = connection->Address();
    const auto request = opens_.find(address);
    if (request == opens_.end()) {
        return;
    }
    request->failure = failure;
    request->detail = detail;
    SettleOpen(address);
}

void SessionManager::OnEnded(SessionConnection* connection, int code, const QString& reason) {
    if (sessions_.value(connection->Address()) == connection) {
        sessions_.remove(connection->Address());
        emit closed(connection->Address(), code, reason);
    }
}

void SessionManager::SettleOpen(const QString& address) {
    const auto request = opens_.find(address);
    if (request == opens_.end() || Pending(address) != nullptr) {
        return;
    }
    // A peer that closes during the handshake may be one that opened to this copy at the
    // same moment and keeps its own connection: its session may still come before the
    // open time is up.
    const qint64 remaining = request->deadline - SessionClockMs();
    if (request->failure == OpenFailure::NotASessionPeer && remaining > 0) {
        QTimer::singleShot(remaining, this, [this, address] { SettleOpen(address); });
        return;
    }
    const OpenRequest settled = *request;
    opens_.erase(request);
    emit failed(address, settled.failure, settled.detail);
}

void SessionManager::MakeRoom(SessionConnection* keep) {
    while (sessions_.size() > setup_.limits.maxSessions) {
        SessionConnection* idlest = nullptr;
        for (SessionConnection* session : std::as_const(sessions_)) {
            if (session != keep &&
                (idlest == nullptr || session->LastActivity() < idlest->LastActivity())) {
                idlest = session;
            }
        }
        sessions_.remove(idlest->Address());
        idlest->Close(CloseCode::Busy);
        emit closed(idlest->Address(), static_cast<int>(CloseCode::Busy),
                    SessionConnection::ReasonText(CloseCode::Busy));
    }
}

void SessionManager::Forget(SessionConnection* connection) {
    pending_.removeOne(connection);
    if (sessions_.value(connection->Address()) == connection) {
        sessions_.remove(connection->Address());
    }
}

SessionConnection* SessionManager::Pending(const QString& address) const {
    for (SessionConnection* connection : pending_) {
        if (connection->Address() == address) {
            return connection;
        }
    }
    return nullptr;
}

int SessionManager::PendingIncoming() const {
    return static_cast<int>(
        std::count_if(pending_.begin(), pending_.end(),
                      [](const SessionConnection* connection) { return !connection->Outgoing(); }));
}

}  // namespace tollix
