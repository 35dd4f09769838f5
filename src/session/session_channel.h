#pragma once

#include <QString>

namespace tollix {

// The two narrow interfaces between the private sessions and the core, as the datagram
// channels have theirs: the core calls a SessionChannel and is told what happens through
// SessionEvents. Plain values only, so that the core is tested with a fake channel and
// needs neither TLS nor sockets. Addresses are dotted IPv4 addresses ("10.0.0.9").

// What the peer of a session said about itself in its HELLO.
struct SessionPeer {
    QString code;  // its security code
    QString client;
    QString firstName;
    QString lastName;
    QString group;
};

class SessionEvents {
public:
    virtual ~SessionEvents() = default;
    // Sessions can be opened from now on (the identity is loaded and the channel runs), or
    // not any more (stopped, or no identity could be had).
    virtual void OnSessionsRunning(bool running) = 0;
    virtual void OnSessionEstablished(const QString& address, const SessionPeer& peer) = 0;
    // An Open that led to no session: `refused` when nothing listened on the port (a copy
    // that has just started may not listen yet), otherwise no answer or not a session peer.
    virtual void OnSessionFailed(const QString& address, bool refused) = 0;
    // An established session ended (by the peer, a fault, the idle time or for room).
    virtual void OnSessionClosed(const QString& address) = 0;
    virtual void OnSessionText(const QString& address, const QString& id, const QString& text) = 0;
    virtual void OnSessionAck(const QString& address, const QString& id) = 0;
    // A malformed or oversized frame, a handshake that failed: for a throttled log.
    virtual void OnSessionProtocolError(const QString& address, const QString& detail) = 0;
};

class SessionChannel {
public:
    virtual ~SessionChannel() = default;
    // True while sessions can be opened (see SessionEvents::OnSessionsRunning).
    virtual bool IsRunning() const = 0;
    // True until the identity has been loaded (or found unusable) once Start was asked for.
    virtual bool IsStarting() const = 0;
    virtual QString OwnCode() const = 0;
    // Starts a session unless one is established or on its way; the outcome comes as an
    // event.
    virtual void Open(const QString& address) = 0;
    virtual bool IsEstablished(const QString& address) const = 0;
    // False when no session is established or the text cannot be sent (empty, too long).
    virtual bool SendText(const QString& address, const QString& id, const QString& text) = 0;
    virtual bool SendAck(const QString& address, const QString& id) = 0;
    // Ends the session or the open without an event.
    virtual void Close(const QString& address) = 0;
};

}  // namespace tollix
