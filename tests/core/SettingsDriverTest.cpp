#include "core/Autorun.h"
#include "core/BotDriver.h"
#include "core/Paths.h"

#include "tests/fakes/TempAppData.h"
#include "tests/fakes/TempAutostart.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TDriverOptions AnyFreePort()
{
    TDriverOptions options;
    options.UdpPort = 0;
    return options;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A Cyrillic template, a two-line filter and a slash go through the file unchanged, stored in
// their escaped form.
TEST(SettingsDriver, SettingsSurviveARestart)
{
    TTempAppData appData;
    TTempAutostart autostart;
    {
        TKvBotDriver driver(QStringLiteral("/opt/kp/KestravaPelorin"), AnyFreePort());
        EXPECT_TRUE(QFileInfo(Paths::SettingsDir()).isDir()); // made by the first load
        driver.SetTgMessFrm(QStringLiteral("$Fn&$Ww&Вход"));
        driver.SetMessFltr(QStringLiteral("Проходная=DriversId$D1\r\nСклад=SubTypesId$26"));
        driver.SetTgId(QStringLiteral("123:ab/cd"));
        driver.SetBdTmpLimit(37.5);
        driver.SetSmsRuOnlyAdd(true);
        driver.Destroy();
    }
    const QByteArray bytes = ReadAll(Paths::SettingsFilePath());
    EXPECT_EQ(
        bytes,
        QByteArray(R"({"tgId":"123:ab\/cd","tgEn":false,"bdTmpLimit":37.5,"bdEn":false,)"
                   R"("tgMessFrm":"$Fn&$Ww&\u0412\u0445\u043E\u0434","smsRuId":"","smsRuEn":false,)"
                   R"("smsRuMessFrm":"","tgOnlyAdd":false,"smsRuOnlyAdd":true,"tgAdd":"","smsRuAdd":"",)"
                   R"("messFltr":"\u041F\u0440\u043E\u0445\u043E\u0434\u043D\u0430\u044F=DriversId$D1\r\n)"
                   R"(\u0421\u043A\u043B\u0430\u0434=SubTypesId$26"})"));

    TKvBotDriver again(QStringLiteral("/opt/kp/KestravaPelorin"), AnyFreePort());
    EXPECT_EQ(again.TgMessFrm(), QStringLiteral("$Fn&$Ww&Вход"));
    EXPECT_EQ(again.MessFltr(), QStringLiteral("Проходная=DriversId$D1\r\nСклад=SubTypesId$26"));
    EXPECT_EQ(again.TgId(), QStringLiteral("123:ab/cd"));
    EXPECT_EQ(again.BdTmpLimit(), 37.5);
    EXPECT_TRUE(again.SmsRuOnlyAdd());
}

// Loading fills the settings as they are, switches included, and Init loads the file again.
TEST(SettingsDriver, LoadFillsEverySettingAndInitReloads)
{
    TTempAppData appData;
    TTempAutostart autostart;
    WriteFile(Paths::SettingsFilePath(), R"({"TgEn":true,"bdEn":true,"smsRuEn":true,"tgId":"a"})");
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    EXPECT_TRUE(driver.TgEn());
    EXPECT_TRUE(driver.BdEn());
    EXPECT_TRUE(driver.SmsRuEn());

    driver.SetTgId(QStringLiteral("changed in memory"));
    WriteFile(Paths::SettingsFilePath(), R"({"tgId":"b","tgEn":false})");
    driver.Init();
    EXPECT_EQ(driver.TgId(), QStringLiteral("b"));
    EXPECT_FALSE(driver.TgEn());
    EXPECT_TRUE(driver.BdEn()); // a key the file does not hold keeps its value
}

