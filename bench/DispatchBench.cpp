// The whole road of an event, measured: a datagram as PelorinSend sends it reaches a driver on
// loopback, the employee's phones are read from a demo installation (SQLite), and the event goes to
// three Telegram recipients (two extra chats and the employee's subscriber) at a local stand-in
// Bot API. The datagrams come from the benchmark itself, one event at a time and in bursts of 100,
// or from the real PelorinSend started once per event (that needs port 5014 and is skipped when
// the port is taken). The phone-list lookup is also measured alone. Next to it all, the same three
// deliveries made the way a script would make them: one curl process per message. The figures
// are per second of wall clock; at the end the cost per event of both roads and the ratio are
// printed.
//
//   build/bin/bench_dispatch [--benchmark_repetitions=3]

#include "core/BotDriver.h"
#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"
#include "tests/fakes/StandInBotApi.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kToken = "7770002:AAH-bench-token";
constexpr int kRecipientsPerEvent = 3;
constexpr auto kDeliveryTimeout = std::chrono::seconds(30);
// Two extra chats; the third recipient is the subscriber marked in the database.
constexpr const char* kExtraChats = "100200300\r\n100200301";
constexpr const char* kSubscriberMarker = "TgBot400111222";
constexpr const char* kSubscribedPhoneId = "F0000001-0000-4000-8000-000000000001";
// The text the default template makes of the event below: what each delivery must carry, and what
// the curl road sends.
constexpr const char* kMessageText = "08.59 Иван Вход через Турникет проходной 14/11";
const std::vector<std::string> kChatIds{"100200300", "100200301", "400111222"};

// The fields the access-control server passes to PelorinSend for an entry of Иванов (demo data).
std::vector<std::string> EventArguments(int logMessageId)
{
    return {"LogMessageId:" + std::to_string(logMessageId) + ",",
            "DriverId:d0000001-0000-4000-8000-000000000001,",
            "DateTime:2024-11-14 08:59:12,",
            "IsKeyEvent:True,",
            "MessageType:1,",
            "MessageSubType:AccessPointEntry,",
            "EmployeeId:e0000001-0000-4000-8000-000000000001,",
            "Message:Вход,",
            "DriverName:Турникет проходной,",
            "EmployeeFullName:Иванов Иван Иванович"};
}

// What PelorinSend makes of those arguments: joined with one blank.
std::string EventDatagram(int logMessageId)
{
    std::string text;
    for (const std::string& argument : EventArguments(logMessageId))
        text += (text.empty() ? "" : " ") + argument;
    return text;
}

// Counts the messages the stand-in Bot API accepted; the benchmark waits on it.
class TDeliveryCounter {
public:
    void Delivered()
    {
        {
            std::lock_guard lock(FLock);
            ++FCount;
        }
        FChanged.notify_all();
    }
    long Count() const
    {
        std::lock_guard lock(FLock);
        return FCount;
    }
    bool WaitFor(long count) const
    {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, kDeliveryTimeout, [&] { return FCount >= count; });
    }

private:
    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    long FCount = 0;
};

// A UDP socket that sends datagrams to 127.0.0.1:port, as PelorinSend does.
class TDatagramSender {
public:
    explicit TDatagramSender(quint16 port)
        : FSocket(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        if (FSocket < 0)
            throw std::runtime_error("no UDP socket");
        FTo.sin_family = AF_INET;
        FTo.sin_port = htons(port);
        FTo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~TDatagramSender() { ::close(FSocket); }
    TDatagramSender(const TDatagramSender&) = delete;
    TDatagramSender& operator=(const TDatagramSender&) = delete;

    bool Send(const std::string& text) const
    {
        return ::sendto(FSocket, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&FTo),
                        sizeof FTo) == static_cast<ssize_t>(text.size());
    }

private:
    const int FSocket;
    sockaddr_in FTo{};
};

