#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>

#include "session/frame.h"
#include "session/messages.h"
#include "session/session_limits.h"

namespace tollix {

// The clock of deadlines and idle times: steady, in milliseconds.
inline qint64 SessionClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What every connection of one manager shares: the TLS set-up, the limits and this copy's
// HELLO, read when the HELLO is sent.
struct SessionSetup {
    QSslConfiguration tls;
    SessionLimits limits;
    HelloMessage hello;
    // Outgoing connections leave from this address when it is set: the one listened on,
    // when that is not every address.
    QHostAddress source;
};

// Why an Open did not lead to a session.
enum class OpenFailure {
    Refused,          // the TCP connection was refused: nothing listens on the port
    NoAnswer,         // no TCP connection within the open time (a firewall may drop it)
    NotASessionPeer,  // connected, but the TLS handshake or the HELLO did not come through
};
// "refused", "no answer" or "not a private-session peer".
QString OpenFailureText(OpenFailure failure);

// One TLS connection of the session layer from its TCP connection to its end: handshake,
// the HELLOs, frames, deadlines and the idle time. Which connections are kept is the
// manager's decision.
//
// It is established once the TLS handshake is done and the peer's HELLO has come. Before
// that it ends with `failed`, after that with `ended`; a close that the manager asks for
// (Close, Abort) emits neither. An ended connection deletes itself once its socket has
// closed (after CLOSE, its last bytes are given the handshake time to leave).
class SessionConnection : public QObject {
    Q_OBJECT

public:
    enum class State { Opening, AwaitingHello, Established, Ended };

    // Connects to `peer` on the setup's port, from the setup's source address.
    SessionConnection(const QHostAddress& peer, const SessionSetup& setup, QObject* parent);
    // Takes a connection that the listener accepted.
    SessionConnection(qintptr descriptor, const SessionSetup& setup, QObject* parent);

    QString Address() const { return address_; }  // the peer's IPv4 address, dotted
    bool Outgoing() const { return outgoing_; }
    State CurrentState() const { return state_; }
    // This copy's address as the peer sees it (incoming connections).
    QHostAddress LocalAddress() const { return socket_->localAddress(); }
    QString PeerCode() const { return peerCode_; }
    const HelloMessage& PeerHello() const { return peerHello_; }
    // The lower of the two sides' versions, once established.
    int Version() const { return version_; }
    // When a frame last went either way (steady clock, ms).
    qint64 LastActivity() const { return lastActivity_; }

    // A control frame goes out at once, ahead of bulk frames not yet taken. False when the
    // connection is not established.
    bool SendControl(const Frame& frame);
    // Takes a bulk frame while less than the bulk threshold waits to be sent; otherwise
    // false, and `bulkWritable` follows when there is room again.
    bool SendBulk(std::uint8_t kind, QByteArrayView payload);
    // While paused, nothing more is read from the socket (the peer's sending stops when the
    // kernel's buffers fill), so that a slow consumer of file data keeps memory flat.
    void SetReceivePaused(bool paused);
    // Sends CLOSE with the code (once TLS is up) and closes.
    void Close(CloseCode code);
    // Closes at once, without CLOSE.
    void Abort();

    static QString ReasonText(CloseCode code);

signals:
    void established(tollix::SessionConnection* connection);
    void textReceived(tollix::SessionConnection* connection, const tollix::TextMessage& text);
    void ackReceived(tollix::SessionConnection* connection, const tollix::AckMessage& ack);
    // A frame of a file kind, on a session whose version defines them.
    void fileFrameReceived(tollix::SessionConnection* connection, std::uint8_t kind,
                           const QByteArray& payload);
    void bulkWritable(tollix::SessionConnection* connection);
    void failed(tollix::SessionConnection* connection, tollix::OpenFailure failure,
                const QString& detail);
    // `code` is the CLOSE code, or -1 when the connection was lost without one.
    void ended(tollix::SessionConnection* connection, int code, const QString& reason);
    // A frame over the limit or malformed, a handshake that failed or took too long: for
    // the caller's throttled log. `failed` or `ended` follows.
    void protocolError(tollix::SessionConnection* connection, const QString& detail);

private:
    SessionConnection(bool outgoing, const SessionSetup& setup, QObject* parent);
    void Tune();
    void OnEncrypted();
    void OnReadyRead();
    void Handle(const Frame& frame);
    void OnHello(const Frame& frame);
    void OnClose(const Frame& frame);
    void OnTimer();
    void OnSocketError();
    void OnWritten();
    // A frame over the limit or malformed: CLOSE with the code, then `protocolError` and
    // `failed` or `ended`.
    void Violation(CloseCode code, const QString& detail);
    // Ends a connection that is not yet established.
    void Fail(OpenFailure failure, const QString& detail);
    void Write(std::uint8_t kind, QByteArrayView payload);
    qint64 Unsent() const;

    const SessionSetup& setup_;
    const bool outgoing_;
    QSslSocket* socket_;
    QTimer timer_;  // open or handshake deadline, then the idle check, then the linger
    QString address_;
    State state_ = State::Opening;
    bool tcpConnected_ = false;
    bool wantsBulk_ = false;
    bool receivePaused_ = false;
    QString tlsErrors_;
    QString peerCode_;
    HelloMessage peerHello_;
    int version_ = 0;
    qint64 lastActivity_ = 0;
    FrameReader reader_;
};

}  // namespace tollix
