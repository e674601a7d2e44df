#include "core/BotDriver.h"

#include "sms/SmsRuBalans.h"
#include "tests/fakes/FakeSmsGateway.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"
#include "tests/fakes/TempAppData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TReport = TReportRecorder::TReport;
using TReports = std::vector<TReport>;
using TFields = std::vector<std::pair<QString, QString>>;

const QString kKey = QStringLiteral("A1B2C3D4-0000-1111-2222-333344445555");

TEST(SmsRuBalans, ReadsTheReplyMembers)
{
    struct TCase {
        const char* Body;
        TSmsRuBalans Expected;
    };
    const TCase cases[] = {
        {R"({"status":"OK","status_code":100,"balance":123.45})", {"123.45", "OK", 100, ""}},
        {R"({"balance" : 100.10 , "status":"OK"})", {"100.10", "OK", 0, ""}},
        {R"({"sms":{"7900":{"balance":1}},"balance":4.5e2,"status":"OK"})", {"4.5e2", "OK", 0, ""}},
        {R"({"balance":"77.5","status":"OK"})", {"77.5", "OK", 0, ""}},
        {R"({"status":"ERROR","status_code":200,"status_text":"Неправильный api_id"})",
         {"", "ERROR", 200, "Неправильный api_id"}},
        {R"({"status":"ok","extra":[1,2,{"a":"}"}]})", {"", "ok", 0, ""}},
        {R"(<html>502 Bad Gateway</html>)", {}},
        {R"([{"status":"OK"}])", {}},
        {"", {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TSmsRuBalans::FromJson(QByteArray(c.Body)), c.Expected) << c.Body;
}

class SmsRuTest : public ::testing::Test {
protected:
    SmsRuTest()
        : FUrl("PELORIN_SMS_API_URL", FGateway.BaseUrl())
    {
        TDriverOptions options;
        options.UdpPort = 0;
        FDriver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), options);
        FDriver->SetLogState(FRecorder.Sink());
    }

    void SwitchOn(const QString& key = kKey)
    {
        FDriver->SetSmsRuId(key);
        FDriver->SetSmsRuEn(true);
    }

    TTempAppData FAppData;
    TFakeSmsGateway FGateway;
    TScopedEnv FUrl;
    TReportRecorder FRecorder;
    std::unique_ptr<TKvBotDriver> FDriver;
};

TEST_F(SmsRuTest, SwitchOnReportsTheBalanceOrTheRefusal)
{
    struct TCase {
        int Status;
        const char* Body;
        TReport Expected;
    };
    const TCase cases[] = {
        {200,
         R"({"status":"OK","status_code":100,"balance":123.45})",
         {TobjSmsru, TstConNorm, "Баланс: 123.45"}},
        {200, R"({"status":"OK","balance":100.10})", {TobjSmsru, TstConNorm, "Баланс: 100.10"}},
        {200,
         R"({"status":"ERROR","status_code":200,"status_text":"Неправильный api_id"})",
         {TobjSmsru, TstConErr, "Неправильный api_id"}},
        {200, R"({"status":"ok","balance":5,"status_text":"регистр"})", {TobjSmsru, TstConErr, "регистр"}},
        {200, R"(<html>oops</html>)", {TobjSmsru, TstConErr, ""}},
        {404,
         R"({"status":"ERROR","status_text":"Нет такого метода"})",
         {TobjSmsru, TstConErr, "Нет такого метода"}},
        {500, R"({"status":"OK","balance":1})", {TobjSmsru, TstConErr, "Internal Server Error"}},
        {503, R"()", {TobjSmsru, TstConErr, "Service Unavailable"}},
    };
    for (const TCase& c : cases) {
        FRecorder.Clear();
        FGateway.QueueReply(c.Status, c.Body);
        SwitchOn();
        EXPECT_EQ(FRecorder.Reports(), TReports{c.Expected}) << c.Body;
    }
    const auto requests = FGateway.Requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    EXPECT_EQ(requests[0].Path, QStringLiteral("/my/balance"));
    EXPECT_EQ(requests[0].ContentType, QStringLiteral("application/x-www-form-urlencoded"));
    EXPECT_EQ(requests[0].Fields, (TFields{{"api_id", kKey}, {"json", "1"}}));
}

