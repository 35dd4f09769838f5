#include "session/file_transfer_engine.h"

#include <QFileInfo>
#include <atomic>
#include <deque>

#include "session/file_names.h"
#include "session/file_resume.h"
#include "session/file_source.h"
#include "session/session_manager.h"

namespace tollix {

namespace {

// Old .parts are looked for at start and then this often.
constexpr qint64 kCleanIntervalMs = 60 * 60 * 1000;

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

FileFailure FailureOf(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::Refused:
            return FileFailure::Refused;
        case OpenFailure::NoAnswer:
            return FileFailure::NoAnswer;
        case OpenFailure::NotASessionPeer:
            break;
    }
    return FileFailure::CannotReceiveFiles;
}

}  // namespace

// What the event loop and the worker share about one transfer. `ended` is set on the event
// loop when the transfer ends, so that its jobs still waiting give up; `sinks` are the .parts
// a receiving transfer holds, touched on the worker only (or once it has stopped).
struct FileTransferEngine::Shared {
    std::atomic<bool> ended = false;
    QList<std::shared_ptr<SinkFile>> sinks;
};

struct FileTransferEngine::Outgoing {
    enum class Stage { Opening, Connecting, Offered, Sending };
    struct File {
        QString path;
        OfferedFile offered;
        std::shared_ptr<SourceFile> source;
        FileStart asked;
        QByteArray sha;      // once the whole file is read
        bool ended = false;  // END sent
        bool resolved = false;
    };

    QString id;
    QString address;
    Stage stage = Stage::Opening;
    QList<File> files;
    int current = -1;    // the file being sent
    int generation = 0;  // reads for an earlier `current` are dropped
    bool begun = false;  // the current file's start is known
    qint64 nextRead = 0;
    int readsInFlight = 0;
    std::deque<QByteArray> ready;  // DATA payloads the session has not taken yet
    bool allRead = false;
    qint64 done = 0;
    qint64 total = 0;
    qint64 lastActivityMs = SessionClockMs();
    qint64 lastProgressMs = 0;
    FileError failure;
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();

    FileOfferMessage Message() const {
        FileOfferMessage offer{id, {}};
        for (const File& file : files) {
            offer.files.append(file.offered);
        }
        return offer;
    }
};

struct FileTransferEngine::Incoming {
    enum class Stage { Waiting, Preparing, Receiving };
    struct File {
        OfferedFile offered;
        std::shared_ptr<SinkFile> sink;
        qint64 held = 0;  // in the .part or on its way there
        bool first = true;
        bool resolved = false;  // END or a failure seen: nothing more is taken
    };

    QString id;
    QString address;
    QString code;
    quint64 order = 0;
    Stage stage = Stage::Waiting;
    QList<File> files;
    int unresolved = 0;
    qint64 unwritten = 0;
    bool paused = false;
    qint64 done = 0;
    qint64 total = 0;
    qint64 lastActivityMs = SessionClockMs();
    qint64 lastProgressMs = 0;
    FileError failure;
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();

    QList<OfferedFile> Offered() const {
        QList<OfferedFile> offered;
        for (const File& file : files) {
            offered.append(file.offered);
        }
        return offered;
    }
};

FileTransferEngine::FileTransferEngine(SessionManager* sessions, const QString& journalPath,
                                       const FileTransferLimits& limits, QObject* parent)
    : QObject(parent),
      sessions_(sessions),
      limits_(limits),
      store_(std::make_shared<PartStore>(journalPath, limits.maxPartAgeSeconds)) {
    qRegisterMetaType<IncomingOffer>();
    qRegisterMetaType<FileFailure>();
    connect(sessions_, &SessionManager::established, this,
            [this](const QString& address) { OnEstablished(address); });
    connect(
        sessions_, &SessionManager::failed, this,
        [this](const QString& address, OpenFailure failure) { OnOpenFailed(address, failure); });
    connect(sessions_, &SessionManager::closed, this,
            [this](const QString& address) { OnClosed(address); });
    connect(sessions_, &SessionManager::fileFrameReceived, this, &FileTransferEngine::OnFrame);
    connect(sessions_, &SessionManager::bulkWritable, this, [this](const QString& address) {
        for (const std::shared_ptr<Outgoing>& out : outgoing_.values()) {
            if (out->address == address && out->stage == Outgoing::Stage::Sending &&
                outgoing_.contains(out->id)) {
                Pump(*out);
            }
        }
    });
    connect(&tick_, &QTimer::timeout, this, &FileTransferEngine::OnTick);
    tick_.start(std::min(1000, limits_.stallTimeoutMs / 4));
    lastClean_ = SessionClockMs();
    Work([store = store_] { store->Clean(); });
}

