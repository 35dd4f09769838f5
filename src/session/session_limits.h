#pragma once

#include <QtGlobal>

#include "session/frame.h"
#include "session/messages.h"

namespace tollix {

// Bytes a session's socket decrypts ahead of its reader.
inline constexpr qint64 kReadAheadBytes = 256 * 1024;

// The port and the bounds of the session layer. The defaults are the protocol's; tests
// shorten the times.
struct SessionLimits {
    // TCP port listened on and connected to (the group's port number; TCP is a port space
    // of its own). Listening on port 0 takes a free port and connects to that one.
    quint16 port = 2030;
    // An Open that is not established by then (connection, TLS handshake and the peer's
    // HELLO) fails.
    int openTimeoutMs = 2000;
    // An incoming connection that has not finished its handshake and sent its HELLO by
    // then is closed.
    int handshakeTimeoutMs = 5000;
    // Incoming connections still in their handshake; more are closed at once.
    int maxHandshakes = 32;
    // Established sessions; one more closes the one idle the longest.
    int maxSessions = 256;
    // A session without a frame either way for this long closes.
    int idleTimeoutMs = 10 * 60 * 1000;
    qsizetype maxFramePayload = kMaxFramePayload;
    // Bulk frames are taken only while less than this waits to be sent, so that a control
    // frame never waits behind more than this much bulk data.
    qint64 bulkThreshold = 128 * 1024;
    // The protocol version sent in HELLO, whatever the HELLO given says: the highest this
    // copy speaks (tests speak an older one).
    int version = kSessionProtocolVersion;
};

}  // namespace tollix
