#include "acsdb/ConnectionManager.h"
#include "acsdb/DbConnection.h"
#include "core/BotDriver.h"
#include "intake/LogThread.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/ReportRecorder.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <future>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TReport = TReportRecorder::TReport;

const QString kStarted = QStringLiteral("Чтение событий запущено");
const QString kStopped = QStringLiteral("Чтение событий остановлено");
const QString kE1 = QStringLiteral("E0000001-0000-4000-8000-000000000001");
const QString kE2 = QStringLiteral("E0000002-0000-4000-8000-000000000002");
const QString kE3 = QStringLiteral("E0000003-0000-4000-8000-000000000003");
const QString kD1 = QStringLiteral("D0000001-0000-4000-8000-000000000001");
const QString kD4 = QStringLiteral("D0000004-0000-4000-8000-000000000004"); // has no name

bool IsReport(const TReport& report, const QString& text)
{
    return report.Obj == TobjLog && report.Status == TstProc && report.Mess == text;
}

bool IsFailure(const TReport& report)
{
    return report.Obj == TobjLog && report.Status == TstProc && report.Mess != kStarted &&
           report.Mess != kStopped;
}

std::size_t CountOf(const std::vector<TReport>& reports, bool (*match)(const TReport&))
{
    return std::size_t(std::count_if(reports.begin(), reports.end(), match));
}

// Events handed over by the poller, on its thread.
class TEventRecorder {
public:
    TlogMess Sink()
    {
        return [this](const TMes& mes) {
            {
                std::lock_guard lock(FLock);
                FEvents.push_back(mes);
            }
            FChanged.notify_all();
        };
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, limit, [&] { return FEvents.size() >= count; });
    }
    std::vector<TMes> Events() const
    {
        std::lock_guard lock(FLock);
        return FEvents;
    }
    QStringList Ids() const
    {
        QStringList ids;
        for (const TMes& mes : Events())
            ids << mes.LogMessageId;
        return ids;
    }

private:
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TMes> FEvents;
};

// Holds an exclusive lock on the database from a thread of its own, so that every query of
// others waits, until Release.
class TDatabaseLock {
public:
    explicit TDatabaseLock(const QString& path)
    {
        std::promise<void> locked;
        std::future<void> isLocked = locked.get_future();
        FThread = std::thread([this, path, &locked] {
            TConnectionManager manager;
            manager.Define(TConnectionDef::Sqlite(path));
            TDbConnection db(manager);
            db.Exec({{QStringLiteral("BEGIN EXCLUSIVE")}, {}});
            locked.set_value();
            std::unique_lock lock(FLock);
            FChanged.wait(lock, [this] { return FRelease; });
            db.Exec({{QStringLiteral("COMMIT")}, {}});
        });
        isLocked.wait();
    }
    ~TDatabaseLock() { Release(); }
    void Release()
    {
        {
            std::lock_guard lock(FLock);
            FRelease = true;
        }
        FChanged.notify_all();
        if (FThread.joinable())
            FThread.join();
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FRelease = false;
    std::thread FThread;
};

TEST(PollerRules, TemperatureAboveTheLimit)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::int32_t Tenths;
        double Limit;
        bool Above;
    } cases[] = {
        {375, 37.5, false}, {376, 37.5, true}, {0, 0.0, false}, // NULL reads as 0
        {0, 37.5, false},   {1, 0.0, true},    {0, -0.1, true}, {-400, nan, true}, {376, nan, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AboveTemperatureLimit(c.Tenths, c.Limit), c.Above) << c.Tenths << " against " << c.Limit;
}

TEST(PollerRules, StripBraces)
{
    const struct {
        QString Text, Stripped;
    } cases[] = {
        {QStringLiteral("{ABC}"), QStringLiteral("ABC")},
        {QStringLiteral("ABC"), QStringLiteral("B")},
        {QStringLiteral("AB"), QString()},
        {QStringLiteral("A"), QString()},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripBraces(c.Text), c.Stripped) << c.Text.toStdString();
}

// The poller alone on a fresh demo installation, with short waits.
class PollerTest : public ::testing::Test {
protected:
    PollerTest() { FManager.Define(TConnectionDef::Sqlite(FDemo.DatabasePath())); }

    TLogThread& Start(TLogThreadTiming timing = {0ms, 30ms})
    {
        FThread = std::make_unique<TLogThread>(FManager, FReports.Sink(), FEvents.Sink(), timing);
        FThread->Start();
        return *FThread;
    }

    bool WaitFor(const QString& text, std::size_t count = 1)
    {
        return FReports.WaitFor([&](const TReport& r) { return IsReport(r, text); }, count);
    }

