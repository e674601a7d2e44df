#include "core/SettingsFile.h"

#include "tests/core/SettingsWriterRecords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

unsigned FileMode(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? unsigned(info.st_mode & 0777) : 0u;
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

QString WriterPath() { return QStringLiteral(PELORIN_BIN_DIR "/settings_writer"); }

// The first run on an empty folder makes the settings folder, and a clean stop writes every
// setting with its default, byte for byte.
TEST(SettingsProgram, FirstRunWritesTheDefaults)
{
    QTemporaryDir scratch;
    const QString common = scratch.filePath(QStringLiteral("common"));
    ASSERT_TRUE(QDir().mkpath(common));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PELORIN_COMMON_APPDATA"), common);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PELORIN_BIN_DIR "/KestravaPelorin"), {QStringLiteral("--headless")});
    ASSERT_TRUE(program.waitForStarted(10000));

    const QString folder = common + QStringLiteral("/KestravaPelorin");
    const bool started = WaitUntil(
        [&] { return QFileInfo(folder).isDir() || program.state() == QProcess::NotRunning; }, 10000);
    ASSERT_TRUE(started && program.state() == QProcess::Running)
        << program.readAllStandardError().toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());

    program.terminate(); // SIGTERM
    ASSERT_TRUE(program.waitForFinished(15000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const QString file = folder + QStringLiteral("/Config.kvf");
    EXPECT_EQ(ReadAll(file),
              QByteArray(R"({"tgId":"","tgEn":false,"bdTmpLimit":0,"bdEn":false,"tgMessFrm":"",)"
                         R"("smsRuId":"","smsRuEn":false,"smsRuMessFrm":"","tgOnlyAdd":false,)"
                         R"("smsRuOnlyAdd":false,"tgAdd":"","smsRuAdd":"","messFltr":""})"));
    EXPECT_EQ(FileMode(file), 0600u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Config.kvf")});
}

// A writer killed at any moment leaves the old or the new file, never a part of one.
TEST(SettingsProgram, KilledWriterLeavesAWholeFile)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("Config.kvf"));
    const QByteArray first = SettingsFile::ToJson(LargeRecord(0));
    const QByteArray second = SettingsFile::ToJson(LargeRecord(1));
    SettingsFile::Save(path, LargeRecord(0));

    for (const int delayMs : {0, 3, 7, 12, 20, 35}) {
        QProcess writer;
        writer.start(WriterPath(), {QStringLiteral("loop"), path});
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "the writer never saved";
        QThread::msleep(static_cast<unsigned long>(delayMs));
        writer.kill(); // SIGKILL: no clean-up of any kind
        ASSERT_TRUE(writer.waitForFinished(10000));
        const QByteArray bytes = ReadAll(path);
        EXPECT_TRUE(bytes == first || bytes == second)
            << "after " << delayMs << " ms: " << bytes.size() << " bytes, " << bytes.left(40).toStdString();
    }
}

// A save whose write fails (here: the file size limit) reports the error and keeps the old file.
TEST(SettingsProgram, FailedWriteKeepsTheOldFile)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("Config.kvf"));
    SettingsFile::Save(path, TConf{});
    const QByteArray old = ReadAll(path);

    QProcess writer;
    writer.start(WriterPath(), {QStringLiteral("limited"), path, QStringLiteral("65536")});
    ASSERT_TRUE(writer.waitForFinished(15000));
    const QString error = QString::fromLocal8Bit(writer.readAllStandardError());
    EXPECT_EQ(writer.exitCode(), 0) << "the save did not report the failure";
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write %1: ").arg(path))) << error.toStdString();
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Config.kvf")});
}

} // namespace
