#include "history/history_store.h"

#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <vector>

#include "history/history_files.h"
#include "history/history_schema.h"
#include "history/search_expression.h"

namespace tollix {

namespace {

// How long a statement waits for another process's write transaction (ours are short)
// before it fails.
constexpr int kBusyTimeoutMs = 100;
// Entries deleted per turn of the event loop when old ones are dropped.
constexpr int kRetentionChunk = 1000;
constexpr qint64 kMsPerDay = 24 * 60 * 60 * 1000;

const QString kSelectEntries =
    "SELECT id, time_ms, outgoing, address, first_name, last_name, group_name, text, unread "
    "FROM entries WHERE ";

// A null QString would be stored as NULL, which the NOT NULL columns refuse.
QString NotNull(const QString& text) {
    return text.isNull() ? QString("") : text;
}

HistoryEntry EntryAt(const QSqlQuery& row) {
    return {row.value(0).toLongLong(),
            QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong(), Qt::UTC),
            row.value(2).toBool(),
            row.value(3).toString(),
            row.value(4).toString(),
            row.value(5).toString(),
            row.value(6).toString(),
            row.value(7).toString(),
            row.value(8).toBool()};
}

}  // namespace

QString HistoryStore::DefaultDataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString HistoryStore::AlertText(const QString& reason) {
    return "History is not available: " + reason;
}

HistoryStore::HistoryStore(const QString& dataDir, QObject* parent)
    : QObject(parent),
      filePath_(HistoryFilePath(dataDir)),
      connectionName_(QString("tollix-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {
    for (QTimer* timer : {&flushTimer_, &retentionTimer_}) {
        timer->setSingleShot(true);
        timer->setInterval(0);
    }
    connect(&flushTimer_, &QTimer::timeout, this, &HistoryStore::Flush);
    connect(&retentionTimer_, &QTimer::timeout, this, &HistoryStore::ApplyRetentionStep);
}

HistoryStore::~HistoryStore() {
    Close();
}

bool HistoryStore::Open() {
    if (!IsOpen()) {
        if (MaybeFault fault = Connect()) {
            Fail(*fault);
        }
    }
    return IsOpen();
}

void HistoryStore::Close() {
    Flush();
    retentionTimer_.stop();
    retentionCutoff_.reset();
    Disconnect();
}

MaybeFault HistoryStore::Connect() {
    if (std::optional<QString> reason = PrepareHistoryFile(filePath_)) {
        return SqlFault{*reason};
    }
    if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
        return SqlFault{"Qt's SQLite driver (QSQLITE) is not installed"};
    }
    db_ = QSqlDatabase::addDatabase("QSQLITE", connectionName_);
    db_.setDatabaseName(filePath_);
    db_.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db_.open()) {
        return SqlFault::From(db_.lastError());
    }
    {
        QSqlQuery journal(db_);
        if (!journal.exec("PRAGMA journal_mode = WAL") || !journal.next()) {
            return SqlFault::From(journal.lastError());
        }
        if (journal.value(0).toString() != "wal") {
            return SqlFault{"the file cannot be given a write-ahead log"};
        }
    }
    // A commit then ends with a write to the WAL without waiting for the disk: what it
    // wrote outlives the process, and the file stays whole after a power loss. The WAL is
    // copied into the file by the checkpointer's thread, not after a commit here; after a
    // flood it is cut back to a few megabytes.
    if (MaybeFault fault =
            ExecAll(db_, {"PRAGMA synchronous = NORMAL", "PRAGMA wal_autocheckpoint = 0",
                          "PRAGMA journal_size_limit = 4194304"})) {
        return fault;
    }
    if (MaybeFault fault = MigrateHistorySchema(db_)) {
        return fault;
    }
    insert_.emplace(db_);
    if (!insert_->prepare("INSERT INTO entries (time_ms, outgoing, address, first_name, "
                          "last_name, group_name, text, unread) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")) {
        return SqlFault::From(insert_->lastError());
    }
    checkpointer_ = std::make_unique<WalCheckpointer>(filePath_);
    RequestCheckpoint();  // what opening wrote (a new file, a migration)
    return std::nullopt;
}