    void InsertLog(qint64 id, const QString& employee, const QString& device,
                   const QVariant& temperature = 366)
    {
        FDemo.Exec(
            QStringLiteral("insert into log (_id, DateTime, LogMessageType, LogMessageSubType, Message, "
                           "Details, DriverID, EmployeeID, OperatorID, AlcoholResult, AlcoholCheckState, "
                           "TemperatureResult, TemperatureCheckState) values (?, '2024-11-14 13:30:00', 1, "
                           "26, 'Вход', 'Проход разрешён', ?, ?, NULL, 0, 0, ?, 1)"),
            {id, device, employee, temperature});
    }

    TDemoInstallation FDemo;
    TConnectionManager FManager;
    TReportRecorder FReports;
    TEventRecorder FEvents;
    std::unique_ptr<TLogThread> FThread;
};

TEST_F(PollerTest, HandsOverOnlyNewRowsOldestFirstAndEachOnce)
{
    // A log kept without an index on _id hands rows out in storage order, as a server may do
    // whenever it likes; the rows below are stored out of _id order.
    FDemo.Exec(QStringLiteral("alter table log rename to log_indexed"));
    FDemo.Exec(QStringLiteral("create table log as select * from log_indexed"));
    Start();
    ASSERT_TRUE(WaitFor(kStarted));
    FDemo.Exec(QStringLiteral("insert into log (_id, DriverID, EmployeeID, TemperatureResult) values "
                              "(20, ?, ?, 366), (12, ?, ?, 366), (15, ?, ?, 366), "
                              "(17, ?, ?, 366), " // device without a name: never read
                              "(18, ?, '00000000-0000-0000-0000-000000000000', 366)"), // no such employee
               {kD1, kE1, kD1, kE3, kD1, kE2, kD4, kE1, kD1});
    ASSERT_TRUE(FEvents.WaitForCount(3));
    InsertLog(21, kE2, kD1);
    ASSERT_TRUE(FEvents.WaitForCount(4));
    std::this_thread::sleep_for(150ms); // several more polls
    EXPECT_EQ(FEvents.Ids().join(u',').toStdString(), "12,15,20,21");
    EXPECT_EQ(CountOf(FReports.Reports(), IsFailure), 0u);
}

TEST_F(PollerTest, RowBecomesAnEventOfItsOwnValuesOnly)
{
    FDemo.Exec(QStringLiteral("insert into Employee (_id, FullName, IsRemoved) values "
                              "('E0000006-0000-4000-8000-000000000006', 'Ким Алексей', 0)"));
    Start();
    ASSERT_TRUE(WaitFor(kStarted));
    FDemo.Exec(QStringLiteral(
                   "insert into log values (40, '2024-11-14 13:30:05', 1, 226, 'Вход', 'Лицо распознано', "
                   "'d0000001-0000-4000-8000-000000000001', ?, 'e0000002-0000-4000-8000-000000000002', "
                   "12, 2, NULL, 3)"),
               {kE1});
    FDemo.Exec(
        QStringLiteral("insert into log (_id, DateTime, DriverID, EmployeeID, TemperatureResult) values "
                       "(41, '2024-11-14 13:31:00', ?, 'E0000006-0000-4000-8000-000000000006', 381)"),
        {kD1});
    ASSERT_TRUE(FEvents.WaitForCount(2));
    const std::vector<TMes> events = FEvents.Events();

    const TMes& first = events[0];
    EXPECT_EQ(first.LogMessageId, QStringLiteral("40"));
    EXPECT_EQ(first.DriverId, kD1);
    EXPECT_EQ(first.EmployeeId, kE1);
    EXPECT_EQ(first.OperatorId, QStringLiteral("{E0000002-0000-4000-8000-000000000002}"));
    EXPECT_EQ(first.DateTime, QDateTime(QDate(2024, 11, 14), QTime(13, 30, 5)));
    EXPECT_TRUE(first.IsKeyEvent);
    EXPECT_EQ(first.MessageType, QStringLiteral("1"));
    EXPECT_EQ(first.MessageSubType, QStringLiteral("226"));
    EXPECT_EQ(first.Message, QStringLiteral("Вход"));
    EXPECT_EQ(first.Details, QStringLiteral("Лицо распознано"));
    EXPECT_EQ(first.AlcoholResult, 12);
    EXPECT_EQ(first.AlcoholCheckState, 2);
    EXPECT_EQ(first.TemperatureResult, 0); // NULL
    EXPECT_EQ(first.TemperatureCheckState, 3);
    EXPECT_EQ(first.EmployeeFullName(), QStringLiteral("Иванов Иван Иванович"));
    EXPECT_EQ(first.SecondName, QStringLiteral("Иванович"));
    EXPECT_EQ(first.DriverName, QStringLiteral("Турникет проходной"));
    EXPECT_TRUE(first.MessFromBase);
    EXPECT_TRUE(first.Data.isEmpty());

    const TMes& second = events[1];
    EXPECT_EQ(second.LASTNAME, QStringLiteral("Ким"));
    EXPECT_EQ(second.FIRSTNAME, QStringLiteral("Алексей"));
    EXPECT_EQ(second.SecondName, QString()); // nothing left over from the row before
    EXPECT_EQ(second.Message, QString());
    EXPECT_EQ(second.OperatorId, QString());
    EXPECT_EQ(second.TemperatureResult, 381);
}

