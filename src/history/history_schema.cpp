#include "history/history_schema.h"

#include <QStringList>
#include <array>

namespace tollix {

namespace {

// Keeps the full-text index in step with the deleted entries; the index holds no copy of
// the texts, so it needs the old text to find the words to remove.
const char* const kDeleteTrigger =
    "CREATE TRIGGER entries_text_delete AFTER DELETE ON entries BEGIN "
    "INSERT INTO entries_text(entries_text, rowid, text) VALUES ('delete', old.id, old.text); "
    "END";

// Step N takes a file from version N to N + 1.
const std::array<QStringList, kHistorySchemaVersion> kSteps = {
    // Version 1: the entries, their order per contact and by age, and a full-text index of
    // the texts that reads them from the entries table.
    QStringList{
        "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "time_ms INTEGER NOT NULL, outgoing INTEGER NOT NULL, address TEXT NOT NULL, "
        "first_name TEXT NOT NULL, last_name TEXT NOT NULL, group_name TEXT NOT NULL, "
        "text TEXT NOT NULL)",
        "CREATE INDEX entries_by_contact ON entries(address, id)",
        "CREATE INDEX entries_by_time ON entries(time_ms)",
        "CREATE VIRTUAL TABLE entries_text USING fts5(text, content='entries', "
        "content_rowid='id', tokenize='unicode61 remove_diacritics 2')",
        "CREATE TRIGGER entries_text_insert AFTER INSERT ON entries BEGIN "
        "INSERT INTO entries_text(rowid, text) VALUES (new.id, new.text); END",
        kDeleteTrigger,
    },
    // Version 2: unread marks, counted per contact through a partial index.
    QStringList{
        "ALTER TABLE entries ADD COLUMN unread INTEGER NOT NULL DEFAULT 0",
        "CREATE INDEX entries_unread ON entries(address) WHERE unread = 1",
    },
    // Version 3: the addresses the user has written to, read at every start.
    QStringList{
        "CREATE INDEX entries_outgoing ON entries(address) WHERE outgoing = 1",
    },
    // Version 4: private conversations. Each text's privacy and delivery marks and the ID of
    // a private one (its later marks find it by that); the contacts' pinned security codes;
    // the texts waiting for their contacts, in the order written.
    QStringList{
        "ALTER TABLE entries ADD COLUMN text_id TEXT",
        "ALTER TABLE entries ADD COLUMN privacy INTEGER NOT NULL DEFAULT 0",
        "ALTER TABLE entries ADD COLUMN delivery INTEGER NOT NULL DEFAULT 0",
        "CREATE INDEX entries_by_text_id ON entries(text_id) WHERE text_id IS NOT NULL",
        "CREATE TABLE pins (address TEXT PRIMARY KEY, code TEXT NOT NULL, "
        "first_name TEXT NOT NULL, last_name TEXT NOT NULL, group_name TEXT NOT NULL, "
        "verified INTEGER NOT NULL, pinned_ms INTEGER NOT NULL)",
        "CREATE TABLE waiting (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
        "text_id TEXT NOT NULL UNIQUE, address TEXT NOT NULL, text TEXT NOT NULL, "
        "time_ms INTEGER NOT NULL)",
    },
};

}  // namespace

MaybeFault MigrateHistorySchema(const QSqlDatabase& db) {
    for (bool done = false; !done;) {
        // The version is read inside the transaction, so that two processes opening the
        // same file at once do not both take the same step.
        MaybeFault fault = InTransaction(db, [&db, &done]() -> MaybeFault {
            QSqlQuery query(db);
            if (!query.exec("PRAGMA user_version") || !query.next()) {
                return SqlFault::From(query.lastError());
            }
            const int version = query.value(0).toInt();
            if (version > kHistorySchemaVersion) {
                return SqlFault{"the file was written by a newer version of Tollix"};
            }
            done = version == kHistorySchemaVersion;
            if (done) {
                return std::nullopt;
            }
            if (MaybeFault stepFault = ExecAll(db, kSteps[static_cast<std::size_t>(version)])) {
                return stepFault;
            }
            return Exec(db, QString("PRAGMA user_version = %1").arg(version + 1));
        });
        if (fault) {
            return fault;
        }
    }
    return std::nullopt;
}

MaybeFault EmptyHistoryTables(const QSqlDatabase& db) {
    // Row by row, the delete trigger would take seconds on a long history; the index is
    // emptied in one command instead, and the entries without the trigger.
    return ExecAll(db, {"INSERT INTO entries_text(entries_text) VALUES ('delete-all')",
                        "DROP TRIGGER entries_text_delete", "DELETE FROM entries", kDeleteTrigger});
}

}  // namespace tollix
