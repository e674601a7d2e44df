#include "acsdb/Statements.h"
#include "acsdb/ReactionInstaller.h"

#include <gtest/gtest.h>

namespace {

constexpr TSqlDialect kSqlServer = TSqlDialect::SqlServer;

void ExpectLines(const QStringList& actual, const QStringList& expected, const char* name)
{
    ASSERT_EQ(actual.size(), expected.size()) << name << "\n" << actual.join(u'\n').toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << name << ", line " << i + 1;
}

// The SQL Server statements as the installation knows them, with ? where a value is bound.
TEST(Statements, SqlServerTextsLineByLine)
{
    const QString id = QStringLiteral("{e0000001-0000-4000-8000-000000000001}");
    const QString bound = QStringLiteral("E0000001-0000-4000-8000-000000000001");
    const QStringList phoneHead{
        QStringLiteral("Select PhoneNumbers._id as PhoneId, Employee._id as EmpId from PhoneNumbers"),
        QStringLiteral("inner join Employee on Employee._id=PhoneNumbers.EmployeeId"),
        QStringLiteral("Where Employee.IsRemoved=0")};
    const struct {
        const char* Name;
        TSqlText Sql;
        QStringList Lines;
        QVariantList Binds;
    } cases[] = {
        {"version",
         Statements::Version(),
         {QStringLiteral("SELECT name, value FROM variables"), QStringLiteral("WHERE name = 'version'")},
         {}},
        {"FindPhones by phone",
         Statements::FindPhones(kSqlServer, QStringLiteral("77011234567"), QStringLiteral("7"), QString(),
                                QString(), QStringLiteral("TgBot1")),
         phoneHead + QStringList{QStringLiteral("and CountryCode+CityCode+Number=?")},
         {QStringLiteral("77011234567")}},
        {"FindPhones by parts",
         Statements::FindPhones(kSqlServer, QString(), QStringLiteral("7"), QStringLiteral("701"),
                                QStringLiteral("1234567"), QStringLiteral("O'Hara")),
         phoneHead + QStringList{QStringLiteral("and CountryCode=?"), QStringLiteral("and CityCode=?"),
                                 QStringLiteral("and Number=?"), QStringLiteral("and Description=?")},
         {QStringLiteral("7"), QStringLiteral("701"), QStringLiteral("1234567"), QStringLiteral("O'Hara")}},
        {"FindPhones by description",
         Statements::FindPhones(kSqlServer, QString(), QString(), QString(), QString(),
                                QStringLiteral("TgBot42")),
         phoneHead + QStringList{QStringLiteral("and Description=?")},
         {QStringLiteral("TgBot42")}},
        {"GetEmpPhones",
         Statements::GetEmpPhones(kSqlServer, id),
         {QStringLiteral("select Description,CONCAT(CountryCode ,CityCode,Number) Phone from PhoneNumbers P"),
          QStringLiteral(" inner join Employee E on E._id=P.EmployeeId and E.IsRemoved=0"),
          QStringLiteral(" where P.EmployeeId=?")},
         {bound}},
        {"SetPhoneDescription",
         Statements::SetPhoneDescription(id, QStringLiteral("TgBot42")),
         {QStringLiteral("Update PhoneNumbers"), QStringLiteral("Set Description=?"),
          QStringLiteral("WHERE _id=?")},
         {QStringLiteral("TgBot42"), bound}},
        {"GetEmpPhoto",
         Statements::GetEmpPhoto(id, 1),
         {QStringLiteral("SELECT EmployeeID, PhotoNumber,Photo FROM EmployeePhoto"),
          QStringLiteral("WHERE Photo is not null and EmployeeID=? and PhotoNumber=?")},
         {bound, 1}},
        {"GetEmployee",
         Statements::GetEmployee(id),
         {QStringLiteral("SELECT _id, FirstName, SecondName, LastName, Comment FROM EMPLOYEE"),
          QStringLiteral("Where _id =?")},
         {bound}},
        {"access points",
         Statements::AccessPointDrivers(),
         {QStringLiteral("select D._idResource,P.Value from driver D"),
          QStringLiteral(
              "Inner join DriverLinkProperty Dl on Dl._id=D._idParentProperty and Dl.name='AccessPoints'"),
          QStringLiteral("Inner join Resource R on R._id=D._idResource and R.IsRemoved=0"),
          QStringLiteral("Inner join Property P on P._idResource=D._idResource and P.PropertyName='Name'"),
          QStringLiteral("order by Value")},
         {}},
        {"face recognition devices",
         Statements::FaceRecognitionDrivers(),
         {QStringLiteral("select D._idResource,P.Value from driver D"),
          QStringLiteral("Inner join Resource R on R._id=D._idResource and R.IsRemoved=0"),
          QStringLiteral(
              "left outer join Property P on P._idResource=D._idResource and P.PropertyName='Name'"),
          QStringLiteral(
              "Where D.ObjectTypeName='Kestrava.Driver.Face.FaceRecognitionDriver, Kestrava.Driver.Face, "
              "Version=1.0.0.0, Culture=neutral, PublicKeyToken=null'"),
          QStringLiteral("order by Value")},
         {}},
        {"subtypes",
         Statements::PublishedLogMsgSubtypes(),
         {QStringLiteral(" select Id,Name from LogMsgSubtypes"), QStringLiteral(" where Publish=1 ")},
         {}},
        {"log start", Statements::LogStartId(), {QStringLiteral("SELECT MAX(_id) as n FROM log ")}, {}},
        // The one change: rows oldest first, so that the last id never passes over an unread row.
        {"log poll",
         Statements::LogRowsAfter(1234567890123),
         {QStringLiteral("Select L._id,DateTime,LogMessageType,LogMessageSubType,Message,Details,DriverID,"),
          QStringLiteral("EmployeeID,OperatorID,AlcoholResult,AlcoholCheckState,TemperatureResult,"
                         "TemperatureCheckState,"),
          QStringLiteral("E.FullName AS EFullName, P.Value AS DrvName"), QStringLiteral("From log L"),
          QStringLiteral("inner join Employee E on E._id=L.EmployeeID"),
          QStringLiteral("inner join Property P ON P._idResource = L.DriverID AND P.PropertyName = 'Name'"),
          QStringLiteral("Where L._id>?"), QStringLiteral("order by L._id")},
         {QVariant::fromValue<qlonglong>(1234567890123)}},
        {"recent events",
         Statements::RecentEvents(kSqlServer, id),
         {QStringLiteral(
              "Select top(5) L._id,DateTime,LogMessageType,LogMessageSubType,Message,Details,DriverID,"),
          QStringLiteral("EmployeeID,OperatorID,AlcoholResult,AlcoholCheckState,TemperatureResult,"
                         "TemperatureCheckState,"),
          QStringLiteral("E.FullName AS EFullName, P.Value AS DrvName"), QStringLiteral("From log L"),
          QStringLiteral("inner join Employee E on E._id=L.EmployeeID"),
          QStringLiteral("inner join Property P ON P._idResource = L.DriverID AND P.PropertyName = 'Name'"),
          QStringLiteral("Where l.EmployeeID=?"), QStringLiteral("order by datetime desc")},
         {bound}},
    };
    for (const auto& c : cases) {
        ExpectLines(c.Sql.Lines, c.Lines, c.Name);
        EXPECT_EQ(c.Sql.Binds, c.Binds) << c.Name;
    }
}

TEST(Statements, ReactionBatchLineByLine)
{
    const QStringList expected{
        QStringLiteral(
            "declare @PrgPath as nvarchar(255) SET @PrgPath = 'C:\\Program Files\\O''Neil\\PelorinSend.exe'"),
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
        QStringLiteral(
            "SET @AcsSchedulesId = (Select top(1) _id from [dbo].[AcsSchedules] where [Name]=@ReactName "
            "and IsRemoved=0);"),
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
    const QString sendPath =
        TReactionInstaller::PelorinSendPath(QStringLiteral("C:\\Program Files\\O'Neil\\KestravaPelorin.exe"));
    const QStringList first = Statements::ReactionBatch(sendPath);
    ExpectLines(first, expected, "reaction batch");
    // Built again, it still holds exactly one path line.
    const QStringList second = Statements::ReactionBatch(QStringLiteral("/opt/kp/PelorinSend"));
    EXPECT_EQ(second.size(), 36);
    EXPECT_EQ(second.filter(QStringLiteral("declare @PrgPath")).size(), 1);
    EXPECT_EQ(second[0],
              QStringLiteral("declare @PrgPath as nvarchar(255) SET @PrgPath = '/opt/kp/PelorinSend'"));
}

TEST(Statements, PelorinSendSitsBesideTheProgram)
{
    const struct {
        QString AppPath;
        QString SendPath;
    } cases[] = {
        {QStringLiteral("C:\\Apps\\KestravaPelorin.exe"), QStringLiteral("C:\\Apps\\PelorinSend.exe")},
        {QStringLiteral("C:\\Apps\\KESTRAVAPELORIN.EXE"), QStringLiteral("C:\\Apps\\PelorinSend.exe")},
        {QStringLiteral("/opt/kestrava/bin/KestravaPelorin"),
         QStringLiteral("/opt/kestrava/bin/PelorinSend")},
        {QStringLiteral("/opt/kestravapelorin"), QStringLiteral("/opt/PelorinSend")},
        // A folder of the program's name stays as it is.
        {QStringLiteral("D:\\KestravaPelorin.exe\\KestravaPelorin.exe"),
         QStringLiteral("D:\\KestravaPelorin.exe\\PelorinSend.exe")},
        // Under another name the program is still never its own reaction.
        {QStringLiteral("C:\\Apps\\kp.exe"), QStringLiteral("C:\\Apps\\PelorinSend.exe")},
        {QStringLiteral("/usr/local/bin/kp"), QStringLiteral("/usr/local/bin/PelorinSend")},
        {QStringLiteral("KestravaPelorin"), QStringLiteral("PelorinSend")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TReactionInstaller::PelorinSendPath(c.AppPath), c.SendPath) << c.AppPath.toStdString();
}

} // namespace