TEST_F(PollerTest, AnOutageIsReportedOnceUntilAPollSucceeds)
{
    Start();
    ASSERT_TRUE(WaitFor(kStarted));
    FDemo.Exec(QStringLiteral("alter table log rename to log_away"));
    ASSERT_TRUE(FReports.WaitFor(IsFailure));
    std::this_thread::sleep_for(300ms); // about ten failed polls
    std::vector<TReport> reports = FReports.Reports();
    ASSERT_EQ(CountOf(reports, IsFailure), 1u);
    const TReport failure = *std::find_if(reports.begin(), reports.end(), IsFailure);
    EXPECT_TRUE(failure.Mess.contains(QStringLiteral("no such table: log"))) << failure.Mess.toStdString();

    FDemo.Exec(QStringLiteral("alter table log_away rename to log"));
    InsertLog(50, kE1, kD1);
    ASSERT_TRUE(FEvents.WaitForCount(1)); // a poll succeeded
    FDemo.Exec(QStringLiteral("alter table log rename to log_away"));
    EXPECT_TRUE(FReports.WaitFor(IsFailure, 2));
    EXPECT_EQ(CountOf(FReports.Reports(), [](const TReport& r) { return IsReport(r, kStarted); }), 1u);
}

TEST_F(PollerTest, AFailingStartQueryIsReportedEachTimeAndRetried)
{
    FDemo.Exec(QStringLiteral("alter table log rename to log_away"));
    const auto begin = std::chrono::steady_clock::now();
    Start({0ms, 50ms});
    ASSERT_TRUE(FReports.WaitFor(IsFailure, 3));
    // Paced, not a tight loop: three attempts take at least two pauses.
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 100ms);
    EXPECT_FALSE(FReports.WaitFor([](const TReport& r) { return IsReport(r, kStarted); }, 1, 0ms));

    FDemo.Exec(QStringLiteral("alter table log_away rename to log"));
    ASSERT_TRUE(WaitFor(kStarted));
    InsertLog(60, kE2, kD1);
    EXPECT_TRUE(FEvents.WaitForCount(1));
}

TEST_F(PollerTest, StopDuringTheFirstWaitEndsAtOnceWithTheStopReport)
{
    TLogThread& thread = Start({10s, 30ms});
    const auto begin = std::chrono::steady_clock::now();
    thread.RequestStop();
    ASSERT_TRUE(thread.WaitFinished(2s));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_EQ(FReports.Reports(), (std::vector<TReport>{{TobjLog, TstProc, kStopped}}));
}

// ---- through the driver ------------------------------------------------------------------------

TDriverOptions QuickPoller()
{
    TDriverOptions options;
    options.UdpPort = 0;
    options.LogStartDelay = 0ms;
    options.LogPollPause = 30ms;
    options.LogStopWait = 50ms;
    return options;
}

bool StartedReport(const TReport& r) { return IsReport(r, kStarted); }
bool StoppedReport(const TReport& r) { return IsReport(r, kStopped); }

TEST(DriverPoller, StopAndRestart)
{
    TDemoInstallation demo;
    TReportRecorder recorder;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), QuickPoller());
    driver.SetLogState(recorder.Sink());
    EXPECT_FALSE(driver.LogThreadActive());

    driver.SetBdEn(true);
    EXPECT_TRUE(driver.LogThreadActive());
    EXPECT_FALSE(driver.LogThreadStart()); // one poller at a time
    ASSERT_TRUE(recorder.WaitFor(StartedReport));

    driver.SetBdEn(false);
    EXPECT_FALSE(driver.LogThreadActive());
    EXPECT_TRUE(recorder.WaitFor(StoppedReport));
    EXPECT_TRUE(driver.LogThreadStop()); // nothing to stop: still true

    EXPECT_TRUE(driver.LogThreadStart());
    EXPECT_TRUE(recorder.WaitFor(StartedReport, 2));
    driver.Destroy();
    EXPECT_EQ(CountOf(recorder.Reports(), StoppedReport), 2u);
}

