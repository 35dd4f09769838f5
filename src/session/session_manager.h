#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <cstdint>

#include "session/identity.h"
#include "session/messages.h"
#include "session/session_connection.h"
#include "session/session_limits.h"

namespace tollix {

// Private sessions with other copies: TLS 1.3 connections on TCP, one per peer, keyed by
// the peer's IPv4 address (dotted, "10.0.0.9"). The manager knows addresses and security
// codes, not contacts: what a code means (pinned, changed) is the caller's decision.
//
// - Listen accepts sessions; Open starts one. A session is established once the TLS
//   handshake is done and the peer's HELLO has come: `established` gives the peer's code
//   and HELLO. An Open that does not get there gives `failed` with the reason
//   (OpenFailureText words it for the user) and a detail for the log.
// - SendText, SendAck: control frames, which never wait behind bulk data. SendBulk takes
//   bulk frames only while the socket has room (`bulkWritable` says when it has again).
// - File frames (kinds 0x40 to 0x7f) go only over sessions whose version defines them
//   (Version): SendFileControl like a control frame, SendBulk as bulk data; they arrive as
//   `fileFrameReceived`. SetReceivePaused holds the peer back while their consumer is busy.
// - A session ends by Close, by the peer, by a frame over the limit or malformed
//   (`protocolError` first), after the idle time, or to make room for a newer one:
//   `closed` follows, except for Close and StopAll, which the caller asked for.
//
// Two copies that open to each other at the same moment keep the connection opened by the
// lower address. A newer session from an address replaces the older one (the peer has lost
// it). Everything runs on the event loop; nothing waits on a socket. A slot of these
// signals may call any function here, but must not delete the manager (deleteLater).
class SessionManager : public QObject {
    Q_OBJECT

public:
    SessionManager(const Identity& identity, const HelloMessage& hello,
                   const SessionLimits& limits = {}, QObject* parent = nullptr);
    // Closes every session without signals.
    ~SessionManager() override;

    // Listens on the address (every IPv4 address by default) and the limits' port; sessions
    // opened later leave from a single address listened on. False with ListenError() when
    // that fails; Open works all the same. A socket from ReserveListener is taken over
    // instead, with the connections waiting in its queue.
    bool Listen(const QHostAddress& address = QHostAddress::AnyIPv4, qintptr reserved = -1);
    // A socket listening on every IPv4 address and the port, for a manager not made yet (its
    // identity still loading): peers that connect meanwhile wait in its queue instead of
    // being refused. -1 when it cannot be had; Listen then says why.
    static qintptr ReserveListener(quint16 port);
    QString ListenError() const { return listenError_; }
    // The port listened on and connected to.
    quint16 Port() const { return setup_.limits.port; }

    // This copy's security code.
    QString OwnCode() const { return ownCode_; }
    // The HELLO sent by sessions established from now on (the user changed a name).
    void SetHello(const HelloMessage& hello) { setup_.hello = hello; }

    // Starts a session with the address unless one is established or on its way.
    void Open(const QString& address);
    bool IsEstablished(const QString& address) const;
    // The code of the established session's peer (empty without one).
    QString PeerCode(const QString& address) const;
    // The protocol version of the established session (0 without one).
    int Version(const QString& address) const;

    // False when no session is established with the address, or the text is empty, over
    // kMaxTextBytes or not valid Unicode (a lone surrogate). `id` is a NewTextId().
    bool SendText(const QString& address, const QString& id, const QString& text);
    bool SendAck(const QString& address, const QString& id);
    // A bulk frame of a kind in the file range, taken only while the socket has room.
    bool SendBulk(const QString& address, std::uint8_t kind, QByteArrayView payload);
    // A frame of a kind in the file range, sent at once like a control frame.
    bool SendFileControl(const QString& address, std::uint8_t kind, QByteArrayView payload);
    void SetReceivePaused(const QString& address, bool paused);

    // Sends CLOSE and ends the session (or the open) with the address.
    void Close(const QString& address);
    // Ends the session for a file frame that its reader found malformed: CLOSE code 3, then
    // `protocolError` and `closed` as for any malformed frame.
    void CloseMalformed(const QString& address, const QString& detail);
    // Ends every session with CLOSE "shutting down" and stops listening.
    void StopAll();

signals:
    void established(const QString& address, const QString& peerCode,
                     const tollix::HelloMessage& hello);
    void failed(const QString& address, tollix::OpenFailure failure, const QString& detail);
    // `code` is the CLOSE code (CloseCode), or -1 when the connection was lost.
    void closed(const QString& address, int code, const QString& reason);
    void textReceived(const QString& address, const QString& id, const QString& text);
    void ackReceived(const QString& address, const QString& id);
    void fileFrameReceived(const QString& address, std::uint8_t kind, const QByteArray& payload);
    void bulkWritable(const QString& address);
    // For the caller's throttled log; nothing to show to the user.
    void protocolError(const QString& address, const QString& detail);

private:
    class Listener;
    // An Open that is not yet answered: the time it ends, and a failure seen meanwhile that
    // is reported once no connection with the address is left on its way.
    struct OpenRequest {
        qint64 deadline = 0;  // steady clock, ms
        OpenFailure failure = OpenFailure::NoAnswer;
        QString detail;
    };

    void Accept(qintptr descriptor);
    void Adopt(SessionConnection* connection);
    void OnEstablished(SessionConnection* connection);
    void OnFailed(SessionConnection* connection, OpenFailure failure, const QString& detail);
    void OnEnded(SessionConnection* connection, int code, const QString& reason);
    // Reports the address's open request as failed once nothing is left on its way and the
    // failure is final (refused) or its time is up.
    void SettleOpen(const QString& address);
    // Closes the sessions idle the longest (never `keep`) while there are too many.
    void MakeRoom(SessionConnection* keep);
    void Forget(SessionConnection* connection);
    // A connection with the address still in its handshake.
    SessionConnection* Pending(const QString& address) const;
    int PendingIncoming() const;
    // The established session with the address, when its version has the file frames.
    SessionConnection* FileSession(const QString& address, std::uint8_t kind) const;

    SessionSetup setup_;
    QString ownCode_;
    Listener* listener_;
    QString listenError_;
    QHash<QString, SessionConnection*> sessions_;  // established, by address
    QList<SessionConnection*> pending_;            // handshaking, both directions
    QHash<QString, OpenRequest> opens_;
};

}  // namespace tollix
