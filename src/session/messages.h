#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "session/frame.h"

namespace tollix {

// The protocol version this copy speaks. Each side names its own in HELLO; a session uses
// the lower of the two, and a side sends only the kinds that version defines. Version 1 has
// texts; version 2 adds the file frames.
inline constexpr int kSessionProtocolVersion = 2;
inline constexpr int kFirstFileVersion = 2;

// The longest text in bytes of UTF-8: the longest that the open group carries, where the
// envelope's other fields take the most room they can (longest ID, addresses, tunnel
// stamp) and the names the least (empty).
inline constexpr qsizetype kMaxTextBytes = 31860;
// The longest name field of HELLO and the longest reason of CLOSE, in bytes of UTF-8.
inline constexpr qsizetype kMaxNameBytes = 1024;

// Control frames carry one JSON object each. Keys a receiver does not know are ignored;
// a known key with a value of the wrong type, or a value out of its range, makes the frame
// malformed. Decoding answers nothing for a malformed payload.

// HELLO: the first frame each side sends. The names are those the sender announces to the
// open group, so that a receiver can list a sender it has not heard there.
struct HelloMessage {
    int version = kSessionProtocolVersion;  // at least 1
    QString client;                         // like the group's CLIENT: "Tollix v.1.2.0"
    QString firstName;
    QString lastName;
    QString group;

    bool operator==(const HelloMessage&) const = default;
};

// TEXT: one text, with an ID that the receiver acknowledges and recognises when repeated.
struct TextMessage {
    QString id;    // 32 lower-case hexadecimal digits: 128 random bits
    QString text;  // not empty, at most kMaxTextBytes

    bool operator==(const TextMessage&) const = default;
};

// ACK: the text with this ID has been stored and shown.
struct AckMessage {
    QString id;

    bool operator==(const AckMessage&) const = default;
};

// CLOSE: the last frame before a side closes the connection, and why.
enum class CloseCode : int {
    Normal = 0,     // the caller closed it; nothing is wrong
    Idle = 1,       // nothing went either way for the idle time
    Busy = 2,       // the most sessions were open: the one idle the longest made room
    Malformed = 3,  // a frame that could not be read, or out of order
    TooLarge = 4,   // a frame over the size limit
    Replaced = 5,   // the peer opened a newer session, which takes this one's place
    Shutdown = 6,   // the program is ending or private sessions were switched off
};
struct CloseMessage {
    int code = 0;  // a CloseCode; a receiver treats a code it does not know like Normal
    QString reason;

    bool operator==(const CloseMessage&) const = default;
};

// The strings of HELLO and CLOSE are cut to kMaxNameBytes; a text must already fit.
Frame Encode(const HelloMessage& hello);
Frame Encode(const TextMessage& text);
Frame Encode(const AckMessage& ack);
Frame Encode(const CloseMessage& close);

std::optional<HelloMessage> DecodeHello(const QByteArray& payload);
std::optional<TextMessage> DecodeText(const QByteArray& payload);
std::optional<AckMessage> DecodeAck(const QByteArray& payload);
std::optional<CloseMessage> DecodeClose(const QByteArray& payload);

// A new text ID from the system's cryptographic random source.
QString NewTextId();
bool IsTextId(const QString& id);

}  // namespace tollix