FileTransferEngine::~FileTransferEngine() {
    worker_.Stop();
    if (!sessions_) {
        return;
    }
    const QString code = FileFailureCode(FileFailure::ShuttingDown);
    for (const std::shared_ptr<Outgoing>& out : std::as_const(outgoing_)) {
        if (out->stage >= Outgoing::Stage::Offered) {
            SendControl(out->address, Encode(FileKind::Cancel, {out->id, code}));
        }
    }
    for (const std::shared_ptr<Incoming>& in : std::as_const(incoming_)) {
        // The worker has stopped: what it held is released here.
        for (const std::shared_ptr<SinkFile>& sink : std::as_const(in->shared->sinks)) {
            store_->Keep(*sink);
        }
        SendControl(in->address, Encode(FileKind::Cancel, {in->id, code}));
    }
}

void FileTransferEngine::Work(std::function<void()> job) {
    worker_.Post(std::move(job));
}

void FileTransferEngine::Back(std::function<void()> then) {
    QMetaObject::invokeMethod(this, std::move(then), Qt::QueuedConnection);
}

StopCheck FileTransferEngine::StopFor(const std::shared_ptr<Shared>& shared) const {
    return [this, shared] { return worker_.Stopping() || shared->ended; };
}

bool FileTransferEngine::SendControl(const QString& address, const Frame& frame) {
    return sessions_ && sessions_->SendFileControl(address, frame.kind, frame.payload);
}

// Sending.

QString FileTransferEngine::Offer(const QString& address, const QStringList& paths,
                                  const QString& id) {
    auto out = std::make_shared<Outgoing>();
    out->id = id.isEmpty() ? NewTextId() : id;
    out->address = address;
    outgoing_.insert(out->id, out);
    if (paths.isEmpty() || paths.size() > kMaxFilesPerOffer) {
        const FileError error{FileFailure::ReadError,
                              paths.isEmpty() ? QString("no file")
                                              : "more than " + QString::number(kMaxFilesPerOffer) +
                                                    " files in one offer"};
        Back([this, id = out->id, error] { End(id, error); });
        return out->id;
    }
    for (const QString& path : paths) {
        out->files.append({path, {QFileInfo(path).fileName(), 0}, {}, {}, {}, false, false});
    }
    Work([this, id = out->id, paths] {
        QList<std::shared_ptr<SourceFile>> sources;
        FileError error;
        for (const QString& path : paths) {
            sources.append(std::make_shared<SourceFile>());
            if ((error = sources.last()->Open(path))) {
                break;
            }
        }
        Back([this, id, sources, error] {
            const std::shared_ptr<Outgoing> sender = outgoing_.value(id);
            if (!sender) {
                return;
            }
            if (error) {
                End(id, error);
                return;
            }
            for (qsizetype i = 0; i < sources.size(); ++i) {
                sender->files[i].source = sources[i];
                sender->files[i].offered.size = sources[i]->Size();
                sender->total += sources[i]->Size();
            }
            Opened(*sender);
        });
    });
    return out->id;
}

void FileTransferEngine::Opened(Outgoing& out) {
    if (Encode(out.Message()).payload.size() > kMaxFramePayload) {
        End(out.id, {FileFailure::ReadError, "the names are too long for one offer"});
        return;
    }
    out.stage = Outgoing::Stage::Connecting;
    if (sessions_->IsEstablished(out.address)) {
        SendOffer(out);
    } else {
        sessions_->Open(out.address);
    }
}

void FileTransferEngine::SendOffer(Outgoing& out) {
    if (sessions_->Version(out.address) < kFirstFileVersion) {
        End(out.id, {FileFailure::CannotReceiveFiles, {}});
        return;
    }
    SendControl(out.address, Encode(out.Message()));
    out.stage = Outgoing::Stage::Offered;
}