// A driver that could not be built must not overwrite the settings it could not load.
TEST(SettingsDriver, FailedConstructionNeverWritesTheFile)
{
    TTempAppData appData;
    TTempAutostart autostart;
    WriteFile(Paths::SettingsFilePath(), "5");
    try {
        TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
        ADD_FAILURE() << "construction succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "The input value is not a valid Object");
    }
    EXPECT_EQ(ReadAll(Paths::SettingsFilePath()), QByteArray("5"));
}

TEST(SettingsDriver, RemovedFolderMakesDestroyFailClearly)
{
    TTempAppData appData;
    TTempAutostart autostart;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), AnyFreePort());
    ASSERT_TRUE(QDir(Paths::SettingsDir()).removeRecursively());
    try {
        driver.Destroy();
        ADD_FAILURE() << "the save did not fail";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(
            QString::fromUtf8(error.what()),
            QStringLiteral("Cannot write %1: No such file or directory").arg(Paths::SettingsFilePath()));
    }
    EXPECT_EQ(driver.UdpPort(), 0); // everything else stopped before the save
}

TEST(SettingsDriver, AutorunEntry)
{
    TTempAppData appData;
    TTempAutostart autostart;
    const QString appPath = QStringLiteral("/opt/Kestrava Pelorin/KestravaPelorin");
    {
        TKvBotDriver driver(appPath, AnyFreePort());
        EXPECT_FALSE(driver.AutoLoadOnWin());
        driver.SetAutoLoadOnWin(true);
        EXPECT_TRUE(driver.AutoLoadOnWin());
        const QByteArray entry = ReadAll(autostart.EntryPath());
        EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << entry.toStdString();
        EXPECT_TRUE(entry.contains("\nExec=\"/opt/Kestrava Pelorin/KestravaPelorin\"\n"))
            << entry.toStdString();
        EXPECT_TRUE(entry.contains("\nType=Application\n"));
    }
    {
        TKvBotDriver driver(appPath, AnyFreePort());
        EXPECT_TRUE(driver.AutoLoadOnWin()); // read back at the next start
        driver.SetAutoLoadOnWin(false);
        EXPECT_FALSE(driver.AutoLoadOnWin());
        EXPECT_FALSE(QFileInfo::exists(autostart.EntryPath()));
        driver.SetAutoLoadOnWin(false); // nothing to remove: no error
    }
    TKvBotDriver driver(appPath, AnyFreePort());
    EXPECT_FALSE(driver.AutoLoadOnWin());

    // The autostart folder cannot be made: the error reaches the caller and the flag stays off.
    QFile::remove(autostart.EntryPath());
    QDir(QFileInfo(autostart.EntryPath()).absolutePath()).removeRecursively();
    WriteFile(QFileInfo(autostart.EntryPath()).absolutePath(), "not a folder");
    EXPECT_THROW(driver.SetAutoLoadOnWin(true), std::runtime_error);
    EXPECT_FALSE(driver.AutoLoadOnWin());
}

TEST(SettingsDriver, ExecLineOfUnusualPaths)
{
    const std::vector<std::pair<QString, QByteArray>> cases{
        {QStringLiteral("/opt/kp/KestravaPelorin"), "Exec=\"/opt/kp/KestravaPelorin\"\n"},
        {QStringLiteral("/opt/100%/Kp"), "Exec=\"/opt/100%%/Kp\"\n"},
        {QStringLiteral("/opt/$HOME/\"q\"/`x`/a\\b"),
         "Exec=\"/opt/\\\\$HOME/\\\\\"q\\\\\"/\\\\`x\\\\`/a\\\\\\\\b\"\n"},
        {QStringLiteral("/opt/Пелорин/Kp"),
         "Exec=\"/opt/\xD0\x9F\xD0\xB5\xD0\xBB\xD0\xBE\xD1\x80\xD0\xB8\xD0\xBD/Kp\"\n"},
    };
    for (const auto& [path, line] : cases)
        EXPECT_TRUE(Autorun::DesktopEntry(path).contains(line)) << Autorun::DesktopEntry(path).toStdString();
}

} // namespace