TEST_F(SmsRuTest, EmptyKeyAndSwitchOffAreSilent)
{
    SwitchOn(QString());
    EXPECT_TRUE(FRecorder.Reports().empty());
    EXPECT_TRUE(FGateway.Requests().empty());

    // Dispatch may still call it: refused with a report, nothing sent.
    EXPECT_FALSE(FDriver->SmsRuSend(QStringLiteral("79001234567"), QStringLiteral("Вход")));
    ASSERT_EQ(FRecorder.Reports().size(), 1u);
    EXPECT_EQ(FRecorder.Reports()[0].Obj, TobjSmsru);
    EXPECT_EQ(FRecorder.Reports()[0].Status, TstConErr);
    EXPECT_TRUE(FGateway.Requests().empty());

    FRecorder.Clear();
    SwitchOn();
    ASSERT_TRUE(FGateway.WaitForRequests(1));
    FDriver->SetSmsRuEn(false);
    FDriver->Destroy();
    EXPECT_EQ(FRecorder.Reports().size(), 2u); // the balance and the bot's stop, nothing for the SMS stop
    EXPECT_EQ(FGateway.Requests().size(), 1u);
}

TEST_F(SmsRuTest, SendReportsByOutcomeAndLogSwitch)
{
    struct TCase {
        bool LogSmsRu;
        int Status;
        const char* Body;
        bool Sent;
        TReports Expected;
    };
    const QString message = QStringLiteral("Иванов И. Вход 14.11.2024 13:30 & 100% +1=2");
    const TReport sentReport{TobjSmsru, TstSendMes, QStringLiteral("79001234567: ") + message};
    const char* ok =
        R"({"status":"OK","status_code":100,"sms":{"79001234567":{"status":"OK"}},"balance":4.2})";
    const char* refused = R"({"status":"ERROR","status_code":202,"status_text":"Неправильно указан номер"})";
    const TCase cases[] = {
        {false, 200, ok, true, {}},
        {true, 200, ok, true, {sentReport}},
        {false, 200, refused, false, {{TobjSmsru, TstConErr, "Неправильно указан номер"}}},
        {true, 200, refused, false, {{TobjSmsru, TstConErr, "Неправильно указан номер"}}},
        {true, 200, R"({"status":"Ok"})", false, {{TobjSmsru, TstConErr, ""}}},
        {false, 502, "", false, {{TobjSmsru, TstConErr, "Bad Gateway"}}},
    };
    SwitchOn();
    // The key is read at every send, so a change counts from the next SMS on.
    FDriver->SetSmsRuId(QStringLiteral("new-key"));
    for (const TCase& c : cases) {
        FRecorder.Clear();
        FDriver->SetLogSmsRu(c.LogSmsRu);
        FGateway.QueueReply(c.Status, c.Body);
        EXPECT_EQ(FDriver->SmsRuSend(QStringLiteral("79001234567"), message), c.Sent) << c.Body;
        EXPECT_EQ(FRecorder.Reports(), c.Expected) << c.Body;
    }
    const auto requests = FGateway.Requests();
    ASSERT_EQ(requests.size(), 1 + std::size(cases));
    EXPECT_EQ(requests[1].Path, QStringLiteral("/sms/send"));
    EXPECT_EQ(requests[1].Fields,
              (TFields{{"api_id", "new-key"}, {"to", "79001234567"}, {"msg", message}, {"json", "1"}}));
}

TEST_F(SmsRuTest, SilentGatewayIsReportedAfterAboutThreeSeconds)
{
    SwitchOn();
    FRecorder.Clear();
    FGateway.SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FDriver->SmsRuSend(QStringLiteral("79001234567"), QStringLiteral("Вход")));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    FGateway.SetSilent(false);
    EXPECT_GE(elapsed, 2900ms);
    EXPECT_LT(elapsed, 4500ms);
    const TReports reports = FRecorder.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Obj, TobjSmsru);
    EXPECT_EQ(reports[0].Status, TstConErr);
    EXPECT_FALSE(reports[0].Mess.isEmpty()) << "the report says why no answer came";
}

// Run under tsan/asan: sends on several threads while the channel is switched on and off.
TEST_F(SmsRuTest, SwitchingWhileOtherThreadsSend)
{
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            while (!done)
                accepted += FDriver->SmsRuSend(QStringLiteral("79001234567"), QStringLiteral("Вход")) ? 1 : 0;
        });
    }
    for (int i = 0; i < 8; ++i) {
        SwitchOn();
        std::this_thread::sleep_for(20ms);
        FDriver->SetSmsRuEn(false);
    }
    done = true;
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_GT(accepted, 0);
}

} // namespace
