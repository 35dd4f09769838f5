#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "session/file_failure.h"
#include "session/file_frames.h"
#include "session/file_worker.h"
#include "session/part_store.h"
#include "session/session_connection.h"

namespace tollix {

class SessionManager;
class SourceFile;

// The bounds of file transfer. The defaults are the protocol's; tests shorten the times.
struct FileTransferLimits {
    // A transfer under way fails after this long without progress.
    int stallTimeoutMs = 60 * 1000;
    // Offers not yet answered: from one address, and from all; one more declines the oldest.
    int maxPendingPerAddress = 16;
    int maxPending = 256;
    // A .part that the journal knows is removed when it is older than this.
    qint64 maxPartAgeSeconds = 7 * 24 * 3600;
    // Sending: DATA frames read ahead of the session, for each transfer.
    int readAheadChunks = 16;
    // Receiving: bytes on their way to the disk before the session stops reading.
    qint64 maxUnwrittenBytes = 4 * 1024 * 1024;
    // Progress is reported at most this often for each transfer (and at its end).
    int progressIntervalMs = 250;
};

// An offer received: its ID, who sent it, and its files with the names made safe.
struct IncomingOffer {
    QString id;
    QString address;
    QString peerCode;
    QList<OfferedFile> files;
};

// File transfer over private sessions. It knows addresses and codes, not contacts, and keeps
// no history: the caller shows and records what happens through the signals.
//
// - Offer sends one or more files to an address: it opens the session when there is none,
//   and waits for the answer. Accept takes an offer into a folder, Decline refuses it,
//   Cancel stops a transfer on both sides.
// - Files are read, hashed and written on a worker thread; the session takes file data only
//   while it has room, so texts pass it. Every transfer ends with exactly one `finished`.
// - A file is received as NAME.part and renamed only when its SHA-256 is the sender's. A
//   broken transfer leaves its .parts; the next offer of the same file from the same sender
//   accepted into the same folder goes on from them.
class FileTransferEngine : public QObject {
    Q_OBJECT

public:
    // `journalPath` keeps the .parts across runs (FileJournalPath); empty keeps them for this
    // run only.
    FileTransferEngine(SessionManager* sessions, const QString& journalPath,
                       const FileTransferLimits& limits = {}, QObject* parent = nullptr);
    // Tells the peers of transfers under way that this copy is ending; no signals.
    ~FileTransferEngine() override;

    // Offers the files (paths) to the address; the offer's ID. More than kMaxFilesPerOffer
    // files, or none, give `finished` with a failure at once.
    QString Offer(const QString& address, const QStringList& paths, const QString& id = {});
    // False for an ID that is not an offer waiting for an answer. Declining also removes the
    // .parts that a broken transfer of the same files from the same sender left.
    bool Accept(const QString& id, const QString& folder);
    bool Decline(const QString& id);
    // False for an ID that is not a transfer under way.
    bool Cancel(const QString& id);

signals:
    void offerReceived(const tollix::IncomingOffer& offer);
    // Bytes of the transfer's files that are done (sent or written), of all.
    void progress(const QString& id, qint64 done, qint64 total);
    // Sender: `path` is the file sent; receiver: where it now is. `sha256` in hexadecimal.
    void fileDone(const QString& id, int file, const QString& path, const QString& sha256);
    void fileFailed(const QString& id, int file, tollix::FileFailure failure,
                    const QString& reason);
    // The transfer has ended: FileFailure::None when every file is done, else the first
    // failure, with its words for the user.
    void finished(const QString& id, tollix::FileFailure failure, const QString& reason);

private:
    struct Outgoing;
    struct Incoming;
    struct Shared;

    // Runs `job` on the worker; `then` runs on the event loop afterwards, while the engine
    // lives.
    void Work(std::function<void()> job);
    void Back(std::function<void()> then);
    // For the long jobs of a transfer: give up once it has ended or the worker stops.
    StopCheck StopFor(const std::shared_ptr<Shared>& shared) const;

    void OnEstablished(const QString& address);
    void OnOpenFailed(const QString& address, OpenFailure failure);
    void OnClosed(const QString& address);
    // The transfers that go over the session with the address (empty: every session).
    QStringList OnSession(const QString& address) const;
    void OnFrame(const QString& address, std::uint8_t kind, const QByteArray& payload);
    void OnTick();

    // Sending.
    void Opened(Outgoing& out);
    void SendOffer(Outgoing& out);
    void OnAccept(Outgoing& out, const FileAcceptMessage& accept);
    void OnResult(Outgoing& out, const FileResultMessage& result);
    void NextFile(Outgoing& out);
    void ReadAhead(Outgoing& out);
    void Pump(Outgoing& out);

    // Receiving.
    void OnOffer(const QString& address, const FileOfferMessage& offer);
    void Prepared(Incoming& in, PartStore::Prepared prepared);
    void OnData(Incoming& in, FileData data);
    void OnEnd(Incoming& in, const FileEndMessage& end);
    void FileEnded(Incoming& in, int file, const FileError& error, const QString& path,
                   const QByteArray& sha);
    void Written(Incoming& in, qint64 bytes, const FileError& error);
    void UpdatePause(const QString& address);

    void Progress(const QString& id, qint64& lastMs, qint64 done, qint64 total, bool force);
    // Sends CANCEL (or DECLINE) with the failure's code word, then ends the transfer.
    void Stop(const QString& id, const FileError& error, FileKind frame = FileKind::Cancel);
    // Ends the transfer: its .parts are kept for a resume (an empty one is removed), then
    // `finished` follows, once the worker has done so.
    void End(const QString& id, const FileError& error);
    bool SendControl(const QString& address, const Frame& frame);

    QPointer<SessionManager> sessions_;
    FileTransferLimits limits_;
    quint64 offers_ = 0;                // offers received, to tell the oldest
    std::shared_ptr<PartStore> store_;  // used on the worker only
    QHash<QString, std::shared_ptr<Outgoing>> outgoing_;
    QHash<QString, std::shared_ptr<Incoming>> incoming_;
    QTimer tick_;
    qint64 lastClean_ = 0;
    FileWorker worker_;  // last: stopped first, while the rest is still there
};

}  // namespace tollix

Q_DECLARE_METATYPE(tollix::IncomingOffer)
