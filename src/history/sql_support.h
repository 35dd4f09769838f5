#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tollix {

// Why a statement on the history file failed, in SQLite's words, whether the file is
// damaged (then it is moved aside rather than given up), and whether it only was busy:
// another connection held a lock that it will let go of (then the statement is tried
// again later).
struct SqlFault {
    QString reason;
    bool corrupt = false;
    bool busy = false;

    static SqlFault From(const QSqlError& error);
};

using MaybeFault = std::optional<SqlFault>;

// Runs a prepared query, or one statement on the database.
MaybeFault Exec(QSqlQuery& query);
MaybeFault Exec(const QSqlDatabase& db, const QString& sql);
// Runs the statements in order, up to the first that fails.
MaybeFault ExecAll(const QSqlDatabase& db, const QStringList& statements);
// Runs `body` in one write transaction (taken at once, so that another process's writer
// makes it wait rather than fail halfway), committed when the body succeeds.
MaybeFault InTransaction(const QSqlDatabase& db, const std::function<MaybeFault()>& body);

}  // namespace tollix