// Everything the road needs, set up once: the demo installation with Иванов's phone subscribed,
// the stand-in Bot API, and a driver listening on `udpPort` with Telegram on and SMS off.
class TRoad {
public:
    explicit TRoad(quint16 udpPort)
        : FBotApi(QString::fromLatin1(kToken),
                  [this](const TStandInBotApi::TRequest& request) {
                      // Only this event's text counts: port 5014 is shared with whatever else
                      // runs PelorinSend on this machine.
                      if (request.Method == QLatin1String("sendMessage") && request.Authorised &&
                          request.Params.value(QLatin1String("text")).toString() ==
                              QString::fromUtf8(kMessageText))
                          FDeliveries.Delivered();
                  })
        , FApiUrl("PELORIN_TELEGRAM_API_URL", FBotApi.BaseUrl())
    {
        FDemo.Exec(QStringLiteral("update PhoneNumbers set Description=? where _id=?"),
                   {QString::fromLatin1(kSubscriberMarker), QString::fromLatin1(kSubscribedPhoneId)});
        TDriverOptions options;
        options.UdpPort = udpPort;
        FDriver = std::make_unique<TKvBotDriver>(QCoreApplication::applicationFilePath(), options);
        FDriver->SetLogState(FReports.Sink());
        FDriver->Init();
        FDriver->SetTgAdd(QString::fromLatin1(kExtraChats));
        FDriver->SetTgId(QString::fromLatin1(kToken));
        FDriver->SetTgEn(true);
        const bool validated = FReports.WaitFor(
            [](const TReportRecorder::TReport& report) {
                return report.Mess.startsWith(QStringLiteral("Bot валидный"));
            },
            1, std::chrono::seconds(15));
        if (!validated)
            throw std::runtime_error("the bot did not start at the stand-in Bot API");
    }
    ~TRoad() { FDriver->Destroy(); }
    TRoad(const TRoad&) = delete;
    TRoad& operator=(const TRoad&) = delete;

    quint16 UdpPort() const { return FDriver->UdpPort(); }
    const TKvBotDriver& Driver() const { return *FDriver; }
    QString BotApiUrl() const { return FBotApi.BaseUrl(); }
    const TDeliveryCounter& Deliveries() const { return FDeliveries; }
    // Failed sends and database errors reported by the driver so far.
    long Failures() const
    {
        const auto reports = FReports.Reports();
        return std::count_if(reports.begin(), reports.end(), [](const TReportRecorder::TReport& report) {
            return report.Status == TstConErr || report.Status == TstProc;
        });
    }

private:
    TDemoInstallation FDemo;
    TDeliveryCounter FDeliveries;
    TReportRecorder FReports; // outlives the driver's last reports
    TStandInBotApi FBotApi;
    TScopedEnv FApiUrl;
    std::unique_ptr<TKvBotDriver> FDriver;
};

