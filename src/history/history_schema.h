#pragma once

#include <QSqlDatabase>

#include "history/sql_support.h"

namespace tollix {

// The version that PRAGMA user_version holds once a file has the current tables.
inline constexpr int kHistorySchemaVersion = 4;

// Takes the file to the current version one step at a time, each in its own transaction;
// a new file goes through every step. A file of a newer version is left untouched and
// reported as a fault.
MaybeFault MigrateHistorySchema(const QSqlDatabase& db);

// Deletes every entry together with its words in the full-text index, inside the caller's
// transaction.
MaybeFault EmptyHistoryTables(const QSqlDatabase& db);

}  // namespace tollix