void FileTransferEngine::OnAccept(Outgoing& out, const FileAcceptMessage& accept) {
    if (accept.files.size() != out.files.size()) {
        Stop(out.id, {FileFailure::Malformed, "ACCEPT names another number of files"});
        return;
    }
    for (qsizetype i = 0; i < accept.files.size(); ++i) {
        out.files[i].asked = accept.files[i];
    }
    out.stage = Outgoing::Stage::Sending;
    out.lastActivityMs = SessionClockMs();
    NextFile(out);
}

void FileTransferEngine::NextFile(Outgoing& out) {
    do {
        ++out.current;
    } while (out.current < out.files.size() && out.files[out.current].resolved);
    ++out.generation;
    out.begun = false;
    out.allRead = false;
    out.readsInFlight = 0;
    out.ready.clear();
    if (out.current >= out.files.size()) {
        return;  // everything is sent: the verdicts follow
    }
    const Outgoing::File& file = out.files[out.current];
    Work([this, id = out.id, generation = out.generation, source = file.source, asked = file.asked,
          stop = StopFor(out.shared)] {
        FileError error;
        const qint64 start = source->Begin(asked.start, asked.prefixSha256, stop, error);
        const QByteArray sha = start == source->Size() ? source->Digest() : QByteArray();
        Back([this, id, generation, start, sha, error] {
            const std::shared_ptr<Outgoing> sender = outgoing_.value(id);
            if (!sender || sender->generation != generation) {
                return;
            }
            if (start < 0) {
                Stop(id, start == -1 ? FileError{FileFailure::Malformed, "a start past the end"}
                                     : error);
                return;
            }
            sender->begun = true;
            sender->nextRead = start;
            sender->done += start;
            if (start == sender->files[sender->current].offered.size) {
                sender->allRead = true;
                sender->files[sender->current].sha = sha;
            }
            ReadAhead(*sender);
            Pump(*sender);
        });
    });
}

void FileTransferEngine::ReadAhead(Outgoing& out) {
    if (!out.begun) {
        return;
    }
    const int file = out.current;
    const qint64 size = out.files[file].offered.size;
    while (out.nextRead < size &&
           out.readsInFlight + static_cast<int>(out.ready.size()) < limits_.readAheadChunks) {
        const qint64 offset = out.nextRead;
        const auto length =
            static_cast<qsizetype>(std::min<qint64>(kFileChunkBytes, size - offset));
        const bool last = offset + length == size;
        out.nextRead += length;
        ++out.readsInFlight;
        Work([this, id = out.id, generation = out.generation, source = out.files[file].source, file,
              offset, length, last] {
            QByteArray payload = FileDataHeader(id, file, offset);
            payload.reserve(kFileDataHeaderBytes + length);
            const FileError error = source->Read(offset, length, payload);
            const QByteArray sha = last && !error ? source->Digest() : QByteArray();
            Back([this, id, generation, payload, sha, error, last] {
                const std::shared_ptr<Outgoing> sender = outgoing_.value(id);
                if (!sender || sender->generation != generation) {
                    return;
                }
                if (error) {
                    Stop(id, error);
                    return;
                }
                --sender->readsInFlight;
                sender->ready.push_back(payload);
                if (last) {
                    sender->allRead = true;
                    sender->files[sender->current].sha = sha;
                }
                Pump(*sender);
            });
        });
    }
}

void FileTransferEngine::Pump(Outgoing& out) {
    if (!out.begun) {
        return;
    }
    while (!out.ready.empty() &&
           sessions_->SendBulk(out.address, static_cast<std::uint8_t>(FileKind::Data),
                               out.ready.front())) {
        out.done += out.ready.front().size() - kFileDataHeaderBytes;
        out.ready.pop_front();
        out.lastActivityMs = SessionClockMs();
    }
    Progress(out.id, out.lastProgressMs, out.done, out.total, false);
    if (out.ready.empty() && out.allRead && out.readsInFlight == 0) {
        Outgoing::File& file = out.files[out.current];
        SendControl(out.address, Encode(FileEndMessage{out.id, out.current, file.sha}));
        file.ended = true;
        NextFile(out);
        return;
    }
    ReadAhead(out);
}

