#pragma once

#include <QElapsedTimer>
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
#include <vector>

#include "history/history_entry.h"
#include "history/sql_support.h"
#include "history/stranger_budget.h"
#include "history/wal_checkpointer.h"
#include "history/writer_lock.h"

namespace tollix {

// The conversation history: one SQLite file, DATA/Quardell/Tollix/history.sqlite, where
// DATA is the user's data folder ($XDG_DATA_HOME or ~/.local/share) or the folder given
// with --config. The folders are made 0700 and the file 0600; the journal is a WAL.
//
// Threading: everything runs on the thread that made the store (the event-loop thread);
// writing takes a few milliseconds per turn of the event loop at most, so the loop is never
// held up for long. Only the copying of the WAL into the file, which waits for the disk,
// runs in a thread of its own.
//
// One writer: several processes of one user (the desktop program, `tollix-cli --history`)
// may open the file, but only the first holds its writer lock (FILE.lock). The others read
// it only: their texts are handed back unstored, and `fault` says once who keeps the
// history.
//
// Storing: Add queues a text; from the next turn of the event loop on, queued texts are
// written in transactions of a few milliseconds each and handed back to their callbacks in
// the order of Add, with their ids. The caller shows the text in that callback, so a text is
// on the disk before it is on the screen, and a process killed right after survives with it.
// A text that has waited kShowWithinMs (the file is busy: another program's transaction
// holds it) is handed back unstored (id 0) all the same and stays queued: once written,
// `storedLate` brings it with its id. Busy is never a fault: the writes are tried again,
// later and later, up to kMaxRetryDelayMs apart.
//
// Texts from strangers take up to a day's room (StrangerBudget); beyond it they are handed
// back unstored, with `overDailyLimit` set.
//
// Faults: a file that cannot be opened, a damaged file, a full disk, a file written by a
// newer version: `fault` is emitted once, at the next turn of the event loop, with the
// reason; the caller shows AlertText(reason). The store is then closed: queries answer
// nothing, and Add still hands every text back (with id 0) so that it is shown all the
// same. A damaged file is never deleted: it is moved aside as
// history.sqlite.corrupt-YYYYMMDD-HHMMSS (with its WAL) and a new, empty history starts.
// When the file turns out to have been replaced (moved aside here or by another program:
// its inode changed), the store opens the new one and emits `replaced`: ids start again.
class HistoryStore : public QObject {
    Q_OBJECT

public:
    // Called with the entry once its transaction has ended: id > 0 when it was stored.
    using Stored = std::function<void(const HistoryEntry&)>;

    // How long a text may wait for a busy file before it is handed back unstored: shown
    // without a delay that a reader would notice.
    static constexpr int kShowWithinMs = 250;
    // The longest pause between two tries to write to a busy file.
    static constexpr int kMaxRetryDelayMs = 500;
    // The time the event loop gives to writing per turn.
    static constexpr int kWriteSliceMs = 4;
    // The characters of text queued for a file that stays busy, at most (16 MB of memory);
    // texts beyond them are handed back unstored.
    static constexpr qint64 kMaxQueuedChars = 8'000'000;

    // The user's data folder: $XDG_DATA_HOME, by default ~/.local/share.
    static QString DefaultDataDir();
    // "History is not available: " and the reason of a fault.
    static QString AlertText(const QString& reason);

    explicit HistoryStore(const QString& dataDir, QObject* parent = nullptr);
    // Writes what is queued and hands it back, then closes.
    ~HistoryStore() override;

    QString FilePath() const { return filePath_; }
    // Texts from strangers, the day's room and who else is always kept.
    StrangerBudget& Budget() { return budget_; }

    // Makes the folder and the file if needed, takes the writer lock, brings an older file
    // to the current schema and returns true when the history can be read. On false,
    // `fault` follows; it also follows a true when a damaged file was moved aside for a new
    // one, or when another program holds the writer lock (then nothing is stored).
    bool Open();
    // Writes what is queued (waiting a little for a busy file), then closes; texts added
    // later are handed back unstored.
    void Close();
    bool IsOpen() const { return role_ != Role::Closed; }
    // Open, and this process holds the writer lock: texts are stored.
    bool IsWriting() const { return role_ == Role::Writer; }

    // Queues a text to be stored. `shown` (may be empty) is called at the next turn of the
    // event loop or later (or in Flush), unless `context` is given and has been destroyed
    // by then.
    void Add(HistoryEntry entry, QObject* context, Stored shown);
    // Writes everything queued now, unless the file is busy, and hands every text back.
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

    // Stored unread texts per contact address (contacts without any are left out; marks
    // that are being cleared count as cleared). None when the file cannot be read now.
    std::optional<QHash<QString, int>> UnreadCounts();
    // Stored unread texts of one contact; with `beforeId`, of those before that entry.
    int UnreadCount(const QString& address, qint64 beforeId = 0);
    // Marks the contact's texts stored so far from `firstId` on as read: its conversation
    // has shown them.
    void ClearUnread(const QString& address, qint64 firstId = 0);

