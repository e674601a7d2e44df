#pragma once

#include "acsdb/ConnectionDef.h"
#include "acsdb/SqlText.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

class TConnectionManager;

// One connection from the definition "KV", for one operation on one thread: a connection of its
// own under a unique name, opened on first use, closed and removed when the guard ends. Use it on
// the thread that created it only, and let every query made on it end before the guard does.
//
//     TDbConnection db(manager);
//     QSqlQuery query = db.Exec(sql);   // throws TDbError
//     while (query.next()) ...
//     TDbConnection::CheckFetch(query); // a failure while reading rows
class TDbConnection {
public:
    explicit TDbConnection(const TConnectionManager& manager);
    ~TDbConnection();

    TDbConnection(const TDbConnection&) = delete;
    TDbConnection& operator=(const TDbConnection&) = delete;

    // The open connection; connects when there is none. Throws TDbError.
    QSqlDatabase& Database();
    // The dialect of the open connection (connects first). Throws TDbError.
    TSqlDialect Dialect();
    // Prepares the statement, binds its values in order and executes it. Throws TDbError.
    QSqlQuery Exec(const TSqlText& sql);
    // Executes a text with no values, such as a batch of several statements. Throws TDbError.
    QSqlQuery ExecBatch(const QString& text);
    // Closes the connection so that the next use connects afresh with the current definition,
    // as after an outage. Queries made on it must have ended.
    void Drop();

    // Throws TDbError when reading the rows of `query` failed.
    static void CheckFetch(const QSqlQuery& query);

    const QString& Name() const { return FName; }

private:
    const TConnectionManager& FManager;
    const QString FName;
    std::optional<QSqlDatabase> FDb;
    TSqlDialect FDialect = TSqlDialect::SqlServer;
};