void FileTransferEngine::OnResult(Outgoing& out, const FileResultMessage& result) {
    if (result.file >= out.files.size() || out.files[result.file].resolved) {
        return;
    }
    Outgoing::File& file = out.files[result.file];
    if (result.done && !file.ended) {
        Stop(out.id, {FileFailure::Malformed, "a file done before it was sent"});
        return;
    }
    file.resolved = true;
    out.lastActivityMs = SessionClockMs();
    if (result.done) {
        emit fileDone(out.id, result.file, file.path, Hex(file.sha));
    } else {
        const FileError error{FileFailureFromCode(result.reason), {}, true};
        if (!out.failure) {
            out.failure = error;
        }
        emit fileFailed(out.id, result.file, error.failure, error.Text(sessions_->Port()));
        if (result.file == out.current) {
            NextFile(out);  // the rest of it is not sent
        }
    }
    if (std::all_of(out.files.begin(), out.files.end(),
                    [](const Outgoing::File& each) { return each.resolved; })) {
        Progress(out.id, out.lastProgressMs, out.done, out.total, true);
        End(out.id, out.failure);
    }
}

// Receiving.

void FileTransferEngine::OnOffer(const QString& address, const FileOfferMessage& offer) {
    if (outgoing_.contains(offer.offer) || incoming_.contains(offer.offer)) {
        return;  // an ID in use: not a new offer
    }
    auto in = std::make_shared<Incoming>();
    in->id = offer.offer;
    in->address = address;
    in->code = sessions_->PeerCode(address);
    in->order = ++offers_;
    for (const OfferedFile& file : offer.files) {
        in->files.append({{SafeFileName(file.name), file.size}, {}, 0, true, false});
        in->total += file.size;
    }
    in->unresolved = static_cast<int>(in->files.size());
    // Too many offers waiting: the oldest of this address, or of all, is declined.
    const auto declineOldest = [this](const QString& from, int most) {
        for (;;) {
            std::shared_ptr<Incoming> oldest;
            int waiting = 0;
            for (const std::shared_ptr<Incoming>& other : std::as_const(incoming_)) {
                if (other->stage == Incoming::Stage::Waiting &&
                    (from.isEmpty() || other->address == from)) {
                    ++waiting;
                    oldest = !oldest || other->order < oldest->order ? other : oldest;
                }
            }
            if (waiting < most) {
                return;
            }
            Stop(oldest->id, {FileFailure::TooManyOffers, {}}, FileKind::Decline);
        }
    };
    declineOldest(address, limits_.maxPendingPerAddress);
    declineOldest({}, limits_.maxPending);
    incoming_.insert(in->id, in);
    emit offerReceived({in->id, address, in->code, in->Offered()});
}

bool FileTransferEngine::Accept(const QString& id, const QString& folder) {
    const std::shared_ptr<Incoming> in = incoming_.value(id);
    if (!in || in->stage != Incoming::Stage::Waiting) {
        return false;
    }
    in->stage = Incoming::Stage::Preparing;
    // A transfer that ends before its turn on the worker makes no .part at all; one that ends
    // meanwhile has what it made released by End's job, which follows this one.
    Work([this, id, folder, code = in->code, files = in->Offered(), store = store_,
          shared = in->shared, stop = StopFor(in->shared)] {
        if (shared->ended) {
            return;
        }
        PartStore::Prepared prepared = store->Prepare(folder, code, files, stop);
        shared->sinks = prepared.sinks;
        Back([this, id, prepared] {
            const std::shared_ptr<Incoming> receiver = incoming_.value(id);
            if (receiver && receiver->stage == Incoming::Stage::Preparing) {
                Prepared(*receiver, prepared);
            }
        });
    });
    return true;
}

bool FileTransferEngine::Decline(const QString& id) {
    const std::shared_ptr<Incoming> in = incoming_.value(id);
    if (!in || in->stage != Incoming::Stage::Waiting) {
        return false;
    }
    Stop(id, {FileFailure::Declined, {}}, FileKind::Decline);
    // The user does not want these files: what a broken transfer of them left goes too.
    Work([store = store_, code = in->code, files = in->Offered()] { store->Forget(code, files); });
    return true;
}

