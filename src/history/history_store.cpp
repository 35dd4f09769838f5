#include "history/history_store.h"

#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "history/history_files.h"
#include "history/history_schema.h"
#include "history/search_expression.h"

namespace tollix {

namespace {

// How long a statement waits for another connection's lock before the file counts as busy
// (the writes are then tried again from the event loop, later).
constexpr int kBusyTimeoutMs = 2;
// How long closing waits for a busy file before the texts still queued are given up.
constexpr int kClosingWaitMs = 1000;
constexpr int kFirstRetryDelayMs = 5;
// The most entries one retention delete takes; the size is fitted to the time slice.
constexpr int kMaxRetentionChunk = 4096;
constexpr qint64 kMsPerDay = 24 * 60 * 60 * 1000;

const QString kSelectEntries =
    "SELECT id, time_ms, outgoing, address, first_name, last_name, group_name, text, unread, "
    "text_id, privacy, delivery FROM entries WHERE ";

// A null QString would be stored as NULL, which the NOT NULL columns refuse.
QString NotNull(const QString& text) {
    return text.isNull() ? QString("") : text;
}

HistoryEntry EntryAt(const QSqlQuery& row) {
    HistoryEntry entry;
    entry.id = row.value(0).toLongLong();
    entry.time = QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong(), Qt::UTC);
    entry.outgoing = row.value(2).toBool();
    entry.address = row.value(3).toString();
    entry.firstName = row.value(4).toString();
    entry.lastName = row.value(5).toString();
    entry.groupName = row.value(6).toString();
    entry.text = row.value(7).toString();
    entry.unread = row.value(8).toBool();
    entry.textId = row.value(9).toString();
    entry.privacy = static_cast<Privacy>(row.value(10).toInt());
    entry.delivery = static_cast<Delivery>(row.value(11).toInt());
    return entry;
}

QString KeptElsewhere(const QString& holder) {
    return QString(
               "another Tollix program of this user keeps it%1; texts are shown here "
               "without being stored")
        .arg(holder.isEmpty() ? QString() : " (process " + holder + ")");
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
    steadyClock_.start();
    writeTimer_.setSingleShot(true);
    handBackTimer_.setSingleShot(true);
    connect(&writeTimer_, &QTimer::timeout, this, [this] { WriteQueued(kWriteSliceMs); });
    connect(&handBackTimer_, &QTimer::timeout, this, [this] { HandBack(); });
}

HistoryStore::~HistoryStore() {
    Close();
}

bool HistoryStore::Open() {
    if (IsOpen()) {
        return true;
    }
    if (std::optional<QString> reason = PrepareHistoryFile(filePath_)) {
        Report(*reason);
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
        Report("Qt's SQLite driver (QSQLITE) is not installed");
        return false;
    }
    QString detail;
    switch (lock_.Take(filePath_, detail)) {
        case WriterLock::Outcome::Failed:
            Report(detail);
            return false;
        case WriterLock::Outcome::HeldByOther:
            role_ = Role::Reader;
            holder_ = detail;
            Report(KeptElsewhere(holder_));
            break;
        case WriterLock::Outcome::Held:
            role_ = Role::Writer;
            break;
    }
    // A busy file is connected to at the first write or read.
    Reconnect();
    if (IsOpen()) {
        emit opened();
    }
    return IsOpen();
}

void HistoryStore::Close() {
    if (IsWriting() && db_.isOpen()) {
        Exec(db_, QString("PRAGMA busy_timeout = %1").arg(kClosingWaitMs));
    }
    Flush();
    if (!writes_.empty()) {
        qWarning("tollix: the history file stayed busy; what was still queued is not stored");
    }
    Shut();
}

MaybeFault HistoryStore::Connect() {
    // A file moved away is made again with its mode before SQLite makes it with another.
    if (IsWriting()) {
        if (std::optional<QString> reason = PrepareHistoryFile(filePath_)) {
            return SqlFault{*reason};
        }
    }
    // Taken before the file is opened: a file replaced in between is noticed at the next use.
    const std::optional<FileIdentity> identity = IdentityOf(filePath_);
    if (MaybeFault fault = OpenConnection()) {
        return fault;
    }
    fileIdentity_ = identity;
    return std::nullopt;
}

MaybeFault HistoryStore::OpenConnection() {
    db_ = QSqlDatabase::addDatabase("QSQLITE", connectionName_);
    db_.setDatabaseName(filePath_);
    db_.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1%2")
                              .arg(kBusyTimeoutMs)
                              .arg(IsWriting() ? "" : ";QSQLITE_OPEN_READONLY"));
    if (!db_.open()) {
        return SqlFault::From(db_.lastError());
    }
    if (IsWriting()) {
        return PrepareWriting();
    }
    // A reader reads only a file that its writer has brought to the current schema.
    QVariant version;
    if (MaybeFault fault = Query("PRAGMA user_version", {},
                                 [&version](const QSqlQuery& row) { version = row.value(0); })) {
        return fault;
    }
    if (version.toInt() != kHistorySchemaVersion) {
        return SqlFault{"the file is not ready to be read"};
    }
    return std::nullopt;
}