// A stored "bdEn": true starts the poller with the program once the database is connected, and
// not without a database.
TEST(DriverPoller, StoredSwitchStartsThePollerAtStartUp)
{
    TDemoInstallation demo;
    QDir().mkpath(demo.AppDataDir() + QStringLiteral("/KestravaPelorin"));
    QFile settings(demo.AppDataDir() + QStringLiteral("/KestravaPelorin/Config.kvf"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"bdEn":true,"bdTmpLimit":37.5})");
    settings.close();
    {
        TKvBotDriver driver(QStringLiteral("KestravaPelorin"), QuickPoller());
        EXPECT_TRUE(driver.BdEn());
        EXPECT_TRUE(driver.LogThreadActive());
    }
    ASSERT_TRUE(QFile::remove(demo.ServerConfigPath()));
    TKvBotDriver withoutDatabase(QStringLiteral("KestravaPelorin"), QuickPoller());
    EXPECT_TRUE(withoutDatabase.BdEn());
    EXPECT_FALSE(withoutDatabase.LogThreadActive());
}

TEST(DriverPoller, RowsAreReportedWhenLogBdIsOn)
{
    TDemoInstallation demo;
    TReportRecorder recorder;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), QuickPoller());
    driver.SetLogState(recorder.Sink());
    driver.SetLogBd(true);
    driver.SetBdTmpLimit(37.5);
    driver.SetBdEn(true);
    ASSERT_TRUE(recorder.WaitFor(StartedReport));
    demo.Exec(
        QStringLiteral("insert into log (_id, DriverID, EmployeeID, Message, Details, TemperatureResult) "
                       "values (70, ?, ?, 'Вход', 'Проход разрешён', 375), (71, ?, ?, 'Вход', NULL, 376)"),
        {kD1, kE1, kD1, kE2});
    const auto received = [](const TReport& r) { return r.Obj == TobjLog && r.Status == TstRecMes; };
    ASSERT_TRUE(recorder.WaitFor(received, 2));
    std::vector<TReport> rows;
    for (const TReport& report : recorder.Reports()) {
        if (received(report))
            rows.push_back(report);
    }
    EXPECT_EQ(rows[0].Mess, QStringLiteral("Иванов Иван Иванович Турникет проходной Вход Проход разрешён"));
    EXPECT_EQ(rows[1].Mess, QStringLiteral("Петрова Анна Сергеевна Турникет проходной Вход "));
}

// The poller's own reports; the rest of the driver (the bot's stop notice) reports too at teardown.
std::vector<TReport> PollerReports(const TReportRecorder& recorder)
{
    std::vector<TReport> own;
    for (const TReport& report : recorder.Reports())
        if (report.Obj == TobjLog)
            own.push_back(report);
    return own;
}

// Destroy while the poller waits before its first query: it ends at once.
TEST(DriverPoller, DestroyWhileThePollerSleeps)
{
    TDemoInstallation demo;
    TDriverOptions options = QuickPoller();
    options.LogStartDelay = 10s;
    TReportRecorder recorder;
    auto driver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), options);
    driver->SetLogState(recorder.Sink());
    driver->SetBdEn(true);
    const auto begin = std::chrono::steady_clock::now();
    driver.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
    EXPECT_EQ(PollerReports(recorder), (std::vector<TReport>{{TobjLog, TstProc, kStopped}}));
}

// Destroy while the poller is inside a query that waits for a lock: LogThreadStop gives up after
// its short wait, but Destroy does not return before the poller has ended, and nothing reaches
// the driver afterwards.
TEST(DriverPoller, DestroyWhileThePollerQueries)
{
    TDemoInstallation demo;
    TReportRecorder recorder;
    auto driver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), QuickPoller());
    driver->SetLogState(recorder.Sink());
    driver->SetBdEn(true);
    ASSERT_TRUE(recorder.WaitFor(StartedReport));

    TDatabaseLock lock(demo.DatabasePath());
    std::this_thread::sleep_for(200ms); // the next poll is now waiting for the lock
    std::thread releaser([&lock] {
        std::this_thread::sleep_for(500ms);
        lock.Release();
    });
    const auto begin = std::chrono::steady_clock::now();
    driver->Destroy();
    const auto took = std::chrono::steady_clock::now() - begin;
    releaser.join();
    EXPECT_GE(took, 300ms);
    const std::size_t reportsAtDestroy = recorder.Reports().size();
    ASSERT_FALSE(PollerReports(recorder).empty());
    EXPECT_TRUE(StoppedReport(PollerReports(recorder).back()));
    driver.reset();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.Reports().size(), reportsAtDestroy);
}

} // namespace