bool FileTransferEngine::Cancel(const QString& id) {
    if (!outgoing_.contains(id) && !incoming_.contains(id)) {
        return false;
    }
    Stop(id, {FileFailure::Cancelled, {}});
    return true;
}

void FileTransferEngine::Prepared(Incoming& in, PartStore::Prepared prepared) {
    if (prepared.error) {
        Stop(in.id, prepared.error);
        return;
    }
    FileAcceptMessage accept{in.id, prepared.starts};
    for (qsizetype i = 0; i < in.files.size(); ++i) {
        in.files[i].sink = prepared.sinks[i];
        in.files[i].held = prepared.starts[i].start;
        in.done += in.files[i].held;
    }
    in.stage = Incoming::Stage::Receiving;
    in.lastActivityMs = SessionClockMs();
    if (!SendControl(in.address, Encode(accept))) {
        End(in.id, {FileFailure::ConnectionLost, {}});
        return;
    }
    Progress(in.id, in.lastProgressMs, in.done, in.total, true);
}

void FileTransferEngine::OnData(Incoming& in, FileData data) {
    if (data.file >= in.files.size()) {
        Stop(in.id, {FileFailure::Malformed, "DATA for a file not offered"});
        return;
    }
    Incoming::File& file = in.files[data.file];
    if (file.resolved) {
        return;
    }
    in.lastActivityMs = SessionClockMs();
    const qint64 length = data.Bytes().size();
    switch (JudgeData(file.held, file.first, data.offset, length, file.offered.size)) {
        case DataVerdict::OutOfOrder:
            Stop(in.id, {FileFailure::Malformed, "DATA out of order"});
            return;
        case DataVerdict::TooManyBytes:
            FileEnded(in, data.file, {FileFailure::TooManyBytes, {}}, {}, {});
            return;
        case DataVerdict::StartOver:
            in.done -= file.held;
            file.held = 0;
            Work([this, id = in.id, store = store_, sink = file.sink] {
                const FileError error = store->StartOver(*sink);
                Back([this, id, error] {
                    if (const std::shared_ptr<Incoming> receiver = incoming_.value(id)) {
                        Written(*receiver, 0, error);
                    }
                });
            });
            break;
        case DataVerdict::Append:
            break;
    }
    file.first = false;
    file.held += length;
    in.unwritten += length;
    Work([this, id = in.id, store = store_, sink = file.sink, data = std::move(data), length] {
        const FileError error = store->Write(*sink, data.Bytes());
        Back([this, id, length, error] {
            if (const std::shared_ptr<Incoming> receiver = incoming_.value(id)) {
                Written(*receiver, length, error);
            }
        });
    });
    UpdatePause(in.address);
}

void FileTransferEngine::Written(Incoming& in, qint64 bytes, const FileError& error) {
    in.unwritten -= bytes;
    if (error) {
        Stop(in.id, error);
        return;
    }
    in.done += bytes;
    in.lastActivityMs = SessionClockMs();
    Progress(in.id, in.lastProgressMs, in.done, in.total, false);
    UpdatePause(in.address);
}

void FileTransferEngine::OnEnd(Incoming& in, const FileEndMessage& end) {
    if (end.file >= in.files.size()) {
        Stop(in.id, {FileFailure::Malformed, "END for a file not offered"});
        return;
    }
    Incoming::File& file = in.files[end.file];
    if (file.resolved) {
        return;
    }
    in.lastActivityMs = SessionClockMs();
    if (file.held != file.offered.size) {
        FileEnded(in, end.file, {FileFailure::Incomplete, {}}, {}, {});
        return;
    }
    file.resolved = true;
    Work([this, id = in.id, index = end.file, store = store_, sink = file.sink, sha = end.sha256] {
        QString path;
        const FileError error = store->Finish(*sink, sha, path);
        Back([this, id, index, error, path, sha] {
            if (const std::shared_ptr<Incoming> receiver = incoming_.value(id)) {
                FileEnded(*receiver, index, error, path, sha);
            }
        });
    });
}