MaybeFault HistoryStore::PrepareWriting() {
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
                          "last_name, group_name, text, unread, text_id, privacy, delivery) VALUES "
                          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) {
        return SqlFault::From(insert_->lastError());
    }
    if (MaybeFault fault = LoadBudget()) {
        return fault;
    }
    checkpointer_ = std::make_unique<WalCheckpointer>(filePath_);
    RequestCheckpoint();  // what opening wrote (a new file, a migration)
    return std::nullopt;
}

MaybeFault HistoryStore::LoadBudget() {
    QSet<QString> writtenTo;
    if (MaybeFault fault = Query(
            "SELECT DISTINCT address FROM entries WHERE outgoing = 1", {},
            [&writtenTo](const QSqlQuery& row) { writtenTo.insert(row.value(0).toString()); })) {
        return fault;
    }
    const QDate today = QDate::currentDate();
    QHash<QString, qint64> todayByAddress;
    if (MaybeFault fault = Query(
            "SELECT address, SUM(length(CAST(text AS BLOB))), "
            "SUM(length(CAST(first_name || last_name || group_name AS BLOB))) FROM entries "
            "WHERE time_ms >= ? AND outgoing = 0 GROUP BY address",
            {today.startOfDay().toMSecsSinceEpoch()}, [&todayByAddress](const QSqlQuery& row) {
                todayByAddress.insert(
                    row.value(0).toString(),
                    StrangerBudget::Weight(row.value(1).toLongLong(), row.value(2).toLongLong()));
            })) {
        return fault;
    }
    budget_.Load(writtenTo, todayByAddress, today);
    return std::nullopt;
}

