#include "acsdb/ServerConfig.h"
#include "core/BotDriver.h"

#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TReport = TReportRecorder::TReport;

const QString kNoServerCfg =
    QStringLiteral("Ошибка подключения к базе. Запустите программу на сервере Kestrava");

void WriteFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST(ServerConfig, ReadsTheFileOrSaysWhyNot)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/server.config");
    const QByteArray full = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                            "<config>\n"
                            "  <SqlServerInstance>SRV\\KESTRAVA</SqlServerInstance>\n"
                            "  <SqlServerLogin>sa</SqlServerLogin>\n"
                            "  <SqlServerPassword>p&amp;w'\"</SqlServerPassword>\n"
                            "  <ReportingServiceUrl>http://srv/reports</ReportingServiceUrl>\n"
                            "</config>\n";
    const struct {
        const char* Name;
        QByteArray Text;
        std::optional<TServerConfig> Config; // empty: an error is expected
    } cases[] = {
        {"all three elements", full,
         TServerConfig{QStringLiteral("SRV\\KESTRAVA"), QStringLiteral("sa"), QStringLiteral("p&w'\""),
                       QString()}},
        {"empty password", "<config><SqlServerInstance>S</SqlServerInstance><SqlServerPassword/></config>",
         TServerConfig{QStringLiteral("S"), QString(), QString(), QString()}},
        {"absent password", "<config><SqlServerLogin>kv</SqlServerLogin></config>",
         TServerConfig{QString(), QStringLiteral("kv"), QString(), QString()}},
        {"relative SQLite file", "<config><SqliteDatabase> db/Kv.sqlite </SqliteDatabase></config>",
         TServerConfig{QString(), QString(), QString(), dir.path() + QStringLiteral("/db/Kv.sqlite")}},
        {"absolute SQLite file", "<config><SqliteDatabase>/srv/kv.sqlite</SqliteDatabase></config>",
         TServerConfig{QString(), QString(), QString(), QStringLiteral("/srv/kv.sqlite")}},
        {"empty SQLite element means SQL Server", "<config><SqliteDatabase></SqliteDatabase></config>",
         TServerConfig{}},
        {"other root", "<configuration><SqlServerLogin>sa</SqlServerLogin></configuration>", std::nullopt},
        {"root in a namespace", "<config xmlns=\"urn:x\"><SqlServerLogin>sa</SqlServerLogin></config>",
         std::nullopt},
        {"not well-formed", "<config><SqlServerLogin>sa</SqlServerInstance></config>", std::nullopt},
        {"empty file", "", std::nullopt},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.Text);
        const TServerConfigRead read = ReadServerConfig(path);
        EXPECT_FALSE(read.Missing) << c.Name;
        EXPECT_EQ(read.Config, c.Config) << c.Name;
        EXPECT_EQ(read.Error.isEmpty(), c.Config.has_value()) << c.Name << ": " << read.Error.toStdString();
    }
    EXPECT_TRUE(ReadServerConfig(dir.path() + QStringLiteral("/none.config")).Missing);
}

// Missing and unreadable files give one report each and false; a configuration read earlier stays.
TEST(ServerConfig, DriverReportsAMissingOrBrokenFileAndKeepsWhatItHad)
{
    TTempAppData appData;
    TDriverOptions options;
    options.UdpPort = 0;
    TReportRecorder recorder;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), options);
    driver.SetLogState(recorder.Sink());

    EXPECT_FALSE(driver.ServerCfgRead());
    EXPECT_EQ(recorder.Reports(), (std::vector<TReport>{{TobjBase, TStNone, kNoServerCfg}}));

    const QString path = appData.Path() + QStringLiteral("/Orlimont/Kestrava/server.config");
    WriteFile(path, "<config><SqliteDatabase>kv.sqlite</SqliteDatabase></config>");
    recorder.Clear();
    EXPECT_TRUE(driver.ServerCfgRead());
    EXPECT_TRUE(recorder.Reports().empty());

    WriteFile(path, "<config><SqliteDatabase>");
    EXPECT_FALSE(driver.ServerCfgRead());
    const std::vector<TReport> reports = recorder.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Status, TStNone);
    EXPECT_TRUE(
        reports[0].Mess.startsWith(kNoServerCfg + QStringLiteral(": ") + path + QStringLiteral(": line ")))
        << reports[0].Mess.toStdString();

    // The earlier configuration is still there: BdConnect tries it (its file does not exist) instead
    // of returning false silently for want of one.
    recorder.Clear();
    EXPECT_FALSE(driver.BdConnect());
    ASSERT_EQ(recorder.Reports().size(), 1u);
    EXPECT_EQ(recorder.Reports()[0].Status, TstConErr);
}

} // namespace
