#include "acsdb/RecentEvents.h"
#include "acsdb/ConnectionManager.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/ReportRecorder.h"

#include <gtest/gtest.h>

namespace {

// Every column of a log row reaches the event, ids as the database reads them.
TEST(RecentEvents, RowBecomesAnArchivedEventOfItsOwnValues)
{
    TDemoInstallation demo;
    demo.Exec(QStringLiteral(
        "insert into log values (60, '2024-11-16 10:20:30', 2, 226, 'Вход', 'Лицо распознано', "
        "'d0000005-0000-4000-8000-000000000005', 'E0000007-0000-4000-8000-000000000007', "
        "'e0000002-0000-4000-8000-000000000002', 12, 2, 375, 1)"));
    TConnectionManager manager;
    manager.Define(TConnectionDef::Sqlite(demo.DatabasePath()));
    TReportRecorder recorder;
    TRecentEvents recent(manager, recorder.Sink());

    const std::optional<std::vector<TMes>> events =
        recent.Newest(QStringLiteral("{e0000007-0000-4000-8000-000000000007}"));
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 5u);
    const TMes& mes = events->front();
    EXPECT_EQ(mes.LogMessageId, QStringLiteral("60"));
    EXPECT_EQ(mes.DateTime, QDateTime(QDate(2024, 11, 16), QTime(10, 20, 30)));
    EXPECT_TRUE(mes.IsKeyEvent);
    EXPECT_EQ(mes.MessageType, QStringLiteral("2"));
    EXPECT_EQ(mes.MessageSubType, QStringLiteral("226"));
    EXPECT_EQ(mes.Message, QStringLiteral("Вход"));
    EXPECT_EQ(mes.Details, QStringLiteral("Лицо распознано"));
    EXPECT_EQ(mes.DriverId, QStringLiteral("{D0000005-0000-4000-8000-000000000005}"));
    EXPECT_EQ(mes.EmployeeId, QStringLiteral("{E0000007-0000-4000-8000-000000000007}"));
    EXPECT_EQ(mes.OperatorId, QStringLiteral("{E0000002-0000-4000-8000-000000000002}"));
    EXPECT_EQ(mes.AlcoholResult, 12);
    EXPECT_EQ(mes.AlcoholCheckState, 2);
    EXPECT_EQ(mes.TemperatureResult, 375);
    EXPECT_EQ(mes.TemperatureCheckState, 1);
    EXPECT_EQ(mes.EmployeeFullName(), QStringLiteral("Нурланов Ерлан Маратович"));
    EXPECT_EQ(mes.LASTNAME, QStringLiteral("Нурланов"));
    EXPECT_EQ(mes.SecondName, QStringLiteral("Маратович"));
    EXPECT_EQ(mes.DriverName, QStringLiteral("Терминал распознавания лиц"));
    EXPECT_FALSE(mes.MessFromBase);
    EXPECT_TRUE(mes.Data.isEmpty());
    // A NULL temperature of the next row reads as 0, nothing left over from the row before.
    EXPECT_EQ((*events)[1].TemperatureResult, 0);
    EXPECT_EQ((*events)[1].TemperatureCheckState, 0);

    const std::optional<std::vector<TMes>> none =
        recent.Newest(QStringLiteral("{E0000008-0000-4000-8000-000000000008}"));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_TRUE(recorder.Reports().empty());
}

} // namespace
