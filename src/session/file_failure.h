#pragma once

#include <QMetaType>
#include <QString>

namespace tollix {

// Why a file transfer, or one file of it, did not end with the file in place. The UI shows
// FileFailureText; the other side learns it as a code word (FileFailureCode) in DECLINE,
// CANCEL or a failed RESULT.
enum class FileFailure {
    None,
    Refused,             // the session was refused: nothing listens on the port
    NoAnswer,            // no answer to the session: a firewall may drop it
    CannotReceiveFiles,  // no session, or one whose version has no file frames
    Declined,
    TooManyOffers,  // declined by itself: more offers waited than allowed
    Cancelled,
    ConnectionLost,
    Stalled,       // no progress within the stall time
    DiskFull,      // ENOSPC or EDQUOT; the .part is kept for a resume
    WriteError,    // the folder or the file could not be written
    ReadError,     // the sender could not read its file
    FileChanged,   // the sender's file became shorter than offered
    WrongHash,     // the SHA-256 of what arrived is not the sender's
    TooManyBytes,  // more bytes than offered
    Incomplete,    // the sender ended the file before its offered size
    Malformed,     // a file frame that breaks the protocol
    ShuttingDown,
    Other,  // a code word this copy does not know
};

// Words the UI can show: "refused", "no answer (a firewall may block TCP port 2030)", ...
// `byPeer` for a failure that the other side reported: "cancelled by the other side", "the
// other side: the disk is full".
QString FileFailureText(FileFailure failure, bool byPeer = false, quint16 port = 2030);

// The code word of the protocol ("disk-full"), and back (Other for an unknown one).
QString FileFailureCode(FileFailure failure);
FileFailure FileFailureFromCode(const QString& code);

// A failure with what goes with it (a file name, the system's error text).
struct FileError {
    FileFailure failure = FileFailure::None;
    QString detail;
    bool byPeer = false;

    explicit operator bool() const { return failure != FileFailure::None; }
    QString Text(quint16 port = 2030) const;
};

}  // namespace tollix

Q_DECLARE_METATYPE(tollix::FileFailure)