void HistoryStore::Disconnect() {
    checkpointer_.reset();
    insert_.reset();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool HistoryStore::Reconnect() {
    Disconnect();
    MaybeFault fault = Connect();
    if (!fault) {
        return true;
    }
    Disconnect();
    // Tried again at the next write or read.
    if (fault->busy || role_ == Role::Reader) {
        return false;
    }
    Fail(*fault);
    return db_.isOpen();
}

bool HistoryStore::Ready() {
    if (role_ == Role::Closed) {
        return false;
    }
    const std::optional<FileIdentity> atPath = IdentityOf(filePath_);
    if (db_.isOpen() && atPath == fileIdentity_) {
        return true;
    }
    const bool replaced = fileIdentity_.has_value() && atPath != fileIdentity_;
    if (!Reconnect()) {
        return false;
    }
    if (replaced) {
        NoteReplaced();
    }
    return true;
}

void HistoryStore::Shut() {
    for (const Write& write : writes_) {
        if (write.text) {
            write.text->queued = false;
        }
    }
    writes_.clear();
    queuedChars_ = 0;
    writeTimer_.stop();
    retryDelayMs_ = 0;
    retentionCutoff_.reset();
    Disconnect();
    fileIdentity_.reset();
    lock_.Release();
    role_ = Role::Closed;
    ArmHandBack();  // what was queued is handed back unstored
}

void HistoryStore::Fail(const SqlFault& fault) {
    Disconnect();
    if (role_ == Role::Reader) {
        return;  // the writer deals with the file; reading is tried again at the next query
    }
    if (!fault.corrupt) {
        Report(fault.reason);
        Shut();
        return;
    }
    const MovedAside aside = MoveAsideDamaged(filePath_, QDateTime::currentDateTimeUtc());
    if (!aside.moved) {
        Report(fault.reason + "; the file could not be moved aside: " + aside.detail);
        Shut();
        return;
    }
    Report(fault.reason + "; the file was moved aside as " + aside.detail +
           " and a new history was started");
    if (MaybeFault again = Connect()) {
        Report(again->reason);
        Shut();
        return;
    }
    NoteReplaced();
}

void HistoryStore::Report(const QString& reason) {
    // Later, so that a handler that shows a modal box does not run inside the store.
    QTimer::singleShot(0, this, [this, reason] { emit fault(reason); });
}

void HistoryStore::NoteReplaced() {
    // Later, so that no window drops its stored entries while it is reading them; before
    // any id of the new file is handed back.
    replacedPending_ = true;
    QTimer::singleShot(0, this, &HistoryStore::DeliverReplaced);
}

void HistoryStore::DeliverReplaced() {
    if (std::exchange(replacedPending_, false)) {
        emit replaced();
    }
}

void HistoryStore::Add(HistoryEntry entry, QObject* context, Stored shown) {
    if (!entry.time.isValid()) {
        entry.time = QDateTime::currentDateTimeUtc();
    }
    auto pending = std::make_shared<Pending>(Pending{std::move(entry), context, context != nullptr,
                                                     std::move(shown), steadyClock_.elapsed()});
    HistoryEntry& text = pending->entry;
    // Beyond the queue's bound (the file has been busy for long) a text is shown only.
    if (IsWriting() && queuedChars_ + text.text.size() <= kMaxQueuedChars) {
        if (budget_.Admit(text, QDate::currentDate())) {
            pending->queued = true;
            queuedChars_ += text.text.size();
            writes_.push_back({Write::Kind::Text, pending, {}});
            ScheduleWrite();
        } else {
            text.overDailyLimit = true;
        }
    }
    toHandBack_.push_back(pending);
    if (toHandBack_.size() == 1) {
        ArmHandBack();
    }
}

void HistoryStore::Flush() {
    WriteQueued(std::nullopt);
    HandBack(true);
}

void HistoryStore::ScheduleWrite() {
    // A pause after a busy file is not cut short.
    if (!writeTimer_.isActive()) {
        writeTimer_.start(0);
    }
}

void HistoryStore::RetryLater() {
    retryDelayMs_ = std::clamp(retryDelayMs_ * 2, kFirstRetryDelayMs, kMaxRetryDelayMs);
    writeTimer_.start(retryDelayMs_);
}

void HistoryStore::WriteQueued(std::optional<int> sliceMs) {
    writeTimer_.stop();
    DeliverReplaced();
    const bool retention = retentionCutoff_.has_value() && sliceMs.has_value();
    if (!writes_.empty() || retention) {
        if (!Ready()) {
            if (IsWriting()) {
                RetryLater();
            }
        } else {
            QElapsedTimer clock;
            clock.start();
            const auto timeLeft = [&] { return !sliceMs || clock.elapsed() < *sliceMs; };
            std::size_t done = 0;
            std::vector<qint64> ids;
            bool cleared = false;
            bool retentionFinished = false;
            const MaybeFault fault = InTransaction(db_, [&]() -> MaybeFault {
                // At least one change per turn, and at least one delete of the retention:
                // a steady stream of texts does not hold it off.
                for (; done < writes_.size() && (done == 0 || timeLeft()); ++done) {
                    qint64 id = 0;
                    if (MaybeFault writeFault = Apply(writes_[done], id)) {
                        return writeFault;
                    }
                    ids.push_back(id);
                    cleared = cleared || writes_[done].kind == Write::Kind::ClearAll;
                }
                return retention ? DeleteExpired(clock, *sliceMs, retentionFinished) : std::nullopt;
            });
            if (fault && fault->busy) {
                RetryLater();
            } else if (fault) {
                Fail(*fault);
            } else {
                if (retentionFinished) {
                    retentionCutoff_.reset();
                }
                Committed(done, ids, cleared);
            }
        }
    }
    HandBack();
}

MaybeFault HistoryStore::Apply(const Write& write, qint64& id) {
    switch (write.kind) {
        case Write::Kind::Text: {
            const HistoryEntry& entry = write.text->entry;
            insert_->bindValue(0, entry.time.toMSecsSinceEpoch());
            insert_->bindValue(1, entry.outgoing ? 1 : 0);
            insert_->bindValue(2, NotNull(entry.address));
            insert_->bindValue(3, NotNull(entry.firstName));
            insert_->bindValue(4, NotNull(entry.lastName));
            insert_->bindValue(5, NotNull(entry.groupName));
            insert_->bindValue(6, NotNull(entry.text));
            insert_->bindValue(7, entry.unread ? 1 : 0);
            // NULL for open texts: the index of IDs holds private ones only.
            insert_->bindValue(8, entry.textId.isEmpty() ? QVariant() : QVariant(entry.textId));
            insert_->bindValue(9, static_cast<int>(entry.privacy));
            insert_->bindValue(10, static_cast<int>(entry.delivery));
            if (MaybeFault fault = Exec(*insert_)) {
                return fault;
            }
            id = insert_->lastInsertId().toLongLong();
            return std::nullopt;
        }
        case Write::Kind::ClearUnread:
            return Query(
                "UPDATE entries SET unread = 0 WHERE address = ? AND unread = 1 AND id >= ?",
                {write.address, write.firstId});
        case Write::Kind::ClearAll:
            return EmptyHistoryTables(db_);
        case Write::Kind::Statement:
            return Query(write.sql, write.values);
    }
    return std::nullopt;
}

MaybeFault HistoryStore::DeleteExpired(const QElapsedTimer& clock, int sliceMs, bool& finished) {
    const qint64 sliceNs = qint64{sliceMs} * 1'000'000;
    do {
        const qint64 started = clock.nsecsElapsed();
        int deleted = 0;
        if (MaybeFault fault = Query("DELETE FROM entries WHERE id IN (SELECT id FROM entries "
                                     "WHERE time_ms < ? LIMIT ?)",
                                     {*retentionCutoff_, retentionChunk_}, {}, &deleted)) {
            return fault;
        }
        if (deleted < retentionChunk_) {
            finished = true;
            return std::nullopt;
        }
        // Chunks of a quarter to a half of the slice: texts (long ones take a millisecond to
        // delete with their words) are deleted in time, whatever their number.
        const qint64 took = clock.nsecsElapsed() - started;
        if (took * 4 < sliceNs) {
            retentionChunk_ = std::min(retentionChunk_ * 2, kMaxRetentionChunk);
        } else if (took * 2 > sliceNs) {
            retentionChunk_ = std::max(retentionChunk_ / 2, 1);
        }
    } while (clock.nsecsElapsed() < sliceNs);
    return std::nullopt;
}

void HistoryStore::Committed(std::size_t done, const std::vector<qint64>& ids, bool cleared) {
    retryDelayMs_ = 0;
    std::vector<HistoryEntry> late;
    for (std::size_t i = 0; i < done; ++i) {
        const Write write = std::move(writes_.front());
        writes_.pop_front();
        if (write.text) {
            Pending& pending = *write.text;
            pending.entry.id = ids[i];
            pending.queued = false;
            queuedChars_ -= pending.entry.text.size();
            if (pending.handedBack) {
                late.push_back(pending.entry);
            }
        }
    }
    if (cleared) {
        budget_.Clear();
        // Until the next checkpoint, the WAL still holds pages with the deleted texts.
        Exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)");
    }
    RequestCheckpoint();
    if (!writes_.empty() || retentionCutoff_) {
        ScheduleWrite();
    }
    for (const HistoryEntry& entry : late) {
        emit storedLate(entry);
    }
}

