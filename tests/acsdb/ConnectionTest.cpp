#include "acsdb/ConnectionDef.h"
#include "acsdb/ConnectionManager.h"
#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "core/BotDriver.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/FakeTdsServer.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/TempAppData.h"

#include <QDir>
#include <QSqlDatabase>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using TReport = TReportRecorder::TReport;

TDriverOptions AnyFreePort()
{
    TDriverOptions options;
    options.UdpPort = 0;
    return options;
}

QByteArray SqlServerConfig(const QString& instance, const QString& login, const QString& password)
{
    return (QStringLiteral("<?xml version=\"1.0\"?>\n<config>\n  <SqlServerInstance>") +
            instance.toHtmlEscaped() + QStringLiteral("</SqlServerInstance>\n  <SqlServerLogin>") +
            login.toHtmlEscaped() + QStringLiteral("</SqlServerLogin>\n  <SqlServerPassword>") +
            password.toHtmlEscaped() + QStringLiteral("</SqlServerPassword>\n</config>\n"))
        .toUtf8();
}

TEST(OdbcConnectString, ValuesThatTheParserWouldMisreadAreBraced)
{
    const struct {
        QString Value;
        QString Attribute;
    } cases[] = {
        {QStringLiteral("kv_reader"), QStringLiteral("UID=kv_reader")},
        {QString(), QStringLiteral("UID=")},
        {QStringLiteral("pa;ss"), QStringLiteral("UID={pa;ss}")},
        {QStringLiteral("a}b{c=d"), QStringLiteral("UID=a}b{c=d")},
        {QStringLiteral("{a};b}"), QStringLiteral("UID={{a}};b}}}")},
        {QStringLiteral(" lead"), QStringLiteral("UID={ lead}")},
        {QStringLiteral("HOST\\KESTRAVA"), QStringLiteral("UID=HOST\\KESTRAVA")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OdbcAttribute(QStringLiteral("UID"), c.Value), c.Attribute) << c.Value.toStdString();
}

TEST(OdbcConnectString, DefinitionFromServerConfigUsesFreeTdsAndTheFixedDatabase)
{
    const TConnectionDef def = TConnectionDef::FromServerConfig(
        {QStringLiteral("SRV\\KESTRAVA"), QStringLiteral("sa"), QStringLiteral("p;w"), QString()});
    EXPECT_EQ(def.Dialect, TSqlDialect::SqlServer);
    EXPECT_EQ(def.QtDriver, QStringLiteral("QODBC"));
    EXPECT_EQ(def.DatabaseName,
              QStringLiteral("Driver={FreeTDS};Server=SRV\\KESTRAVA;Database=KestravaDb;UID=sa;PWD={p;w};"));
    EXPECT_EQ(def.ConnectOptions, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10;SQL_ATTR_CONNECTION_TIMEOUT=10"));

    const TConnectionDef sqlite =
        TConnectionDef::FromServerConfig({QStringLiteral("SRV"), QStringLiteral("sa"), QString(),
                                          QStringLiteral("/data/Kestrava Db#1.sqlite")});
    EXPECT_EQ(sqlite.Dialect, TSqlDialect::Sqlite);
    EXPECT_EQ(sqlite.DatabaseName, QStringLiteral("file:///data/Kestrava%20Db%231.sqlite?mode=rw"));
}

// The definition's server, database, login and password reach SQL Server's wire through
// unixODBC and FreeTDS, and the server's refusal comes back as the connection error report.
TEST(SqlServerConnection, LoginReachesTheServerAndItsRefusalIsReported)
{
    TFakeTdsServer server;
    TTempAppData appData;
    ASSERT_TRUE(QDir().mkpath(appData.Path() + QStringLiteral("/Orlimont/Kestrava")));
    QFile config(appData.Path() + QStringLiteral("/Orlimont/Kestrava/server.config"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    // Braced for its ";"; the login's "}" and "=" travel unbraced.
    const QString login = QStringLiteral("kv}reader=1");
    const QString password = QStringLiteral("p;a=s s ü");
    config.write(SqlServerConfig(QStringLiteral("127.0.0.1,%1").arg(server.Port()), login, password));
    config.close();

    TReportRecorder recorder;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    driver.SetLogState(recorder.Sink());
    ASSERT_TRUE(driver.ServerCfgRead());
    EXPECT_FALSE(driver.BdConnect());

    const std::vector<TFakeTdsServer::TLogin> logins = server.Logins();
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.front().UserName, login);
    EXPECT_EQ(logins.front().Password, password);
    EXPECT_EQ(logins.front().Database, QStringLiteral("KestravaDb"));

    const std::vector<TReport> reports = recorder.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Obj, TobjBase);
    EXPECT_EQ(reports[0].Status, TstConErr);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("ConnectionError ")))
        << reports[0].Mess.toStdString();
    EXPECT_TRUE(reports[0].Mess.contains(QString::fromUtf16(TFakeTdsServer::kRefusal)))
        << reports[0].Mess.toStdString();
}

} // namespace

namespace {

class BdConnectTest : public ::testing::Test {
protected:
    BdConnectTest() { FDriver.SetLogState(FRecorder.Sink()); }

    std::vector<TReport> Connect()
    {
        FRecorder.Clear();
        FConnected = FDriver.ServerCfgRead() && FDriver.BdConnect();
        return FRecorder.Reports();
    }

    TDemoInstallation FDemo;
    TReportRecorder FRecorder; // outlives the driver, which may still report while it stops
    TKvBotDriver FDriver{QStringLiteral("KestravaPelorin"), AnyFreePort()};
    bool FConnected = false;
};

TEST_F(BdConnectTest, ReportsTheVersionOnEveryRunAndLeavesNoConnectionOpen)
{
    const std::vector<TReport> version{{TobjBase, TstConNorm, QStringLiteral("Версия базы: 3.5.2.1")}};
    EXPECT_EQ(Connect(), version);
    EXPECT_TRUE(FConnected);
    EXPECT_EQ(Connect(), version);
    EXPECT_TRUE(FConnected);
    for (const QString& name : QSqlDatabase::connectionNames())
        EXPECT_FALSE(name.startsWith(QStringLiteral("KV"))) << name.toStdString();
}

TEST_F(BdConnectTest, WithoutAVersionRowTheReportIsEmptyAndTheResultTrue)
{
    FDemo.Exec(QStringLiteral("delete from variables"));
    EXPECT_EQ(Connect(), (std::vector<TReport>{{TobjBase, TstConNorm, QStringLiteral("Версия базы: ")}}));
    EXPECT_TRUE(FConnected);
}

TEST_F(BdConnectTest, AMissingDatabaseFileIsAConnectionErrorAndIsNotCreated)
{
    FDemo.WriteServerConfig("<config><SqliteDatabase>missing.sqlite</SqliteDatabase></config>");
    const std::vector<TReport> reports = Connect();
    EXPECT_FALSE(FConnected);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Status, TstConErr);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("ConnectionError ")))
        << reports[0].Mess.toStdString();
    EXPECT_FALSE(QFile::exists(FDemo.KestravaDir() + QStringLiteral("/missing.sqlite")));
}

TEST_F(BdConnectTest, ATableMissingIsAVersionQueryError)
{
    FDemo.Exec(QStringLiteral("drop table variables"));
    const std::vector<TReport> reports = Connect();
    EXPECT_FALSE(FConnected);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Status, TstConErr);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("StatementError no such table: variables")))
        << reports[0].Mess.toStdString();
}

} // namespace
