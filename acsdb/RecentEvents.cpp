#include "acsdb/RecentEvents.h"

#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/DbValues.h"
#include "acsdb/Statements.h"

#include <exception>
#include <utility>

namespace {

// One row of the recent-events statement. Ids keep the form the database reads them in; the
// event stands for an archived one, so it is a key event and not marked as coming from the poller.
TMes RowToMes(const QSqlQuery& row)
{
    TMes mes;
    mes.LogMessageId = OwnText(row.value(0));
    mes.DateTime = DateTimeValue(row.value(1));
    mes.IsKeyEvent = true;
    mes.MessageType = OwnText(row.value(2));
    mes.MessageSubType = OwnText(row.value(3));
    mes.Message = OwnText(row.value(4));
    mes.Details = OwnText(row.value(5));
    mes.DriverId = GuidText(row.value(6));
    mes.EmployeeId = GuidText(row.value(7));
    mes.OperatorId = GuidText(row.value(8));
    mes.AlcoholResult = IntValue(row.value(9));
    mes.AlcoholCheckState = IntValue(row.value(10));
    mes.TemperatureResult = IntValue(row.value(11));
    mes.TemperatureCheckState = IntValue(row.value(12));
    mes.SetEmployeeFullName(OwnText(row.value(13)));
    mes.DriverName = OwnText(row.value(14));
    return mes;
}

} // namespace

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
            events.push_back(RowToMes(query));
        TDbConnection::CheckFetch(query);
        return events;
    } catch (const TDbError& error) {
        failure = error.Text();
    } catch (const std::exception& error) {
        failure = QStringLiteral("Exception ") + QString::fromLocal8Bit(error.what());
    }
    if (FReport)
        FReport(TobjBase, TstProc, failure);
    return std::nullopt;
}