void HistoryStore::HandBack(bool all) {
    // Windows learn of a new file before they get any of its ids.
    DeliverReplaced();
    // A callback may run a nested event loop (a modal box) in which later texts are
    // written and handed back: one queue for all keeps them in the order of Add.
    const qint64 now = steadyClock_.elapsed();
    while (!toHandBack_.empty()) {
        const PendingText pending = toHandBack_.front();
        if (!all && pending->queued && now - pending->queuedAt < kShowWithinMs) {
            break;
        }
        toHandBack_.pop_front();
        pending->handedBack = true;
        const Stored shown = std::move(pending->shown);
        if (shown && (!pending->guarded || pending->context)) {
            shown(pending->entry);
        }
    }
    ArmHandBack();
}

void HistoryStore::ArmHandBack() {
    if (toHandBack_.empty()) {
        handBackTimer_.stop();
        return;
    }
    const Pending& front = *toHandBack_.front();
    handBackTimer_.start(front.queued
                             ? static_cast<int>(std::max<qint64>(
                                   0, front.queuedAt + kShowWithinMs - steadyClock_.elapsed()))
                             : 0);
}

MaybeFault HistoryStore::Query(const QString& sql, const QVariantList& values, const RowReader& row,
                               int* changed) {
    QSqlQuery query(db_);
    if (!query.prepare(sql)) {
        return SqlFault::From(query.lastError());
    }
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    MaybeFault fault = Exec(query);
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
    return fault;
}

