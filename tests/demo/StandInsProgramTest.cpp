// pelorin_standins as the demo runs it: a separate process that the program's own Telegram and SMS
// clients talk to, printing one line per request, refusing a wrong key, and ending on SIGTERM.

#include "core/BotDriver.h"

#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"
#include "tests/fakes/TempAppData.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kToken = QStringLiteral("7770002:AAH-test-token");
const QString kSmsKey = QStringLiteral("STANDIN-TEST-KEY");

// The stand-ins as a child process whose standard output the test reads line by line. fork and
// exec rather than QProcess: ThreadSanitizer follows a plain fork.
class TStandInsProcess {
public:
    TStandInsProcess()
    {
        int out[2] = {-1, -1};
        if (::pipe(out) != 0)
            throw std::runtime_error("pipe failed");
        FPid = ::fork();
        if (FPid < 0)
            throw std::runtime_error("fork failed");
        if (FPid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            const std::string token = kToken.toStdString();
            const std::string key = kSmsKey.toStdString();
            ::execl(PELORIN_BIN_DIR "/pelorin_standins", "pelorin_standins", "--token", token.c_str(),
                    "--sms-key", key.c_str(), "--quiet-polls", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        FOut = out[0];
    }
    ~TStandInsProcess()
    {
        if (FPid > 0 && !FExitStatus) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        ::close(FOut);
    }

    // The next whole line of output, or nothing when none comes within `timeout`.
    std::optional<QString> ReadLine(std::chrono::milliseconds timeout = 5s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const qsizetype end = FBuffer.indexOf('\n');
            if (end >= 0) {
                const QString line = QString::fromUtf8(FBuffer.left(end));
                FBuffer.remove(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{FOut, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t got = ::read(FOut, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            FBuffer.append(chunk, got);
        }
    }

    // Every further line until the output ends (the program has exited) or `timeout` passes.
    QStringList ReadRest(std::chrono::milliseconds timeout = 10s)
    {
        QStringList lines;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::optional<QString> line = ReadLine(1s);
            if (!line)
                break;
            lines << *line;
        }
        return lines;
    }

    // SIGTERM, then the exit status (bounded: -1 when it has not ended within 10 s).
    int Terminate()
    {
        ::kill(FPid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        int status = 0;
        while (::waitpid(FPid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(10ms);
        }
        FExitStatus = status;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t FPid = -1;
    int FOut = -1;
    QByteArray FBuffer;
    std::optional<int> FExitStatus;
};

QString ValueAfter(const QString& line, const QString& prefix)
{
    return line.startsWith(prefix) ? line.mid(prefix.size()) : QString();
}

TEST(StandInsProgram, ServesTheProgramsClientsPrintsEachRequestAndEndsOnSigterm)
{
    TStandInsProcess standIns;
    ASSERT_TRUE(standIns.ReadLine().has_value()); // the banner
    const QString botUrl =
        ValueAfter(standIns.ReadLine().value_or(QString()), QStringLiteral("PELORIN_TELEGRAM_API_URL="));
    const QString smsUrl =
        ValueAfter(standIns.ReadLine().value_or(QString()), QStringLiteral("PELORIN_SMS_API_URL="));
    ASSERT_TRUE(botUrl.startsWith(QLatin1String("http://127.0.0.1:"))) << botUrl.toStdString();
    ASSERT_TRUE(smsUrl.startsWith(QLatin1String("http://127.0.0.1:"))) << smsUrl.toStdString();

    {
        TTempAppData appData;
        TScopedEnv botApi("PELORIN_TELEGRAM_API_URL", botUrl);
        TScopedEnv gateway("PELORIN_SMS_API_URL", smsUrl);
        TReportRecorder reports;
        TDriverOptions options;
        options.UdpPort = 0;
        options.TgPollInterval = 100ms;
        TKvBotDriver driver(QStringLiteral(PELORIN_BIN_DIR "/KestravaPelorin"), options);
        driver.SetLogState(reports.Sink());

        driver.SmsRuInit(QStringLiteral("wrong key"));
        driver.SmsRuInit(kSmsKey);
        driver.SetSmsRuId(kSmsKey);
        EXPECT_TRUE(driver.SmsRuSend(QStringLiteral("79161234567"), QStringLiteral("Вход\nвторая строка")));

        driver.TgInit(kToken);
        EXPECT_TRUE(reports.WaitFor([](const TReportRecorder::TReport& report) {
            return report.Mess == QStringLiteral("Bot валидный kestrava_standin_bot: 7770002");
        }));
        const TTgReply sent = driver.TgSendText(-100987654321, QStringLiteral("Иван \"Вход\"\n14/11"), false);
        EXPECT_TRUE(sent.Ok) << sent.Description.toStdString();
        EXPECT_TRUE(reports.WaitFor([](const TReportRecorder::TReport& report) {
            return report.Mess == QStringLiteral("Баланс: 250.75");
        }));
        EXPECT_TRUE(reports.WaitFor([](const TReportRecorder::TReport& report) {
            return report.Status == TstConErr && report.Mess == QStringLiteral("Неправильный api_id");
        }));
        driver.Destroy();
    }

    EXPECT_EQ(standIns.Terminate(), 0);
    const QStringList lines = standIns.ReadRest();
    const QString bot = QStringLiteral("[stand-in Telegram] ");
    const QString sms = QStringLiteral("[stand-in SMS gateway] ");
    for (const QString& expected : {
             sms + QStringLiteral("/my/balance  -> refused: wrong api_id"),
             sms + QStringLiteral("/my/balance  -> balance 250.75"),
             sms + QStringLiteral(R"(/sms/send to="79161234567" msg="Вход\nвторая строка")"),
             bot + QStringLiteral("getMe"),
             bot + QStringLiteral(R"(sendMessage chat_id=-100987654321 text="Иван \"Вход\"\n14/11")"),
         })
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << "\nnot in\n"
                                              << lines.join('\n').toStdString();
    // The polls are counted, not printed; the count comes last, once the servers have stopped.
    EXPECT_TRUE(lines.filter(QStringLiteral("getUpdates")).size() == 1 &&
                lines.last().startsWith(QLatin1String("[stand-ins] stopped: ")) &&
                lines.last().contains(QLatin1String("getUpdates polls not shown")))
        << lines.join('\n').toStdString();
}

} // namespace
