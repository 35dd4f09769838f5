#include "session/file_transfers.h"

#include <algorithm>

#include "session/messages.h"
#include "session/session_manager.h"

namespace tollix {

FileTransfers::FileTransfers(QObject* parent) : QObject(parent) {
    qRegisterMetaType<IncomingOffer>();
    qRegisterMetaType<FileFailure>();
}

FileTransfers::~FileTransfers() = default;

void FileTransfers::Attach(SessionManager& manager, const QString& journalPath) {
    Detach();
    engine_ = std::make_unique<FileTransferEngine>(&manager, journalPath);
    FileTransferEngine& engine = *engine_;
    connect(&engine, &FileTransferEngine::offerReceived, this, [this](const IncomingOffer& offer) {
        underWay_.insert(offer.id);
        emit offerReceived(offer);
    });
    connect(&engine, &FileTransferEngine::progress, this, &FileTransfers::progress);
    connect(&engine, &FileTransferEngine::fileDone, this, &FileTransfers::fileDone);
    connect(&engine, &FileTransferEngine::fileFailed, this, &FileTransfers::fileFailed);
    connect(&engine, &FileTransferEngine::finished, this,
            [this](const QString& id, FileFailure failure, const QString& reason) {
                underWay_.remove(id);
                emit finished(id, failure, reason);
            });
    starting_ = false;
    for (const WaitingOffer& offer : std::exchange(waiting_, {})) {
        underWay_.insert(engine.Offer(offer.address, offer.paths, offer.id));
    }
}

void FileTransfers::SetStarting(bool starting) {
    starting_ = starting;
    if (!starting) {
        for (const WaitingOffer& offer : std::exchange(waiting_, {})) {
            EndLater(offer.id, FileFailure::CannotReceiveFiles);
        }
    }
}

void FileTransfers::Detach() {
    if (!engine_) {
        return;
    }
    // The engine tells the other sides and keeps the .parts, but signals nothing more.
    engine_.reset();
    for (const QString& id : std::exchange(underWay_, {})) {
        EndLater(id, FileFailure::ShuttingDown);
    }
}

QString FileTransfers::Offer(const QString& address, const QStringList& paths) {
    QString id;
    if (engine_) {
        id = engine_->Offer(address, paths);
        underWay_.insert(id);
    } else if (starting_) {
        id = NewTextId();
        waiting_.append({id, address, paths});
    } else {
        id = NewTextId();
        EndLater(id, FileFailure::CannotReceiveFiles);
    }
    emit offerMade(id, address, paths);
    return id;
}

bool FileTransfers::Accept(const QString& id, const QString& folder) {
    return engine_ && engine_->Accept(id, folder);
}

bool FileTransfers::Decline(const QString& id) {
    return engine_ && engine_->Decline(id);
}

bool FileTransfers::Cancel(const QString& id) {
    const auto waiting = std::find_if(waiting_.cbegin(), waiting_.cend(),
                                      [&id](const WaitingOffer& offer) { return offer.id == id; });
    if (waiting != waiting_.cend()) {
        waiting_.erase(waiting);
        EndLater(id, FileFailure::Cancelled);
        return true;
    }
    return engine_ && engine_->Cancel(id);
}

void FileTransfers::EndLater(const QString& id, FileFailure failure) {
    // Queued: a caller learns the outcome after it has the ID.
    QMetaObject::invokeMethod(
        this, [this, id, failure] { emit finished(id, failure, FileFailureText(failure)); },
        Qt::QueuedConnection);
}

}  // namespace tollix