bool HistoryStore::Run(const QString& sql, const QVariantList& values, const RowReader& row) {
    // A file that was just replaced is not read until the callers know: their ids are of
    // the old one.
    if (!Ready() || replacedPending_) {
        return false;
    }
    if (MaybeFault fault = Query(sql, values, row)) {
        if (!fault->busy) {
            Fail(*fault);
        }
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

std::optional<QHash<QString, int>> HistoryStore::UnreadCounts() {
    QHash<QString, int> counts;
    if (!Run("SELECT address, COUNT(*) FROM entries WHERE unread = 1 GROUP BY address", {},
             [&counts](const QSqlQuery& row) {
                 counts.insert(row.value(0).toString(), row.value(1).toInt());
             })) {
        // Closed (none), or not readable now: the marks shown stay as they are.
        return IsOpen() ? std::nullopt : std::optional(counts);
    }
    for (auto it = counts.begin(); it != counts.end();) {
        if (QueuedClearFrom(it.key())) {
            it.value() = UnreadCount(it.key());
        }
        it = it.value() > 0 ? std::next(it) : counts.erase(it);
    }
    return counts;
}

int HistoryStore::UnreadCount(const QString& address, qint64 beforeId) {
    qint64 before = beforeId > 0 ? beforeId : std::numeric_limits<qint64>::max();
    if (const std::optional<qint64> cleared = QueuedClearFrom(address)) {
        before = std::min(before, *cleared);  // marks that are being cleared count as cleared
    }
    int count = 0;
    if (before > 0) {
        Run("SELECT COUNT(*) FROM entries WHERE address = ? AND unread = 1 AND id < ?",
            {address, before}, [&count](const QSqlQuery& row) { count = row.value(0).toInt(); });
    }
    return count;
}

std::optional<qint64> HistoryStore::QueuedClearFrom(const QString& address) const {
    std::optional<qint64> from;
    for (const Write& write : writes_) {
        if (write.kind == Write::Kind::ClearAll ||
            (write.kind == Write::Kind::ClearUnread && write.address == address)) {
            const qint64 first = write.kind == Write::Kind::ClearAll ? 0 : write.firstId;
            from = std::min(from.value_or(first), first);
        }
    }
    return from;
}

void HistoryStore::ClearUnread(const QString& address, qint64 firstId) {
    if (IsWriting()) {
        writes_.push_back({Write::Kind::ClearUnread, nullptr, address, firstId});
        ScheduleWrite();
    }
}

void HistoryStore::SetMark(const QString& textId, Privacy privacy, Delivery delivery) {
    Execute("UPDATE entries SET privacy = ?, delivery = ? WHERE text_id = ?",
            {static_cast<int>(privacy), static_cast<int>(delivery), textId});
}

void HistoryStore::Execute(const QString& sql, const QVariantList& values) {
    if (IsWriting()) {
        writes_.push_back({Write::Kind::Statement, nullptr, {}, 0, sql, values});
        ScheduleWrite();
    }
}

bool HistoryStore::Select(const QString& sql, const QVariantList& values, const RowReader& row) {
    return Run(sql, values, row);
}

void HistoryStore::ApplyRetention(int days, const QDateTime& now) {
    if (days > 0 && IsWriting()) {
        retentionCutoff_ = now.toMSecsSinceEpoch() - days * kMsPerDay;
        ScheduleWrite();
    }
}

bool HistoryStore::ClearAll() {
    if (!IsWriting()) {
        if (role_ == Role::Reader) {
            Report(KeptElsewhere(holder_));  // why nothing was deleted
        }
        return false;
    }
    retentionCutoff_.reset();
    writes_.push_back({Write::Kind::ClearAll, nullptr, {}});
    Flush();
    return IsWriting();
}

}  // namespace tollix