void FileTransferEngine::FileEnded(Incoming& in, int index, const FileError& error,
                                   const QString& path, const QByteArray& sha) {
    Incoming::File& file = in.files[index];
    if (error && !file.resolved) {
        // Failed before its end: what it holds goes, and what follows of it is dropped.
        Work([store = store_, sink = file.sink] { store->Discard(*sink); });
    }
    file.resolved = true;
    SendControl(in.address, Encode(FileResultMessage{in.id, index, !error,
                                                     error ? FileFailureCode(error.failure) : ""}));
    if (error) {
        if (!in.failure) {
            in.failure = error;
        }
        emit fileFailed(in.id, index, error.failure, error.Text(sessions_->Port()));
    } else {
        emit fileDone(in.id, index, path, Hex(sha));
    }
    if (--in.unresolved == 0) {
        Progress(in.id, in.lastProgressMs, in.done, in.total, true);
        End(in.id, in.failure);
    }
}

void FileTransferEngine::UpdatePause(const QString& address) {
    bool pause = false;
    for (const std::shared_ptr<Incoming>& in : std::as_const(incoming_)) {
        if (in->address == address) {
            in->paused = in->unwritten >
                         (in->paused ? limits_.maxUnwrittenBytes / 2 : limits_.maxUnwrittenBytes);
            pause = pause || in->paused;
        }
    }
    sessions_->SetReceivePaused(address, pause);
}

// Both sides.

void FileTransferEngine::OnFrame(const QString& address, std::uint8_t kind,
                                 const QByteArray& payload) {
    const auto ours = [address](const auto& map, const QString& id) {
        auto transfer = map.value(id);
        return transfer && transfer->address == address ? transfer : nullptr;
    };
    bool malformed = false;
    switch (static_cast<FileKind>(kind)) {
        case FileKind::Offer:
            if (const auto offer = DecodeFileOffer(payload)) {
                OnOffer(address, *offer);
            } else {
                malformed = true;
            }
            break;
        case FileKind::Accept:
            if (const auto accept = DecodeFileAccept(payload)) {
                const auto out = ours(outgoing_, accept->offer);
                if (out && out->stage == Outgoing::Stage::Offered) {
                    OnAccept(*out, *accept);
                }
            } else {
                malformed = true;
            }
            break;
        case FileKind::Decline:
        case FileKind::Cancel:
            if (const auto stop = DecodeFileStop(payload)) {
                FileFailure failure = FileFailureFromCode(stop->reason);
                if (kind == static_cast<std::uint8_t>(FileKind::Decline)) {
                    failure =
                        failure == FileFailure::TooManyOffers ? failure : FileFailure::Declined;
                }
                if (ours(outgoing_, stop->offer) || ours(incoming_, stop->offer)) {
                    End(stop->offer, {failure, {}, true});
                }
            } else {
                malformed = true;
            }
            break;
        case FileKind::Data:
            if (auto data = DecodeFileData(payload)) {
                const auto in = ours(incoming_, data->offer);
                if (in && in->stage == Incoming::Stage::Receiving) {
                    OnData(*in, std::move(*data));
                }
            } else {
                malformed = true;
            }
            break;
        case FileKind::End:
            if (const auto end = DecodeFileEnd(payload)) {
                const auto in = ours(incoming_, end->offer);
                if (in && in->stage == Incoming::Stage::Receiving) {
                    OnEnd(*in, *end);
                }
            } else {
                malformed = true;
            }
            break;
        case FileKind::Result:
            if (const auto result = DecodeFileResult(payload)) {
                const auto out = ours(outgoing_, result->offer);
                if (out && out->stage == Outgoing::Stage::Sending) {
                    OnResult(*out, *result);
                }
            } else {
                malformed = true;
            }
            break;
    }
    // Kinds of later versions are skipped; a malformed frame ends the session as any other.
    if (malformed) {
        sessions_->CloseMalformed(address,
                                  "a malformed file frame of kind " + QString::number(kind));
    }
}

void FileTransferEngine::OnEstablished(const QString& address) {
    // A new session with the address replaces the one its transfers went over.
    OnClosed(address);
    for (const std::shared_ptr<Outgoing>& out : outgoing_.values()) {
        if (out->address == address && out->stage == Outgoing::Stage::Connecting &&
            outgoing_.contains(out->id)) {
            SendOffer(*out);
        }
    }
}

