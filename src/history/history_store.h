#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "history/history_entry.h"
#include "history/sql_support.h"
#include "history/wal_checkpointer.h"

namespace tollix {

// The conversation history: one SQLite file, DATA/Quardell/Tollix/history.sqlite, where
// DATA is the user's data folder ($XDG_DATA_HOME or ~/.local/share) or the folder given
// with --config. The folders are made 0700 and the file 0600; the journal is a WAL.
//
// Threading: everything runs on the thread that made the store (the event-loop thread),
// in short transactions, so the loop is never held up for long; only the copying of the
// WAL into the file, which waits for the disk, runs in a thread of its own. Several
// processes of one user (the desktop program and `tollix-cli --history`) may share the
// file.
//
// Storing: Add queues a text; at the next turn of the event loop every queued text is
// committed in one transaction and then handed back to its callback in the order of Add,
// with its id. The caller shows the text in that callback, so a text is on the disk
// before it is on the screen, and a process killed right after survives with it. Under
// load, the texts that arrived during one turn share a transaction.
//
// Faults: a file that cannot be opened, a damaged file, a full disk, a file written by a
// newer version: `fault` is emitted once, at the next turn of the event loop, with the
// reason; the caller shows AlertText(reason). The store is then closed: queries answer
// nothing, and Add still hands every text back (with id 0) so that it is shown all the
// same. A damaged file is never deleted: it is moved aside as
// history.sqlite.corrupt-YYYYMMDD-HHMMSS (with its WAL) and a new, empty history starts.
class HistoryStore : public QObject {
    Q_OBJECT

public:
    // Called with the entry once its transaction has ended: id > 0 when it was stored.
    using Stored = std::function<void(const HistoryEntry&)>;

    // The user's data folder: $XDG_DATA_HOME, by default ~/.local/share.
    static QString DefaultDataDir();
    // "History is not available: " and the reason of a fault.
    static QString AlertText(const QString& reason);

    explicit HistoryStore(const QString& dataDir, QObject* parent = nullptr);
    // Commits what is queued and hands it back, then closes.
    ~HistoryStore() override;

    QString FilePath() const { return filePath_; }

    // Makes the folder and the file if needed, brings an older file to the current schema
    // and returns true when texts will be stored. On false, `fault` follows; it also
    // follows a true when a damaged file was moved aside for a new one.
    bool Open();
    // Commits what is queued, then closes; texts added later are handed back unstored.
    void Close();
    bool IsOpen() const { return db_.isOpen(); }

    // Queues a text to be stored. `shown` (may be empty) is called at the next turn of the
    // event loop (or in Flush), unless `context` is given and has been destroyed by then.
    void Add(HistoryEntry entry, QObject* context, Stored shown);
    // Commits the queued texts now and hands them back.
    void Flush();

    // Entries of one contact, oldest first: the last `count` of them, or with `beforeId`
    // the `count` before that entry (the next page further back).
    QList<HistoryEntry> Last(const QString& address, int count, qint64 beforeId = 0);
    // Entries of one contact with firstId <= id < beforeId, oldest first: what lies between
    // a search hit and the oldest entry a window has loaded.
    QList<HistoryEntry> Range(const QString& address, qint64 firstId, qint64 beforeId);
    // The ids of one contact's entries that hold every word typed, oldest first. A word
    // matches a word of the text or the start of one, whatever the letter case and
    // accents; punctuation only separates words.
    QList<qint64> Search(const QString& address, const QString& words);

    // Stored unread texts per contact address (contacts without any are left out).
    QHash<QString, int> UnreadCounts();
    // Stored unread texts of one contact; with `beforeId`, of those before that entry.
    int UnreadCount(const QString& address, qint64 beforeId = 0);
    // Marks the contact's texts from `firstId` on as read: its conversation has shown them.
    void ClearUnread(const QString& address, qint64 firstId = 0);

    // Deletes the entries older than `days` days before `now` (0 keeps everything), a
    // thousand per turn of the event loop. Called at start-up and once a day.
    void ApplyRetention(int days, const QDateTime& now = QDateTime::currentDateTimeUtc());
    bool IsApplyingRetention() const { return retentionCutoff_.has_value(); }
    // Deletes every entry; false when the store is closed or a fault occurred.
    bool ClearAll();

signals:
    void fault(const QString& reason);

private:
    struct Pending {
        HistoryEntry entry;
        QPointer<QObject> context;
        bool guarded = false;  // a context was given: skip the callback once it is gone
        Stored shown;
    };

    MaybeFault Connect();
    void Disconnect();
    // Reports the fault and closes; a damaged file is moved aside and a new one opened.
    void Fail(const SqlFault& fault);
    void Report(const QString& reason);
    void RequestCheckpoint() {
        if (checkpointer_) {
            checkpointer_->Request();
        }
    }
    void Commit(std::deque<Pending>& batch);
    void HandBack();
    void ApplyRetentionStep();
    using RowReader = std::function<void(const QSqlQuery&)>;
    // Runs one statement with its values, reading each row of the answer; a failure is
    // handled as a fault. `changed` receives the number of rows changed.
    bool Run(const QString& sql, const QVariantList& values, const RowReader& row = {},
             int* changed = nullptr);

    QString filePath_;
    QString connectionName_;
    QSqlDatabase db_;
    std::optional<QSqlQuery> insert_;
    std::unique_ptr<WalCheckpointer> checkpointer_;  // while open
    std::deque<Pending> queued_;
    std::deque<Pending> committed_;  // waiting to be handed back, in order
    QTimer flushTimer_;
    QTimer retentionTimer_;
    std::optional<qint64> retentionCutoff_;  // ms since the epoch
};

}  // namespace tollix