// Starts a program and waits for it; false when it could not start or did not exit with 0.
bool RunProgram(std::vector<std::string> command)
{
    std::vector<char*> argv;
    for (std::string& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Sends `events` datagrams per iteration and waits until all their deliveries have arrived.
void BM_DatagramsThroughDispatch(benchmark::State& state, TRoad& road)
{
    const TDatagramSender sender(road.UdpPort());
    const long events = state.range(0);
    const long failuresBefore = road.Failures();
    int logMessageId = 1;
    for (auto _ : state) {
        const long due = road.Deliveries().Count() + events * kRecipientsPerEvent;
        for (long i = 0; i < events; ++i)
            if (!sender.Send(EventDatagram(logMessageId++)))
                return state.SkipWithError("sendto failed");
        if (!road.Deliveries().WaitFor(due))
            return state.SkipWithError("the deliveries did not arrive within 30 s");
    }
    if (road.Failures() != failuresBefore)
        state.SkipWithError("the driver reported failed sends or database errors");
    state.SetItemsProcessed(state.iterations() * events);
}

// The real PelorinSend, one process per event, as the access-control server starts it. It sends
// to port 5014, so this needs a driver there: skipped when the port is taken.
void BM_PelorinSendThroughDispatch(benchmark::State& state)
{
    std::optional<TRoad> road;
    try {
        road.emplace(quint16(5014));
    } catch (const std::exception& error) {
        return state.SkipWithError((std::string("no driver on port 5014: ") + error.what()).c_str());
    }
    int logMessageId = 1;
    for (auto _ : state) {
        const long due = road->Deliveries().Count() + kRecipientsPerEvent;
        std::vector<std::string> command{PELORIN_BIN_DIR "/PelorinSend"};
        for (std::string& argument : EventArguments(logMessageId++))
            command.push_back(std::move(argument));
        if (!RunProgram(std::move(command)))
            return state.SkipWithError("PelorinSend failed");
        if (!road->Deliveries().WaitFor(due))
            return state.SkipWithError("the deliveries did not arrive within 30 s");
    }
    state.SetItemsProcessed(state.iterations());
}

// The database part of an event alone: the employee's phone list, as dispatch reads it.
void BM_GetEmpPhones(benchmark::State& state, const TRoad& road)
{
    const QString employeeId = QStringLiteral("e0000001-0000-4000-8000-000000000001");
    for (auto _ : state)
        if (road.Driver().GetEmpPhones(employeeId).size() != 1)
            return state.SkipWithError("the phone list of the demo employee is not one row");
    state.SetItemsProcessed(state.iterations());
}

// The same three messages of one event, each sent by a curl process of its own.
void BM_CurlProcessPerMessage(benchmark::State& state, TRoad& road)
{
    const std::string url = (road.BotApiUrl() + QStringLiteral("/bot") + QString::fromLatin1(kToken) +
                             QStringLiteral("/sendMessage"))
                                .toStdString();
    std::vector<std::string> bodies;
    for (const std::string& chatId : kChatIds)
        bodies.push_back(QJsonDocument(QJsonObject{{QStringLiteral("chat_id"), std::stoll(chatId)},
                                                   {QStringLiteral("text"), QString::fromUtf8(kMessageText)}})
                             .toJson(QJsonDocument::Compact)
                             .toStdString());
    for (auto _ : state) {
        for (const std::string& body : bodies) {
            if (!RunProgram({"curl", "--silent", "--show-error", "--fail", "--noproxy", "*", "--output",
                             "/dev/null", "--header", "Content-Type: application/json", "--data-binary", body,
                             url}))
                return state.SkipWithError("curl failed (is it installed?)");
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// The console report, then the cost per event of each road and the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that the figures can be kept in a file.
    TRatioReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const auto rate = run.counters.find("items_per_second");
            if (run.error_occurred || run.run_type != Run::RT_Iteration || rate == run.counters.end())
                continue;
            FRates[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)]
                .push_back(rate->second.value);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nMedian over the runs (an item is an event with three Telegram recipients, or one\n"
                    "phone-list lookup for BM_GetEmpPhones):\n");
        for (const auto& [name, rates] : FRates)
            std::printf("  %-36s %9.1f per second  %9.0f us each\n", name.c_str(), Median(rates),
                        1e6 / Median(rates));
        const std::optional<double> road = Rate("BM_DatagramsThroughDispatch/1");
        const std::optional<double> curl = Rate("BM_CurlProcessPerMessage");
        if (road && curl)
            std::printf("One curl process per message costs %.1f times as much per event as dispatch "
                        "(one event at a time).\n",
                        *road / *curl);
        const std::optional<double> burst = Rate("BM_DatagramsThroughDispatch/100");
        if (burst && curl)
            std::printf("In bursts of 100 events dispatch delivers %.1f times as many events per second.\n",
                        *burst / *curl);
        std::fflush(stdout);
    }

private:
    static double Median(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    std::optional<double> Rate(const std::string& name) const
    {
        const auto found = FRates.find(name);
        if (found == FRates.end())
            return std::nullopt;
        return Median(found->second);
    }

    std::map<std::string, std::vector<double>> FRates;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // QtSql and the regional settings expect one
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        TRoad road(0);
        benchmark::RegisterBenchmark(
            "BM_DatagramsThroughDispatch",
            [&road](benchmark::State& state) { BM_DatagramsThroughDispatch(state, road); })
            ->Arg(1)
            ->Arg(100)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(2.0);
        benchmark::RegisterBenchmark("BM_GetEmpPhones",
                                     [&road](benchmark::State& state) { BM_GetEmpPhones(state, road); })
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(
            "BM_CurlProcessPerMessage",
            [&road](benchmark::State& state) { BM_CurlProcessPerMessage(state, road); })
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(2.0);
        benchmark::RegisterBenchmark("BM_PelorinSendThroughDispatch", BM_PelorinSendThroughDispatch)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(300);
        TRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_dispatch: %s\n", error.what());
        return 1;
    }
    return 0;
}
