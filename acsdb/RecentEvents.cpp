#include "acsdb/RecentEvents.h"

#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/DbValues.h"
#include "acsdb/Statements.h"

#include <exception>
#include <utility>

TRecentEvents::TRecentEvents(const TConnectionManager& manager, TLogState report)
    : FManager(manager)
    , FReport(std::move(report))
{
}

TRecentEvents::~TRecentEvents() = default;

std::optional<std::vector<TMes>> TRecentEvents::Newest(const QString& EmployeeId)
{
    QString failure;
    try {
        if (!FDb)
            FDb = std::make_unique<TDbConnection>(FManager);
        std::vector<TMes> events;
        QSqlQuery query = FDb->Exec(Statements::RecentEvents(FDb->Dialect(), EmployeeId));
        while (query.next() && events.size() < std::size_t(kCount))
            events.push_back(LogRowToMes(query));
        TDbConnection::CheckFetch(query);
        return events;
    } catch (const std::exception& error) {
        failure = DbFailureText(error);
    }
    if (FReport)
        FReport(TobjBase, TstProc, failure);
    return std::nullopt;
}
