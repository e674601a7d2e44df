#include "acsdb/DbConnection.h"

#include "acsdb/ConnectionManager.h"
#include "acsdb/DbError.h"

#include <QSqlError>

#include <atomic>
#include <mutex>

namespace {

// QSqlDatabase's list of connections is guarded inside Qt by a lock that ThreadSanitizer cannot
// follow (Qt is not built for it) once two threads contend for it. Adding and removing connections
// one thread at a time keeps that lock uncontended; opening, querying and closing stay parallel.
std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

QSqlDatabase AddConnection(const QString& driver, const QString& name)
{
    std::lock_guard lock(RegistryLock());
    return QSqlDatabase::addDatabase(driver, name);
}

void RemoveConnection(const QString& name)
{
    std::lock_guard lock(RegistryLock());
    QSqlDatabase::removeDatabase(name);
}

QString UniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QString::fromLatin1(TConnectionDef::kName) + u'#' + QString::number(++counter);
}

} // namespace

TDbConnection::TDbConnection(const TConnectionManager& manager)
    : FManager(manager)
    , FName(UniqueConnectionName())
{
}

TDbConnection::~TDbConnection() { Drop(); }

QSqlDatabase& TDbConnection::Database()
{
    if (FDb)
        return *FDb;
    const std::optional<TConnectionDef> def = FManager.Definition();
    if (!def) {
        throw TDbError(QStringLiteral("ConnectionError"),
                       QStringLiteral("The connection definition \"KV\" is not set up"));
    }
    QSqlDatabase db = AddConnection(def->QtDriver, FName);
    if (!db.isValid()) {
        db = QSqlDatabase();
        RemoveConnection(FName);
        throw TDbError(QStringLiteral("ConnectionError"),
                       QStringLiteral("The database driver %1 is not available").arg(def->QtDriver));
    }
    db.setDatabaseName(def->DatabaseName);
    db.setConnectOptions(def->ConnectOptions);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        RemoveConnection(FName);
        throw TDbError::From(error, QStringLiteral("Unable to connect"));
    }
    FDialect = def->Dialect;
    FDb = std::move(db);
    return *FDb;
}

TSqlDialect TDbConnection::Dialect()
{
    Database();
    return FDialect;
}

QSqlQuery TDbConnection::Exec(const TSqlText& sql)
{
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    if (!query.prepare(sql.Text()))
        throw TDbError::From(query.lastError(), QStringLiteral("Unable to prepare the statement"));
    for (const QVariant& value : sql.Binds)
        query.addBindValue(value);
    if (!query.exec())
        throw TDbError::From(query.lastError(), QStringLiteral("Unable to execute the statement"));
    return query;
}

QSqlQuery TDbConnection::ExecBatch(const QString& text)
{
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    if (!query.exec(text))
        throw TDbError::From(query.lastError(), QStringLiteral("Unable to execute the statement"));
    // A statement of a batch that fails after the first shows up only when its result is reached.
    while (query.nextResult()) {
    }
    if (query.lastError().isValid())
        throw TDbError::From(query.lastError(), QStringLiteral("Unable to execute the statement"));
    return query;
}

void TDbConnection::Drop()
{
    if (!FDb)
        return;
    FDb->close();
    FDb.reset();
    RemoveConnection(FName);
}

void TDbConnection::CheckFetch(const QSqlQuery& query)
{
    if (query.lastError().isValid())
        throw TDbError::From(query.lastError(), QStringLiteral("Unable to fetch the row"));
}
