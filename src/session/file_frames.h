#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "session/frame.h"

namespace tollix {

// The file frames of session version 2. OFFER, ACCEPT, DECLINE, END, RESULT and CANCEL
// carry a JSON object like the control frames; DATA carries a binary header and the bytes.
// An offer is named by an ID of 32 lower-case hexadecimal digits (128 random bits), its
// files by their index in the OFFER.
enum class FileKind : std::uint8_t {
    Offer = 0x40,
    Accept = 0x41,
    Decline = 0x42,
    Data = 0x43,
    End = 0x44,
    Result = 0x45,
    Cancel = 0x46,
};

inline constexpr int kMaxFilesPerOffer = 256;
// A name as offered, before the receiver makes it safe.
inline constexpr qsizetype kMaxOfferedNameBytes = 1024;
// Sizes and offsets are exact JSON numbers: up to 2^53 - 1 bytes (8 PiB).
inline constexpr qint64 kMaxFileBytes = (qint64{1} << 53) - 1;
inline constexpr qsizetype kMaxReasonCodeBytes = 64;
// Bytes of file data in one DATA frame: small enough that a text waits behind little.
inline constexpr qsizetype kFileChunkBytes = 64 * 1024;
// DATA's header: the offer ID as 16 bytes, the file index (4 bytes) and the offset of the
// first byte (8 bytes), most significant byte first.
inline constexpr qsizetype kFileDataHeaderBytes = 16 + 4 + 8;

struct OfferedFile {
    QString name;
    qint64 size = 0;
    bool operator==(const OfferedFile&) const = default;
};
struct FileOfferMessage {
    QString offer;
    QList<OfferedFile> files;
    bool operator==(const FileOfferMessage&) const = default;
};

// Where the receiver wants a file to start: the bytes it already holds, with the SHA-256 of
// those bytes (32 bytes; empty when it holds none).
struct FileStart {
    qint64 start = 0;
    QByteArray prefixSha256;
    bool operator==(const FileStart&) const = default;
};
struct FileAcceptMessage {
    QString offer;
    QList<FileStart> files;  // one for each file of the offer, in its order
    bool operator==(const FileAcceptMessage&) const = default;
};

// DECLINE and CANCEL: the offer and why, as a code word of FileFailureCode.
struct FileStopMessage {
    QString offer;
    QString reason;
    bool operator==(const FileStopMessage&) const = default;
};

// END: the sender has sent the whole file; the SHA-256 of all its bytes.
struct FileEndMessage {
    QString offer;
    int file = 0;
    QByteArray sha256;
    bool operator==(const FileEndMessage&) const = default;
};

// RESULT: the receiver's verdict on one file.
struct FileResultMessage {
    QString offer;
    int file = 0;
    bool done = false;
    QString reason;  // a code word, when it failed
    bool operator==(const FileResultMessage&) const = default;
};

struct FileData {
    QString offer;
    int file = 0;
    qint64 offset = 0;
    QByteArray payload;  // the frame's whole payload, shared rather than copied
    // The file's bytes: what follows the header.
    QByteArrayView Bytes() const { return QByteArrayView(payload).sliced(kFileDataHeaderBytes); }
};

Frame Encode(const FileOfferMessage& offer);
Frame Encode(const FileAcceptMessage& accept);
Frame Encode(FileKind kind, const FileStopMessage& stop);  // Decline or Cancel
Frame Encode(const FileEndMessage& end);
Frame Encode(const FileResultMessage& result);
// DATA's header; the bytes follow it in the payload.
QByteArray FileDataHeader(const QString& offer, int file, qint64 offset);

std::optional<FileOfferMessage> DecodeFileOffer(const QByteArray& payload);
std::optional<FileAcceptMessage> DecodeFileAccept(const QByteArray& payload);
std::optional<FileStopMessage> DecodeFileStop(const QByteArray& payload);
std::optional<FileEndMessage> DecodeFileEnd(const QByteArray& payload);
std::optional<FileResultMessage> DecodeFileResult(const QByteArray& payload);
// At least one byte of data after the header.
std::optional<FileData> DecodeFileData(const QByteArray& payload);

}  // namespace tollix
