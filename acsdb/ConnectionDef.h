#pragma once

#include "acsdb/ServerConfig.h"

#include <QString>

// Which SQL the statements are written in.
enum class TSqlDialect { SqlServer, Sqlite };

// The connection definition "KV": everything needed to open one more connection to the
// installation's database. SQL Server is reached through ODBC (FreeTDS on Linux, Microsoft's driver
// on Windows); an SQLite file named by server.config is opened directly.
struct TConnectionDef {
    TSqlDialect Dialect = TSqlDialect::SqlServer;
    QString QtDriver;       // QODBC or QSQLITE
    QString DatabaseName;   // the ODBC connect string, or the SQLite file's URI
    QString ConnectOptions; // QSqlDatabase::setConnectOptions

    static constexpr const char* kName = "KV";
    static constexpr const char* kDatabase = "KestravaDb";
    // Statements give up after this long; logins too.
    static constexpr int kCommandTimeoutMs = 10000;

    static TConnectionDef FromServerConfig(const TServerConfig& config);
    static TConnectionDef SqlServer(const QString& instance, const QString& login, const QString& password);
    static TConnectionDef Sqlite(const QString& filePath);

    bool operator==(const TConnectionDef&) const = default;
};

// The ODBC driver that reaches SQL Server: PELORIN_ODBC_DRIVER when set, otherwise "FreeTDS"
// (registered by Debian's tdsodbc) or, on Windows, "SQL Server".
QString OdbcDriverName();

// One ODBC connect-string attribute, KEY=value; a value that the parser would misread (holding
// ";", beginning with "{" or with blanks at its ends) is written in braces with "}" doubled.
QString OdbcAttribute(const QString& key, const QString& value);
