#include "acsdb/ConnectionDef.h"

#include <QStringList>
#include <QUrl>
#include <QtGlobal>

namespace {

// Braces only where a plain value would be misread: ODBC parsers end a plain value at ";", and
// some (FreeTDS before 1.4) do not undo the doubling of "}" inside braces.
bool NeedsBraces(const QString& value)
{
    if (value.isEmpty())
        return false;
    return value.contains(u';') || value.front() == u'{' || value.front().isSpace() || value.back().isSpace();
}

} // namespace

QString OdbcDriverName()
{
    const QString configured = qEnvironmentVariable("PELORIN_ODBC_DRIVER");
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

QString OdbcAttribute(const QString& key, const QString& value)
{
    if (!NeedsBraces(value))
        return key + u'=' + value;
    QString quoted = value;
    quoted.replace(u'}', QStringLiteral("}}"));
    return key + QStringLiteral("={") + quoted + u'}';
}

TConnectionDef TConnectionDef::FromServerConfig(const TServerConfig& config)
{
    if (!config.SqliteDatabase.isEmpty())
        return Sqlite(config.SqliteDatabase);
    return SqlServer(config.SqlServerInstance, config.SqlServerLogin, config.SqlServerPassword);
}

TConnectionDef TConnectionDef::SqlServer(const QString& instance, const QString& login,
                                         const QString& password)
{
    TConnectionDef def;
    def.Dialect = TSqlDialect::SqlServer;
    def.QtDriver = QStringLiteral("QODBC");
    // The login travels inside the connect string (not through setUserName/setPassword), so that
    // its escaping is ours and every character reaches the driver as written.
    const QStringList attributes{
        QStringLiteral("Driver={") + OdbcDriverName() + u'}',
        OdbcAttribute(QStringLiteral("Server"), instance),
        OdbcAttribute(QStringLiteral("Database"), QString::fromLatin1(kDatabase)),
        OdbcAttribute(QStringLiteral("UID"), login),
        OdbcAttribute(QStringLiteral("PWD"), password),
    };
    // Every attribute ends with ";", which is what ends a braced value.
    def.DatabaseName = attributes.join(u';') + u';';
    const QString seconds = QString::number(kCommandTimeoutMs / 1000);
    def.ConnectOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=") + seconds +
                         QStringLiteral(";SQL_ATTR_CONNECTION_TIMEOUT=") + seconds;
    return def;
}

TConnectionDef TConnectionDef::Sqlite(const QString& filePath)
{
    TConnectionDef def;
    def.Dialect = TSqlDialect::Sqlite;
    def.QtDriver = QStringLiteral("QSQLITE");
    // mode=rw: a missing file is an error, as an unreachable server would be, instead of a new
    // empty database quietly created in its place.
    def.DatabaseName =
        QUrl::fromLocalFile(filePath).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw");
    def.ConnectOptions =
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=") + QString::number(kCommandTimeoutMs);
    return def;
}
