#include "history/sql_support.h"

namespace tollix {

namespace {

// SQLite's primary result codes for a file locked by another connection (or by another
// statement of this one), a damaged file and one that is no database.
constexpr int kBusy = 5;
constexpr int kLocked = 6;
constexpr int kCorrupt = 11;
constexpr int kNotADatabase = 26;

}  // namespace

SqlFault SqlFault::From(const QSqlError& error) {
    // The driver reports the (possibly extended) SQLite result code; its low byte is the
    // primary code.
    const int code = error.nativeErrorCode().toInt() & 0xff;
    const QString reason =
        error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    return {reason, code == kCorrupt || code == kNotADatabase, code == kBusy || code == kLocked};
}

MaybeFault Exec(QSqlQuery& query) {
    if (query.exec()) {
        return std::nullopt;
    }
    return SqlFault::From(query.lastError());
}

MaybeFault Exec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (query.exec(sql)) {
        return std::nullopt;
    }
    return SqlFault::From(query.lastError());
}

MaybeFault ExecAll(const QSqlDatabase& db, const QStringList& statements) {
    for (const QString& statement : statements) {
        if (MaybeFault fault = Exec(db, statement)) {
            return fault;
        }
    }
    return std::nullopt;
}

MaybeFault InTransaction(const QSqlDatabase& db, const std::function<MaybeFault()>& body) {
    if (MaybeFault fault = Exec(db, "BEGIN IMMEDIATE")) {
        return fault;
    }
    MaybeFault fault = body();
    if (!fault) {
        fault = Exec(db, "COMMIT");
    }
    if (fault) {
        Exec(db, "ROLLBACK");
    }
    return fault;
}

}  // namespace tollix
