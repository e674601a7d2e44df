#include "acsdb/Statements.h"

#include "acsdb/DbValues.h"

namespace Statements {

namespace {

QString Quoted(QString text)
{
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

} // namespace

TSqlText Version()
{
    return {{QStringLiteral("SELECT name, value FROM variables"), QStringLiteral("WHERE name = 'version'")},
            {}};
}

TSqlText FindPhones(TSqlDialect dialect, const QString& Phone, const QString& CountryCode,
                    const QString& CityCode, const QString& Number, const QString& Description)
{
    TSqlText sql{
        {QStringLiteral("Select PhoneNumbers._id as PhoneId, Employee._id as EmpId from PhoneNumbers"),
         QStringLiteral("inner join Employee on Employee._id=PhoneNumbers.EmployeeId"),
         QStringLiteral("Where Employee.IsRemoved=0")},
        {}};
    if (!Phone.isEmpty()) {
        sql.Lines << (dialect == TSqlDialect::Sqlite ? QStringLiteral("and CountryCode||CityCode||Number=?")
                                                     : QStringLiteral("and CountryCode+CityCode+Number=?"));
        sql.Binds << Phone;
        return sql;
    }
    const auto addCondition = [&sql](const QString& line, const QString& value) {
        if (value.isEmpty())
            return;
        sql.Lines << line;
        sql.Binds << value;
    };
    addCondition(QStringLiteral("and CountryCode=?"), CountryCode);
    addCondition(QStringLiteral("and CityCode=?"), CityCode);
    addCondition(QStringLiteral("and Number=?"), Number);
    addCondition(QStringLiteral("and Description=?"), Description);
    return sql;
}

TSqlText GetEmpPhones(TSqlDialect dialect, const QString& EmployeeId)
{
    const QString first =
        dialect == TSqlDialect::Sqlite
            ? QStringLiteral(
                  "select Description,ifnull(CountryCode,'')||ifnull(CityCode,'')||ifnull(Number,'') "
                  "Phone from PhoneNumbers P")
            : QStringLiteral(
                  "select Description,CONCAT(CountryCode ,CityCode,Number) Phone from PhoneNumbers P");
    return {{first, QStringLiteral(" inner join Employee E on E._id=P.EmployeeId and E.IsRemoved=0"),
             QStringLiteral(" where P.EmployeeId=?")},
            {GuidParam(EmployeeId)}};
}

TSqlText SetPhoneDescription(const QString& PhoneId, const QString& Description)
{
    return {{QStringLiteral("Update PhoneNumbers"), QStringLiteral("Set Description=?"),
             QStringLiteral("WHERE _id=?")},
            {Description, GuidParam(PhoneId)}};
}

TSqlText GetEmpPhoto(const QString& EmployeeId, int PhotoNumber)
{
    return {{QStringLiteral("SELECT EmployeeID, PhotoNumber,Photo FROM EmployeePhoto"),
             QStringLiteral("WHERE Photo is not null and EmployeeID=? and PhotoNumber=?")},
            {GuidParam(EmployeeId), PhotoNumber}};
}

TSqlText GetEmployee(const QString& EmployeeId)
{
    return {{QStringLiteral("SELECT _id, FirstName, SecondName, LastName, Comment FROM EMPLOYEE"),
             QStringLiteral("Where _id =?")},
            {GuidParam(EmployeeId)}};
}

TSqlText AccessPointDrivers()
{
    return {{QStringLiteral("select D._idResource,P.Value from driver D"),
             QStringLiteral(
                 "Inner join DriverLinkProperty Dl on Dl._id=D._idParentProperty and Dl.name='AccessPoints'"),
             QStringLiteral("Inner join Resource R on R._id=D._idResource and R.IsRemoved=0"),
             QStringLiteral("Inner join Property P on P._idResource=D._idResource and P.PropertyName='Name'"),
             QStringLiteral("order by Value")},
            {}};
}

TSqlText FaceRecognitionDrivers()
{
    return {{QStringLiteral("select D._idResource,P.Value from driver D"),
             QStringLiteral("Inner join Resource R on R._id=D._idResource and R.IsRemoved=0"),
             QStringLiteral(
                 "left outer join Property P on P._idResource=D._idResource and P.PropertyName='Name'"),
             QStringLiteral("Where D.ObjectTypeName='Kestrava.Driver.Face.FaceRecognitionDriver, "
                            "Kestrava.Driver.Face, Version=1.0.0.0, Culture=neutral, PublicKeyToken=null'"),
             QStringLiteral("order by Value")},
            {}};
}

TSqlText PublishedLogMsgSubtypes()
{
    return {{QStringLiteral(" select Id,Name from LogMsgSubtypes"), QStringLiteral(" where Publish=1 ")}, {}};
}

TSqlText LogStartId() { return {{QStringLiteral("SELECT MAX(_id) as n FROM log ")}, {}}; }

TSqlText LogRowsAfter(qint64 lastId)
{
    return {
        {QStringLiteral("Select L._id,DateTime,LogMessageType,LogMessageSubType,Message,Details,DriverID,"),
         QStringLiteral("EmployeeID,OperatorID,AlcoholResult,AlcoholCheckState,TemperatureResult,"
                        "TemperatureCheckState,"),
         QStringLiteral("E.FullName AS EFullName, P.Value AS DrvName"), QStringLiteral("From log L"),
         QStringLiteral("inner join Employee E on E._id=L.EmployeeID"),
         QStringLiteral("inner join Property P ON P._idResource = L.DriverID AND P.PropertyName = 'Name'"),
         QStringLiteral("Where L._id>?"),
         // Oldest first, so that the last id handled never jumps over a row not yet read.
         QStringLiteral("order by L._id")},
        {QVariant::fromValue<qlonglong>(lastId)}};
}

TSqlText RecentEvents(TSqlDialect dialect, const QString& EmployeeId)
{
    const bool sqlite = dialect == TSqlDialect::Sqlite;
    TSqlText sql{
        {sqlite
             ? QStringLiteral(
                   "Select L._id,DateTime,LogMessageType,LogMessageSubType,Message,Details,DriverID,")
             : QStringLiteral(
                   "Select top(5) L._id,DateTime,LogMessageType,LogMessageSubType,Message,Details,DriverID,"),
         QStringLiteral("EmployeeID,OperatorID,AlcoholResult,AlcoholCheckState,TemperatureResult,"
                        "TemperatureCheckState,"),
         QStringLiteral("E.FullName AS EFullName, P.Value AS DrvName"), QStringLiteral("From log L"),
         QStringLiteral("inner join Employee E on E._id=L.EmployeeID"),
         QStringLiteral("inner join Property P ON P._idResource = L.DriverID AND P.PropertyName = 'Name'"),
         QStringLiteral("Where l.EmployeeID=?"), QStringLiteral("order by datetime desc")},
        {GuidParam(EmployeeId)}};
    if (sqlite)
        sql.Lines << QStringLiteral("limit 5");
    return sql;
}

QStringList ReactionBatch(const QString& sendPath)
{
    return {
        QStringLiteral("declare @PrgPath as nvarchar(255) SET @PrgPath = ") + Quoted(sendPath),
        QStringLiteral("declare @ReactName as nvarchar(255)"),
        QStringLiteral("SET @ReactName = 'KestravaPelorin'"),
        QStringLiteral("declare @DayIntervalsId as uniqueidentifier"),
        QStringLiteral("SET @DayIntervalsId = NEWID();"),
        QStringLiteral("declare @TimeIntervalsId as uniqueidentifier"),
        QStringLiteral("SET @TimeIntervalsId = NEWID();"),
        QStringLiteral("declare @ReactionsId as uniqueidentifier"),
        QStringLiteral("SET @ReactionsId = NEWID();"),
        QStringLiteral("declare @ReactionEventsId as uniqueidentifier"),
        QStringLiteral("SET @ReactionEventsId = NEWID();"),
        QStringLiteral("declare @ReactionActionsId as uniqueidentifier"),
        QStringLiteral("SET @ReactionActionsId = NEWID();"),
        QStringLiteral("declare @AcsSchedulesId as uniqueidentifier"),
        QStringLiteral("SET @AcsSchedulesId = (Select top(1) _id from [dbo].[AcsSchedules] where "
                       "[Name]=@ReactName and IsRemoved=0);"),
        QStringLiteral("if @AcsSchedulesId is null"),
        QStringLiteral("begin"),
        QStringLiteral("SET @AcsSchedulesId = NEWID();"),
        QStringLiteral(
            "INSERT [dbo].[AcsSchedules] ([_id], [Name], [Comment], [ScheduleType], [BuiltInType], "
            "[IsRemoved], [OwnerType])"),
        QStringLiteral("VALUES (@AcsSchedulesId, @ReactName, NULL, 0, 0, 0, 1)"),
        QStringLiteral("INSERT [dbo].[DayIntervals] ([_id], [AcsScheduleID], [WeekID], [DayNumber])"),
        QStringLiteral("VALUES (@DayIntervalsId, @AcsSchedulesId, NULL, 1)"),
        QStringLiteral("INSERT [dbo].[TimeIntervals] ([_id], [DayIntervalsID], [StartTime], [EndTime], "
                       "[IntervalType])"),
        QStringLiteral("VALUES (@TimeIntervalsId, @DayIntervalsId,'00:00:00','23:59:59', 0)"),
        QStringLiteral("end;"),
        QStringLiteral("delete from  [dbo].[Reactions] where [Name]=@ReactName;"),
        QStringLiteral("INSERT [dbo].[Reactions] ([_id], [Name], [Description])"),
        QStringLiteral("VALUES (@ReactionsId, @ReactName, NULL)"),
        QStringLiteral(
            "INSERT [dbo].[ReactionEvents] ([_id], [ReactionId], [Name], [EventType], [IsActive])"),
        QStringLiteral("VALUES (@ReactionEventsId, @ReactionsId, @ReactName, 0, 1)"),
        QStringLiteral("INSERT [dbo].[ReactionEventsFromDevices] ([_id], [EventsFromAnyDevice], "
                       "[EventsWithAnySubtype], [EventsWithAnyKnownEmployee], [EventsWithUnknownEmployee], "
                       "[ScheduleId])"),
        QStringLiteral("VALUES (@ReactionEventsId, 1, 1, 1, 1, @AcsSchedulesId)"),
        QStringLiteral(
            "INSERT [dbo].[ReactionActions] ([_id], [ReactionId], [Name], [ActionType], [IsActive], "
            "[OrderNumber])"),
        QStringLiteral("VALUES (@ReactionActionsId, @ReactionsId, @ReactName, 2, 1, 0)"),
        QStringLiteral(
            "INSERT [dbo].[ReactionExecuteProgramActions] ([_id], [FilePath], [WorkingDir], [Args], "
            "[IsUseEventInfoForArgs])"),
        QStringLiteral("VALUES (@ReactionActionsId, @PrgPath, NULL, NULL, 1)"),
    };
}

} // namespace Statements
