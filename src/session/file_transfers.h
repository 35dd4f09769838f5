#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

#include "session/file_transfer_engine.h"

namespace tollix {

class SessionManager;

// File transfers as the programs see them: one object for the whole run, whatever the
// sessions do. While the sessions run, a FileTransferEngine on their manager does the work
// and its signals come out here unchanged; when they stop, transfers under way end with
// `finished` (the program is no longer connected), and offers made meanwhile end at once
// with "this contact's program cannot receive files" - except while the sessions are
// starting (the identity still being made): such offers wait for them.
class FileTransfers : public QObject {
    Q_OBJECT

public:
    explicit FileTransfers(QObject* parent = nullptr);
    ~FileTransfers() override;

    // The sessions started on `manager`; the .parts are remembered in `journalPath`.
    void Attach(SessionManager& manager, const QString& journalPath);
    // The sessions stop: before the manager closes them, so that the other sides hear that
    // the transfers end.
    void Detach();
    // Whether sessions are on their way; ending it without Attach fails the waiting offers.
    void SetStarting(bool starting);
    // Offers are taken: made at once, or once the sessions run.
    bool TakesOffers() const { return engine_ != nullptr || starting_; }

    QString Offer(const QString& address, const QStringList& paths);
    bool Accept(const QString& id, const QString& folder);
    bool Decline(const QString& id);
    bool Cancel(const QString& id);

signals:
    // This copy offered files (Offer); the outcome follows as for any transfer.
    void offerMade(const QString& id, const QString& address, const QStringList& paths);
    void offerReceived(const tollix::IncomingOffer& offer);
    void progress(const QString& id, qint64 done, qint64 total);
    void fileDone(const QString& id, int file, const QString& path, const QString& sha256);
    void fileFailed(const QString& id, int file, tollix::FileFailure failure,
                    const QString& reason);
    void finished(const QString& id, tollix::FileFailure failure, const QString& reason);

private:
    void EndLater(const QString& id, FileFailure failure);

    struct WaitingOffer {
        QString id;
        QString address;
        QStringList paths;
    };

    std::unique_ptr<FileTransferEngine> engine_;
    bool starting_ = false;
    QList<WaitingOffer> waiting_;
    QSet<QString> underWay_;  // offers made or received that have not finished
};

}  // namespace tollix
