#include "core/BotDriver.h"

#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/TempAppData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TDriverOptions AnyFreePort()
{
    TDriverOptions options;
    options.UdpPort = 0;
    return options;
}

TEST(BotDriver, NewDriverHasDefaultsAndListens)
{
    TTempAppData appData;
    TKvBotDriver driver(QStringLiteral("/opt/kp/KestravaPelorin"), AnyFreePort());
    EXPECT_EQ(driver.Conf(), TConf{});
    EXPECT_FALSE(driver.LogUdp());
    EXPECT_FALSE(driver.AutoLoadOnWin());
    EXPECT_NE(driver.UdpPort(), 0);
    EXPECT_EQ(driver.AppPath(), QStringLiteral("/opt/kp/KestravaPelorin"));
}

TEST(BotDriver, ReportsBeforeLogStateAreDropped)
{
    TTempAppData appData;
    TReportRecorder recorder; // outlives the driver, whose teardown still reports
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    driver.DoLogState(TobjBase, TstProc, QStringLiteral("lost"));
    driver.SetLogState(recorder.Sink());
    driver.DoLogState(TobjTg, TstConErr, QStringLiteral("kept"));
    const std::vector<TReportRecorder::TReport> expected{{TobjTg, TstConErr, QStringLiteral("kept")}};
    EXPECT_EQ(recorder.Reports(), expected);
}

TEST(BotDriver, PropertiesWriteThroughToTheSettingsRecord)
{
    TTempAppData appData;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    driver.SetTgId(QStringLiteral("123:abc"));
    driver.SetBdTmpLimit(37.5);
    driver.SetSmsRuMessFrm(QStringLiteral("%F %N"));
    driver.SetTgOnlyAdd(true);
    driver.SetMessFltr(QStringLiteral("a=b"));
    driver.SetLogTg(true);
    const TConf conf = driver.Conf();
    EXPECT_EQ(conf.TgId, QStringLiteral("123:abc"));
    EXPECT_EQ(conf.BdTmpLimit, 37.5);
    EXPECT_EQ(conf.SmsRuMessFrm, QStringLiteral("%F %N"));
    EXPECT_TRUE(conf.TgOnlyAdd);
    EXPECT_EQ(conf.MessFltr, QStringLiteral("a=b"));
    EXPECT_TRUE(driver.LogTg());
}

TEST(BotDriver, DatagramIsReportedWhenLogUdpIsOn)
{
    TTempAppData appData;
    TReportRecorder recorder; // outlives the driver, whose teardown still reports
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    driver.SetLogState(recorder.Sink());
    driver.UdpRead(QByteArray("DateTime:bad"));
    driver.SetLogUdp(true);
    driver.UdpRead(QStringLiteral("Message:Вход, DateTime:bad").toUtf8());
    const std::vector<TReportRecorder::TReport> expected{
        {TobjServMes, TstRecMes, QStringLiteral("Message:Вход, DateTime:bad")}};
    EXPECT_EQ(recorder.Reports(), expected);
}

TEST(BotDriver, PortTakenFailsConstruction)
{
    TTempAppData appData;
    TKvBotDriver first(QStringLiteral("KestravaPelorin"), AnyFreePort());
    TDriverOptions same;
    same.UdpPort = first.UdpPort();
    EXPECT_THROW(TKvBotDriver(QStringLiteral("KestravaPelorin"), same), std::runtime_error);
}

TEST(BotDriver, DestroyTwiceIsHarmless)
{
    TTempAppData appData;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    driver.Destroy();
    driver.Destroy();
    EXPECT_EQ(driver.UdpPort(), 0);
}

// Readers on other threads never see a torn value while the owner writes (run under tsan).
TEST(BotDriver, PropertiesAreSafeAcrossThreads)
{
    TTempAppData appData;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    const QString a = QStringLiteral("template A %F");
    const QString b = QStringLiteral("шаблон Б %N %O");
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const QString seen = driver.TgMessFrm();
            if (!seen.isEmpty() && seen != a && seen != b)
                ++torn;
            (void)driver.Conf();
        }
    });
    for (int i = 0; i < 20000; ++i)
        driver.SetTgMessFrm(i % 2 ? a : b);
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
