#include "acsdb/ReactionInstaller.h"
#include "acsdb/ConnectionManager.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/ReportRecorder.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using TReport = TReportRecorder::TReport;

// A row as texts, NULL spelled out, so that a mismatch reads plainly.
QStringList Texts(const QVariantList& row)
{
    QStringList texts;
    for (const QVariant& value : row)
        texts << (value.isNull() ? QStringLiteral("NULL") : value.toString());
    return texts;
}

class ReactionInstallerTest : public ::testing::Test {
protected:
    ReactionInstallerTest() { FManager.Define(TConnectionDef::Sqlite(FDemo.DatabasePath())); }

    int Count(const QString& table) const
    {
        return FDemo.Scalar(QStringLiteral("select count(*) from ") + table).toInt();
    }

    TDemoInstallation FDemo;
    TConnectionManager FManager;
    TReportRecorder FRecorder;
    TReactionInstaller FInstaller{FManager, FRecorder.Sink()};
};

TEST_F(ReactionInstallerTest, WritesOneReactionThatRunsPelorinSendForEveryEvent)
{
    const QString folder = QStringLiteral("/opt/O'Neil's tools");
    FInstaller.Install(folder + QStringLiteral("/KestravaPelorin"));
    EXPECT_TRUE(FRecorder.Reports().empty());

    const auto schedule = FDemo.Rows(QStringLiteral(
        "select S._id, S.Name, S.Comment, S.ScheduleType, S.BuiltInType, S.IsRemoved, S.OwnerType, D.WeekID, "
        "D.DayNumber, T.StartTime, T.EndTime, T.IntervalType from AcsSchedules S "
        "join DayIntervals D on D.AcsScheduleID=S._id join TimeIntervals T on T.DayIntervalsID=D._id"));
    ASSERT_EQ(schedule.size(), 1u);
    const QString scheduleId = schedule[0][0].toString();
    EXPECT_EQ(Texts(schedule[0]), (QStringList{scheduleId, "KestravaPelorin", "NULL", "0", "0", "0", "1",
                                               "NULL", "1", "00:00:00", "23:59:59", "0"}));
    EXPECT_TRUE(schedule[0][0].toString().contains(QRegularExpression(QStringLiteral("^[0-9A-F-]{36}$"))));

    const auto reaction = FDemo.Rows(QStringLiteral(
        "select R.Name, R.Description, E.Name, E.EventType, E.IsActive, F.EventsFromAnyDevice, "
        "F.EventsWithAnySubtype, F.EventsWithAnyKnownEmployee, F.EventsWithUnknownEmployee, F.ScheduleId, "
        "A.Name, A.ActionType, A.IsActive, A.OrderNumber, P.FilePath, P.WorkingDir, P.Args, "
        "P.IsUseEventInfoForArgs "
        "from Reactions R join ReactionEvents E on E.ReactionId=R._id "
        "join ReactionEventsFromDevices F on F._id=E._id join ReactionActions A on A.ReactionId=R._id "
        "join ReactionExecuteProgramActions P on P._id=A._id"));
    ASSERT_EQ(reaction.size(), 1u);
    const QString sendPath = folder + QStringLiteral("/PelorinSend");
    EXPECT_EQ(Texts(reaction[0]),
              (QStringList{"KestravaPelorin", "NULL", "KestravaPelorin", "0", "1", "1", "1", "1", "1",
                           scheduleId, "KestravaPelorin", "2", "1", "0", sendPath, "NULL", "NULL", "1"}));
}

TEST_F(ReactionInstallerTest, InstallingAgainReusesTheScheduleAndReplacesTheReaction)
{
    FInstaller.Install(QStringLiteral("C:\\Apps\\KestravaPelorin.exe"));
    const QVariant schedule = FDemo.Scalar(QStringLiteral("select _id from AcsSchedules"));
    FInstaller.Install(QStringLiteral("D:\\Kestrava\\KESTRAVAPELORIN.EXE"));
    EXPECT_TRUE(FRecorder.Reports().empty());

    for (const char* table :
         {"AcsSchedules", "DayIntervals", "TimeIntervals", "Reactions", "ReactionEvents",
          "ReactionEventsFromDevices", "ReactionActions", "ReactionExecuteProgramActions"})
        EXPECT_EQ(Count(QString::fromLatin1(table)), 1) << table;
    EXPECT_EQ(FDemo.Scalar(QStringLiteral("select ScheduleId from ReactionEventsFromDevices")), schedule);
    EXPECT_EQ(FDemo.Scalar(QStringLiteral("select FilePath from ReactionExecuteProgramActions")).toString(),
              QStringLiteral("D:\\Kestrava\\PelorinSend.exe"));
}

TEST_F(ReactionInstallerTest, AFailureIsReportedAndLeavesNothingHalfDone)
{
    FDemo.Exec(QStringLiteral("drop table ReactionExecuteProgramActions"));
    FInstaller.Install(QStringLiteral("/opt/kp/KestravaPelorin"));
    const std::vector<TReport> reports = FRecorder.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Obj, TobjBase);
    EXPECT_EQ(reports[0].Status, TstProc);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("StatementError no such table: "
                                                          "ReactionExecuteProgramActions")))
        << reports[0].Mess.toStdString();
    for (const char* table :
         {"AcsSchedules", "DayIntervals", "Reactions", "ReactionEvents", "ReactionActions"})
        EXPECT_EQ(Count(QString::fromLatin1(table)), 0) << table;
}

} // namespace