    // The marks of the private text with this ID, stored or still queued.
    void SetMark(const QString& textId, Privacy privacy, Delivery delivery);
    // A change to the tables beside the entries (pins, waiting texts), written in order with
    // the texts while this process writes the file; nothing otherwise.
    void Execute(const QString& sql, const QVariantList& values);
    using RowReader = std::function<void(const QSqlQuery&)>;
    // Reads rows of those tables; false when the file cannot be read now.
    bool Select(const QString& sql, const QVariantList& values, const RowReader& row);

    // Deletes the entries older than `days` days before `now` (0 keeps everything), a few
    // milliseconds' worth per turn of the event loop. Called at start-up and once a day.
    void ApplyRetention(int days, const QDateTime& now = QDateTime::currentDateTimeUtc());
    bool IsApplyingRetention() const { return retentionCutoff_.has_value(); }
    // Deletes every entry (once the file is free, when it is busy); false when nothing is
    // stored here (a reader reports again who keeps the history) or a fault occurred.
    bool ClearAll();

signals:
    void fault(const QString& reason);
    // Open has opened the history: it can be read from now on.
    void opened();
    // The file was replaced by a new one: ids handed out before mean nothing in it.
    void replaced();
    // A text that was handed back unstored because the file was busy has been stored now.
    void storedLate(const tollix::HistoryEntry& entry);

private:
    enum class Role { Closed, Writer, Reader };

    struct Pending {
        HistoryEntry entry;
        QPointer<QObject> context;
        bool guarded = false;  // a context was given: skip the callback once it is gone
        Stored shown;
        qint64 queuedAt = 0;  // ms of steadyClock_
        bool queued = false;  // waits to be written
        bool handedBack = false;
    };
    using PendingText = std::shared_ptr<Pending>;

    // One change waiting to be written, in the order asked for.
    struct Write {
        enum class Kind { Text, ClearUnread, ClearAll, Statement };
        Kind kind = Kind::Text;
        PendingText text;
        QString address;
        qint64 firstId = 0;  // ClearUnread: the first entry it clears
        QString sql{};       // Statement, with its values
        QVariantList values{};
    };

    MaybeFault Connect();
    MaybeFault OpenConnection();
    MaybeFault PrepareWriting();
    MaybeFault LoadBudget();
    void Disconnect();
    // Connects again to the file at the path; false while it cannot be (busy, or not ready
    // for a reader) and after a fault.
    bool Reconnect();
    // Connected to the file that is at the path now, connecting (again) when needed.
    bool Ready();
    // Ends writing and reading: the queue is handed back unstored.
    void Shut();
    // Reports the fault and closes; a damaged file is moved aside and a new one opened.
    void Fail(const SqlFault& fault);
    void Report(const QString& reason);
    void NoteReplaced();
    void DeliverReplaced();
    void RequestCheckpoint() {
        if (checkpointer_) {
            checkpointer_->Request();
        }
    }
    // One transaction of what is queued and of the retention's deletes: for `sliceMs` at
    // most (none: everything queued). Hands back what is done.
    void WriteQueued(std::optional<int> sliceMs);
    MaybeFault Apply(const Write& write, qint64& id);
    MaybeFault DeleteExpired(const QElapsedTimer& clock, int sliceMs, bool& finished);
    void Committed(std::size_t done, const std::vector<qint64>& ids, bool cleared);
    void RetryLater();
    // The first entry whose unread mark a queued change clears (0: every one of the
    // address), or none when no such change waits.
    std::optional<qint64> QueuedClearFrom(const QString& address) const;
    void ScheduleWrite();
    // Hands back the texts at the front that are written, will not be written, or have
    // waited long enough (with `all`: every one), in the order of Add.
    void HandBack(bool all = false);
    // Sets the hand-back timer for the text at the front.
    void ArmHandBack();
    // Runs one statement with its values, reading each row of the answer. `changed`
    // receives the number of rows changed.
    MaybeFault Query(const QString& sql, const QVariantList& values, const RowReader& row = {},
                     int* changed = nullptr);
    // Query on the file at the path; false when it failed (a fault, which is handled, or a
    // busy or replaced file, which is not read now).
    bool Run(const QString& sql, const QVariantList& values, const RowReader& row = {});

    QString filePath_;
    QString connectionName_;
    Role role_ = Role::Closed;
    WriterLock lock_;
    QString holder_;  // the process id of the writer, for a reader
    QSqlDatabase db_;
    std::optional<FileIdentity> fileIdentity_;  // of the file last connected to
    std::optional<QSqlQuery> insert_;
    std::unique_ptr<WalCheckpointer> checkpointer_;  // while writing
    StrangerBudget budget_;
    QElapsedTimer steadyClock_;
    std::deque<Write> writes_;
    qint64 queuedChars_ = 0;
    std::deque<PendingText> toHandBack_;  // in the order of Add
    QTimer writeTimer_;
    QTimer handBackTimer_;  // when the oldest queued text has waited long enough
    int retryDelayMs_ = 0;  // while the file is busy
    bool replacedPending_ = false;
    std::optional<qint64> retentionCutoff_;  // ms since the epoch
    int retentionChunk_ = 16;                // entries per delete, fitted to the time slice
};

}  // namespace tollix