void FileTransferEngine::OnOpenFailed(const QString& address, OpenFailure failure) {
    for (const std::shared_ptr<Outgoing>& out : outgoing_.values()) {
        if (out->address == address && out->stage == Outgoing::Stage::Connecting) {
            End(out->id, {FailureOf(failure), {}});
        }
    }
}

void FileTransferEngine::OnClosed(const QString& address) {
    for (const QString& id : OnSession(address)) {
        End(id, {FileFailure::ConnectionLost, {}});
    }
}

QStringList FileTransferEngine::OnSession(const QString& address) const {
    QStringList ids;
    for (const std::shared_ptr<Outgoing>& out : std::as_const(outgoing_)) {
        if ((address.isEmpty() || out->address == address) &&
            out->stage >= Outgoing::Stage::Offered) {
            ids << out->id;
        }
    }
    for (const std::shared_ptr<Incoming>& in : std::as_const(incoming_)) {
        if (address.isEmpty() || in->address == address) {
            ids << in->id;
        }
    }
    return ids;
}

void FileTransferEngine::OnTick() {
    const qint64 now = SessionClockMs();
    QStringList stalled;
    for (const std::shared_ptr<Outgoing>& out : std::as_const(outgoing_)) {
        if (out->stage == Outgoing::Stage::Sending &&
            now - out->lastActivityMs > limits_.stallTimeoutMs) {
            stalled << out->id;
        }
    }
    for (const std::shared_ptr<Incoming>& in : std::as_const(incoming_)) {
        if (in->stage == Incoming::Stage::Receiving &&
            now - in->lastActivityMs > limits_.stallTimeoutMs) {
            stalled << in->id;
        }
    }
    for (const QString& id : std::as_const(stalled)) {
        Stop(id, {FileFailure::Stalled, {}});
    }
    // A session closed by this program's own call (Close, StopAll) gives no signal.
    for (const QString& id : OnSession({})) {
        const auto out = outgoing_.value(id);
        const auto in = incoming_.value(id);
        if ((out || in) && !sessions_->IsEstablished(out ? out->address : in->address)) {
            End(id, {FileFailure::ConnectionLost, {}});
        }
    }
    if (now - lastClean_ > kCleanIntervalMs) {
        lastClean_ = now;
        Work([store = store_] { store->Clean(); });
    }
}

void FileTransferEngine::Progress(const QString& id, qint64& lastMs, qint64 done, qint64 total,
                                  bool force) {
    const qint64 now = SessionClockMs();
    if (force || now - lastMs >= limits_.progressIntervalMs) {
        lastMs = now;
        emit progress(id, done, total);
    }
}

void FileTransferEngine::Stop(const QString& id, const FileError& error, FileKind frame) {
    const std::shared_ptr<Outgoing> out = outgoing_.value(id);
    const std::shared_ptr<Incoming> in = incoming_.value(id);
    const QString address = out ? out->address : in ? in->address : QString();
    if (!out || out->stage >= Outgoing::Stage::Offered) {
        SendControl(address, Encode(frame, {id, FileFailureCode(error.failure)}));
    }
    End(id, error);
}

void FileTransferEngine::End(const QString& id, const FileError& error) {
    const QString text = error ? error.Text(sessions_->Port()) : QString();
    if (const std::shared_ptr<Outgoing> out = outgoing_.take(id)) {
        out->shared->ended = true;
        emit finished(id, error.failure, text);
        return;
    }
    const std::shared_ptr<Incoming> in = incoming_.take(id);
    if (!in) {
        return;
    }
    in->shared->ended = true;
    if (in->paused) {
        UpdatePause(in->address);
    }
    // After the jobs queued before it (writes, a prepare under way, a file's end): when
    // `finished` comes, the folder holds what stays. Files already released are left as
    // they are.
    Work([this, id, failure = error.failure, text, store = store_, shared = in->shared] {
        for (const std::shared_ptr<SinkFile>& sink : std::as_const(shared->sinks)) {
            store->Keep(*sink);
        }
        shared->sinks.clear();
        Back([this, id, failure, text] { emit finished(id, failure, text); });
    });
}

}  // namespace tollix