void HistoryStore::Disconnect() {
    checkpointer_.reset();
    insert_.reset();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

void HistoryStore::Fail(const SqlFault& fault) {
    Disconnect();
    if (!fault.corrupt) {
        Report(fault.reason);
        return;
    }
    const MovedAside aside = MoveAsideDamaged(filePath_, QDateTime::currentDateTimeUtc());
    if (!aside.moved) {
        Report(fault.reason + "; the file could not be moved aside: " + aside.detail);
        return;
    }
    Report(fault.reason + "; the file was moved aside as " + aside.detail +
           " and a new history was started");
    if (MaybeFault again = Connect()) {
        Disconnect();
        Report(again->reason);
    }
}

void HistoryStore::Report(const QString& reason) {
    // Later, so that a handler that shows a modal box does not run inside the store.
    QTimer::singleShot(0, this, [this, reason] { emit fault(reason); });
}

void HistoryStore::Add(HistoryEntry entry, QObject* context, Stored shown) {
    if (!entry.time.isValid()) {
        entry.time = QDateTime::currentDateTimeUtc();
    }
    queued_.push_back({std::move(entry), context, context != nullptr, std::move(shown)});
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void HistoryStore::Flush() {
    flushTimer_.stop();
    std::deque<Pending> batch;
    batch.swap(queued_);
    if (!batch.empty() && IsOpen()) {
        Commit(batch);
    }
    for (Pending& pending : batch) {
        committed_.push_back(std::move(pending));
    }
    HandBack();
}

void HistoryStore::Commit(std::deque<Pending>& batch) {
    std::vector<qint64> ids;
    const MaybeFault fault = InTransaction(db_, [this, &batch, &ids]() -> MaybeFault {
        for (const Pending& pending : batch) {
            const HistoryEntry& entry = pending.entry;
            insert_->bindValue(0, entry.time.toMSecsSinceEpoch());
            insert_->bindValue(1, entry.outgoing ? 1 : 0);
            insert_->bindValue(2, NotNull(entry.address));
            insert_->bindValue(3, NotNull(entry.firstName));
            insert_->bindValue(4, NotNull(entry.lastName));
            insert_->bindValue(5, NotNull(entry.groupName));
            insert_->bindValue(6, NotNull(entry.text));
            insert_->bindValue(7, entry.unread ? 1 : 0);
            if (MaybeFault insertFault = Exec(*insert_)) {
                return insertFault;
            }
            ids.push_back(insert_->lastInsertId().toLongLong());
        }
        return std::nullopt;
    });
    if (fault) {
        Fail(*fault);
        return;
    }
    RequestCheckpoint();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        batch[i].entry.id = ids[i];
    }
}

void HistoryStore::HandBack() {
    // A callback may run a nested event loop (a modal box) in which later texts are
    // committed and handed back: one queue for all keeps them in the order of Add.
    while (!committed_.empty()) {
        Pending pending = std::move(committed_.front());
        committed_.pop_front();
        if (pending.shown && (!pending.guarded || pending.context)) {
            pending.shown(pending.entry);
        }
    }
}

bool HistoryStore::Run(const QString& sql, const QVariantList& values, const RowReader& row,
                       int* changed) {
    if (!IsOpen()) {
        return false;
    }
    MaybeFault fault;
    {
        QSqlQuery query(db_);
        if (!query.prepare(sql)) {
            fault = SqlFault::From(query.lastError());
        } else {
            for (const QVariant& value : values) {
                query.addBindValue(value);
            }
            fault = Exec(query);
        }
        while (!fault && query.next()) {
            row(query);
        }
        // A damaged page may show only while the rows are read.
        if (!fault && query.lastError().isValid()) {
            fault = SqlFault::From(query.lastError());
        }
        if (changed != nullptr) {
            *changed = query.numRowsAffected();
        }
    }
    if (fault) {
        Fail(*fault);
        return false;
    }
    return true;
}

QList<HistoryEntry> HistoryStore::Last(const QString& address, int count, qint64 beforeId) {
    QList<HistoryEntry> entries;
    Run(kSelectEntries + "address = ? AND id < ? ORDER BY id DESC LIMIT ?",
        {address, beforeId > 0 ? beforeId : std::numeric_limits<qint64>::max(), std::max(count, 0)},
        [&entries](const QSqlQuery& row) { entries << EntryAt(row); });
    std::reverse(entries.begin(), entries.end());
    return entries;
}

QList<HistoryEntry> HistoryStore::Range(const QString& address, qint64 firstId, qint64 beforeId) {
    QList<HistoryEntry> entries;
    Run(kSelectEntries + "address = ? AND id >= ? AND id < ? ORDER BY id",
        {address, firstId, beforeId},
        [&entries](const QSqlQuery& row) { entries << EntryAt(row); });
    return entries;
}

QList<qint64> HistoryStore::Search(const QString& address, const QString& words) {
    QList<qint64> ids;
    const QString expression = SearchExpression(words);
    if (!expression.isEmpty()) {
        // The index is walked once, in id order, and each hit looked up; left to itself,
        // SQLite would walk the contact's entries and run the match once for each.
        Run("SELECT entries.id FROM entries_text CROSS JOIN entries ON entries.id = "
            "entries_text.rowid WHERE entries_text MATCH ? AND entries.address = ? "
            "ORDER BY entries_text.rowid",
            {expression, address},
            [&ids](const QSqlQuery& row) { ids << row.value(0).toLongLong(); });
    }
    return ids;
}

QHash<QString, int> HistoryStore::UnreadCounts() {
    QHash<QString, int> counts;
    Run("SELECT address, COUNT(*) FROM entries WHERE unread = 1 GROUP BY address", {},
        [&counts](const QSqlQuery& row) {
            counts.insert(row.value(0).toString(), row.value(1).toInt());
        });
    return counts;
}

int HistoryStore::UnreadCount(const QString& address, qint64 beforeId) {
    int count = 0;
    Run("SELECT COUNT(*) FROM entries WHERE address = ? AND unread = 1 AND id < ?",
        {address, beforeId > 0 ? beforeId : std::numeric_limits<qint64>::max()},
        [&count](const QSqlQuery& row) { count = row.value(0).toInt(); });
    return count;
}

void HistoryStore::ClearUnread(const QString& address, qint64 firstId) {
    if (Run("UPDATE entries SET unread = 0 WHERE address = ? AND unread = 1 AND id >= ?",
            {address, firstId})) {
        RequestCheckpoint();
    }
}

void HistoryStore::ApplyRetention(int days, const QDateTime& now) {
    if (days > 0) {
        retentionCutoff_ = now.toMSecsSinceEpoch() - days * kMsPerDay;
        retentionTimer_.start();
    }
}

void HistoryStore::ApplyRetentionStep() {
    int deleted = 0;
    // Each chunk is its own short transaction, so texts are stored in between.
    if (retentionCutoff_ &&
        Run("DELETE FROM entries WHERE id IN (SELECT id FROM entries WHERE time_ms < ? LIMIT ?)",
            {*retentionCutoff_, kRetentionChunk}, {}, &deleted)) {
        RequestCheckpoint();
        if (deleted == kRetentionChunk) {
            retentionTimer_.start();
            return;
        }
    }
    retentionCutoff_.reset();
}

bool HistoryStore::ClearAll() {
    Flush();
    retentionTimer_.stop();
    retentionCutoff_.reset();
    if (!IsOpen()) {
        return false;
    }
    if (MaybeFault fault = EmptyHistoryTables(db_)) {
        Fail(*fault);
        return false;
    }
    // Until the next checkpoint, the WAL still holds pages with the deleted texts.
    Exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

}  // namespace tollix
