// The datagram road through real processes: PelorinSend started with arguments, the listener on
// the fixed port, and the headless program's report lines.

#include "intake/DatagramParser.h"
#include "intake/UdpListener.h"

#include "tests/fakes/TempAppData.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

namespace {

const QString kSend = QStringLiteral(PELORIN_BIN_DIR "/PelorinSend");
const QString kProgram = QStringLiteral(PELORIN_BIN_DIR "/KestravaPelorin");

struct TSendResult {
    int ExitCode = -1;
    QByteArray Output;
};

TSendResult RunPelorinSend(const QStringList& arguments)
{
    QProcess process;
    process.start(kSend, arguments);
    process.waitForFinished(10000);
    return {process.exitCode(), process.readAllStandardOutput() + process.readAllStandardError()};
}

class TInbox {
public:
    void Add(const QByteArray& datagram)
    {
        {
            std::lock_guard lock(FLock);
            FDatagrams.push_back(datagram);
        }
        FChanged.notify_all();
    }
    std::optional<QByteArray> Next(std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock lock(FLock);
        if (!FChanged.wait_for(lock, timeout, [&] { return !FDatagrams.empty(); }))
            return std::nullopt;
        QByteArray first = FDatagrams.front();
        FDatagrams.erase(FDatagrams.begin());
        return first;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<QByteArray> FDatagrams;
};

TEST(PelorinSendToListener, JoinedTextArrivesUnchangedAndParses)
{
    TInbox inbox;
    TUdpListener listener(5014, [&](const QByteArray& d) { inbox.Add(d); });

    const QStringList arguments{QStringLiteral("LogMessageId:5,"),
                                QStringLiteral("DriverId:7,"),
                                QStringLiteral("DateTime:14.11.2024 13:30:00,"),
                                QStringLiteral("IsKeyEvent:True,"),
                                QStringLiteral("Message:\"Вход, по карте\","),
                                QStringLiteral("EmployeeFullName:Иванов Иван Иванович")};
    const TSendResult result = RunPelorinSend(arguments);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(result.Output.isEmpty()) << result.Output.toStdString();

    const std::optional<QByteArray> datagram = inbox.Next();
    ASSERT_TRUE(datagram);
    const QString text = QString::fromUtf8(*datagram);
    EXPECT_EQ(text, arguments.join(QLatin1Char(' ')));

    const std::optional<TMes> mes = ParseDatagram(text, QLocale::system());
    ASSERT_TRUE(mes) << "regional settings: " << QLocale::system().name().toStdString();
    EXPECT_EQ(mes->LogMessageId, QStringLiteral("5"));
    EXPECT_EQ(mes->DriverId, QStringLiteral("7"));
    EXPECT_EQ(mes->DateTime, QDateTime(QDate(2024, 11, 14), QTime(13, 30)));
    EXPECT_TRUE(mes->IsKeyEvent);
    EXPECT_EQ(mes->Message, QStringLiteral("\"Вход, по карте\""));
    EXPECT_EQ(mes->LASTNAME, QStringLiteral("Иванов"));
    EXPECT_EQ(mes->SecondName, QStringLiteral("Иванович"));
}

TEST(PelorinSendToListener, NothingToSendSendsNothing)
{
    TInbox inbox;
    TUdpListener listener(5014, [&](const QByteArray& d) { inbox.Add(d); });
    for (const QStringList& arguments :
         {QStringList{}, QStringList{QStringLiteral("  "), QStringLiteral("\t")}}) {
        const TSendResult result = RunPelorinSend(arguments);
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_TRUE(result.Output.isEmpty());
    }
    EXPECT_FALSE(inbox.Next(std::chrono::milliseconds(300)));
}

TEST(PelorinSendToListener, NobodyListeningStillExitsZero)
{
    const TSendResult result = RunPelorinSend({QStringLiteral("Message:x")});
    EXPECT_EQ(result.ExitCode, 0);
}

// ---- the headless program ----------------------------------------------------------------------

class HeadlessProgram : public ::testing::Test {
protected:
    void Start(const QStringList& arguments)
    {
        FProcess.setProgram(kProgram);
        FProcess.setArguments(arguments);
        FProcess.start();
        ASSERT_TRUE(FProcess.waitForStarted(5000));
    }

    // Sends with PelorinSend until the program reports a datagram (it may still be starting). Its
    // start-up reports, such as the one of a missing server configuration, are passed over.
    QStringList SendUntilReported(const QStringList& arguments)
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            RunPelorinSend(arguments);
            FProcess.waitForReadyRead(200);
            FOutput += FProcess.readAllStandardOutput();
            const QStringList lines = QString::fromUtf8(FOutput)
                                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                          .filter(QStringLiteral("\tTobjServMes\t"));
            if (!lines.isEmpty())
                return lines;
        }
        return {};
    }

    void Stop(int signal)
    {
        ::kill(pid_t(FProcess.processId()), signal);
        ASSERT_TRUE(FProcess.waitForFinished(20000));
    }

    TTempAppData FAppData;
    QProcess FProcess;
    QByteArray FOutput;
};

TEST_F(HeadlessProgram, PrintsEachReportAsOneEscapedLineAndStopsOnSignal)
{
    Start({QStringLiteral("--headless"), QStringLiteral("--log-udp")});
    const QStringList lines =
        SendUntilReported({QStringLiteral("Message:Вход,"), QStringLiteral("Details:a\\b\tc\nd")});
    ASSERT_FALSE(lines.isEmpty()) << FProcess.readAllStandardError().toStdString();
    static const QRegularExpression format(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\tTobjServMes\tTstRecMes\t(.*)$)"));
    const QRegularExpressionMatch match = format.match(lines.first());
    ASSERT_TRUE(match.hasMatch()) << lines.first().toStdString();
    EXPECT_EQ(match.captured(1), QStringLiteral("Message:Вход, Details:a\\\\b\\tc\\nd"));

    Stop(SIGTERM);
    EXPECT_EQ(FProcess.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(FProcess.exitCode(), 0);
}

TEST_F(HeadlessProgram, InterruptStopsCleanly)
{
    Start({QStringLiteral("--headless")});
    QThread::msleep(300);
    Stop(SIGINT);
    EXPECT_EQ(FProcess.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(FProcess.exitCode(), 0);
}

TEST_F(HeadlessProgram, TakenPortIsAnErrorWithExitOne)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(5014);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    Start({QStringLiteral("--headless")});
    ASSERT_TRUE(FProcess.waitForFinished(10000));
    ::close(fd);
    EXPECT_EQ(FProcess.exitCode(), 1);
    EXPECT_TRUE(FProcess.readAllStandardError().contains("5014"));
    EXPECT_TRUE(FProcess.readAllStandardOutput().isEmpty());
}

TEST_F(HeadlessProgram, HelpAndVersion)
{
    Start({QStringLiteral("--version")});
    ASSERT_TRUE(FProcess.waitForFinished(5000));
    EXPECT_EQ(FProcess.exitCode(), 0);
    EXPECT_TRUE(FProcess.readAllStandardOutput().startsWith("KestravaPelorin "));
    Start({QStringLiteral("--help")});
    ASSERT_TRUE(FProcess.waitForFinished(5000));
    EXPECT_EQ(FProcess.exitCode(), 0);
    EXPECT_TRUE(FProcess.readAllStandardOutput().contains("--headless"));
}

} // namespace
