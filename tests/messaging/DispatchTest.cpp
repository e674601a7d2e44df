// The whole road of an event: a datagram or a direct dispatch, the phone rows of a real SQLite
// installation, and the loopback Bot API and SMS gateway that record what they receive.

#include "core/BotDriver.h"
#include "messaging/Dispatcher.h"
#include "messaging/FormatMes.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/FakeBotApi.h"
#include "tests/fakes/FakeSmsGateway.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"
#include "tests/fakes/TempAppData.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <limits>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TReport = TReportRecorder::TReport;

// Сидоров Пётр Алексеевич has two phone rows in the demo data.
const QString kEmployee = QStringLiteral("E0000003-0000-4000-8000-000000000003");
const QString kPhone1 = QStringLiteral("F0000003-0000-4000-8000-000000000003");
const QString kPhone2 = QStringLiteral("F0000004-0000-4000-8000-000000000004");
const QString kP1 = QStringLiteral("77055550001"); // stored as "+7" "705" "5550001"
const QString kP2 = QStringLiteral("77272223344");
const QString kGate = QStringLiteral("D0000001-0000-4000-8000-000000000001");
const QString kTgTemplate = QStringLiteral("$Ln&$Fn&$Mn&");
const QString kSmsTemplate = QStringLiteral("$Lw&$Dn&$Mn&");

TMes Event(const QString& driverId = kGate)
{
    TMes mes;
    mes.DriverId = driverId;
    mes.EmployeeId = kEmployee;
    mes.Message = QStringLiteral("Вход");
    mes.DriverName = QStringLiteral("Турникет проходной");
    mes.SetEmployeeFullName(QStringLiteral("Сидоров Пётр Алексеевич"));
    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(13, 30));
    mes.IsKeyEvent = true;
    return mes;
}

class Dispatch : public ::testing::Test {
protected:
    Dispatch()
        : FTgUrl("PELORIN_TELEGRAM_API_URL", FBot.BaseUrl())
        , FSmsUrl("PELORIN_SMS_API_URL", FSms.BaseUrl())
        , FNoProxy("no_proxy", QStringLiteral("127.0.0.1,localhost"))
    {
        SetPhone(kPhone1, QStringLiteral("+7"), QStringLiteral("TgBot333"));
        SetPhone(kPhone2, QStringLiteral("7"), QString());
        TDriverOptions options;
        options.UdpPort = 0;
        options.TgPollInterval = 50ms;
        options.LogStartDelay = 0ms;
        options.LogPollPause = 30ms;
        options.LogStopWait = 50ms;
        FDriver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), options);
        FDriver->SetLogState(FReports.Sink());
        FDriver->SetTgId(FBot.Token());
        FDriver->SetTgMessFrm(kTgTemplate);
        FDriver->SetSmsRuId(QStringLiteral("demo-key"));
        FDriver->SetSmsRuMessFrm(kSmsTemplate);
        FDriver->SetTgAdd(QStringLiteral("111\r\n222=Проходная"));
        FDriver->SetMessFltr(QStringLiteral("Проходная=DriversId$") + kGate);
        FDriver->SetSmsRuAdd(QStringLiteral("+70000000001\r\n70000000002"));
        FDriver->SetLogTg(true);
    }

    ~Dispatch() override { FDriver.reset(); }

    void SwitchOn()
    {
        FDriver->SetTgEn(true);
        FDriver->SetSmsRuEn(true);
        ASSERT_TRUE(FSms.WaitForRequests(1)); // the balance
    }

    void SetPhone(const QString& id, const QString& country, const QString& description) const
    {
        FDemo.Exec(QStringLiteral("update PhoneNumbers set CountryCode=?, Description=? where _id=?"),
                   {country, description, id});
    }

    std::vector<qint64> Chats() const
    {
        std::vector<qint64> chats;
        for (const TFakeBotApi::TRequest& request : FBot.Requests(QStringLiteral("sendMessage")))
            chats.push_back(request.Params.value(QStringLiteral("chat_id")).toVariant().toLongLong());
        return chats;
    }

    std::vector<QString> SmsNumbers() const
    {
        std::vector<QString> numbers;
        for (const TFakeSmsGateway::TRequest& request : FSms.Requests())
            if (request.Path.endsWith(QLatin1String("/sms/send")))
                numbers.push_back(request.Field(QStringLiteral("to")));
        return numbers;
    }

    std::vector<TReport> ReportsOf(Tobj obj, TStatus status) const
    {
        std::vector<TReport> found;
        for (const TReport& report : FReports.Reports())
            if (report.Obj == obj && report.Status == status)
                found.push_back(report);
        return found;
    }

    void SendDatagram(const QString& text) const
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(FDriver->UdpPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const QByteArray payload = text.toUtf8();
        ::sendto(fd, payload.constData(), size_t(payload.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        ::close(fd);
    }

    TDemoInstallation FDemo;
    TFakeBotApi FBot;
    TFakeSmsGateway FSms;
    TScopedEnv FTgUrl;
    TScopedEnv FSmsUrl;
    TScopedEnv FNoProxy;
    TReportRecorder FReports; // outlives the driver, whose teardown still reports
    std::unique_ptr<TKvBotDriver> FDriver;
};

// The worked example, through a real datagram: extra chats (one filtered), the subscriber, then
// SMS to the extra numbers and to both phones of the employee.
TEST_F(Dispatch, DatagramReachesEveryRecipientInOrder)
{
    SwitchOn();
    SendDatagram(QStringLiteral("DateTime:14.11.2024 13:30:00, IsKeyEvent:1, DriverId:%1, EmployeeId:{%2}, "
                                "Message:Вход, DriverName:Турникет проходной, "
                                "EmployeeFullName:Сидоров Пётр Алексеевич")
                     .arg(kGate, kEmployee.toLower()));
    ASSERT_TRUE(FSms.WaitForRequests(5));
    ASSERT_TRUE(FBot.WaitForRequests(QStringLiteral("sendMessage"), 3));
    EXPECT_EQ(Chats(), (std::vector<qint64>{111, 222, 333}));
    EXPECT_EQ(SmsNumbers(),
              (std::vector<QString>{QStringLiteral("70000000001"), QStringLiteral("70000000002"), kP1, kP2}));

    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QString tgText = FormatMes(Event(), kTgTemplate, ru);
    EXPECT_EQ(
        FBot.Requests(QStringLiteral("sendMessage")).back().Params.value(QStringLiteral("text")).toString(),
        tgText);
    EXPECT_EQ(FSms.Requests().back().Field(QStringLiteral("msg")), FormatMes(Event(), kSmsTemplate, ru));
    const std::vector<TReport> sent = ReportsOf(TobjTg, TstSendMes);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].Mess, QStringLiteral("111: () ") + tgText);
    EXPECT_EQ(sent[2].Mess, QStringLiteral("333: (") + kP1 + QStringLiteral(") ") + tgText);
}

TEST_F(Dispatch, FilterDecidesForItsChatOnly)
{
    SwitchOn();
    FDriver->DispatchMes(Event(QStringLiteral("D0000002-0000-4000-8000-000000000002")));
    EXPECT_EQ(Chats(), (std::vector<qint64>{111, 333}));
}

TEST_F(Dispatch, ChannelsOffSendNothingButThePhonesAreStillRead)
{
    FDemo.Exec(QStringLiteral("drop table PhoneNumbers"));
    FDriver->DispatchMes(Event());
    EXPECT_TRUE(Chats().empty());
    EXPECT_TRUE(FSms.Requests().empty());
    EXPECT_EQ(ReportsOf(TobjBase, TstProc).size(), 1u) << "the phone rows were queried";
}

TEST_F(Dispatch, OnlyAddLeavesOutTheEmployeesPhones)
{
    SwitchOn();
    FDriver->SetTgOnlyAdd(true);
    FDriver->SetSmsRuOnlyAdd(true);
    FDriver->DispatchMes(Event());
    EXPECT_EQ(Chats(), (std::vector<qint64>{111, 222}));
    EXPECT_EQ(SmsNumbers(),
              (std::vector<QString>{QStringLiteral("70000000001"), QStringLiteral("70000000002")}));
}

TEST_F(Dispatch, ExtraChatLineForms)
{
    SwitchOn();
    FDriver->SetTgAdd(QStringLiteral("123=\r\n"
                                     "124 = Проходная\r\n"
                                     "125 =\r\n"
                                     "-1001234567890\n"
                                     "0\r"
                                     "abc\r\n"
                                     "1 2\r\n"
                                     "\r\n"
                                     "  126  \r\n"
                                     "127=Неизвестный\r\n"
                                     "$7F\r\n"
                                     "99999999999999999999"));
    FDriver->SetTgOnlyAdd(true);
    FDriver->DispatchMes(Event());
    EXPECT_EQ(Chats(), (std::vector<qint64>{123, 124, -1001234567890, 126, 127, 127}));
    EXPECT_TRUE(ReportsOf(TobjTg, TstConErr).empty()) << "invalid chats are skipped silently";
}

TEST_F(Dispatch, MarkersDecideTelegramButEveryPhoneGetsSms)
{
    SwitchOn();
    FDriver->SetTgAdd(QStringLiteral("333"));
    // A cancelled subscription, a marker with text in front, and a chat subscribed twice.
    SetPhone(kPhone1, QStringLiteral("7"), QStringLiteral("Tg удален333"));
    SetPhone(kPhone2, QStringLiteral("7"), QStringLiteral("xTgBot333"));
    FDriver->DispatchMes(Event());
    EXPECT_EQ(Chats(), (std::vector<qint64>{333}));
    EXPECT_EQ(SmsNumbers().size(), 4u);

    SetPhone(kPhone1, QStringLiteral("7"), QStringLiteral("TgBot444"));
    SetPhone(kPhone2, QStringLiteral("7"), QStringLiteral("TgBot444"));
    FDriver->DispatchMes(Event());
    EXPECT_EQ(Chats(), (std::vector<qint64>{333, 333, 444, 444}));
}

TEST_F(Dispatch, RefusalsAreReportedAndTheNextRecipientsServed)
{
    SwitchOn();
    FBot.QueueReply(QStringLiteral("sendMessage"), 403,
                    TFakeBotApi::Refusal(403, QStringLiteral("Forbidden: bot was blocked by the user")));
    FSms.QueueReply(
        200,
        QStringLiteral(
            R"({"status":"ERROR","status_code":207,"status_text":"На этот номер нельзя отправлять сообщения"})")
            .toUtf8());
    FDriver->DispatchMes(Event());
    EXPECT_EQ(Chats(), (std::vector<qint64>{111, 222, 333}));
    EXPECT_EQ(SmsNumbers().size(), 4u);

    const std::vector<TReport> tgErrors = ReportsOf(TobjTg, TstConErr);
    ASSERT_EQ(tgErrors.size(), 1u);
    EXPECT_TRUE(tgErrors[0].Mess.contains(QStringLiteral("Forbidden: bot was blocked by the user")));
    const std::vector<TReport> sent = ReportsOf(TobjTg, TstSendMes);
    ASSERT_EQ(sent.size(), 2u) << "the refused message is not logged as sent";
    EXPECT_TRUE(sent[0].Mess.startsWith(QStringLiteral("222: ")));
    const std::vector<TReport> smsErrors = ReportsOf(TobjSmsru, TstConErr);
    ASSERT_EQ(smsErrors.size(), 1u);
    EXPECT_EQ(smsErrors[0].Mess, QStringLiteral("На этот номер нельзя отправлять сообщения"));
}

TEST_F(Dispatch, TelegramOnWithoutABotIsReportedNotAFault)
{
    FDriver->SetTgId(QString());
    FDriver->SetTgEn(true);
    FDriver->DispatchMes(Event());
    EXPECT_EQ(ReportsOf(TobjTg, TstConErr).size(), 3u);
    EXPECT_TRUE(ReportsOf(TobjTg, TstSendMes).empty());
}

TEST_F(Dispatch, EventWithoutEmployeeGoesToExtraRecipientsOnly)
{
    SwitchOn();
    TMes mes = Event();
    mes.EmployeeId.clear();
    FDriver->DispatchMes(mes);
    EXPECT_EQ(Chats(), (std::vector<qint64>{111, 222}));
    EXPECT_EQ(SmsNumbers().size(), 2u);
}

// The second road: rows of the event log above the temperature threshold are delivered the same
// way; rows at or below it are not.
TEST_F(Dispatch, HotLogRowsAreDeliveredLikeDatagrams)
{
    SwitchOn();
    FDriver->SetTgAdd(QStringLiteral("111"));
    FDriver->SetTgOnlyAdd(true);
    FDriver->SetSmsRuEn(false);
    FDriver->SetBdTmpLimit(37.2);
    FDriver->SetBdEn(true);
    ASSERT_TRUE(FReports.WaitFor(
        [](const TReport& r) { return r.Obj == TobjLog && r.Mess.contains(QStringLiteral("запущено")); }));
    const QString insert =
        QStringLiteral("insert into log (DateTime, LogMessageType, LogMessageSubType, Message, Details, "
                       "DriverID, EmployeeID,"
                       " AlcoholResult, AlcoholCheckState, TemperatureResult, TemperatureCheckState)"
                       " values ('2024-11-14 13:30:00', 1, 26, ?, '', ?, ?, 0, 0, ?, 1)");
    FDemo.Exec(insert, {QStringLiteral("Норма"), kGate, kEmployee, 372});
    FDemo.Exec(insert, {QStringLiteral("Жар"), kGate, kEmployee, 381});
    ASSERT_TRUE(FBot.WaitForRequests(QStringLiteral("sendMessage"), 1));
    std::this_thread::sleep_for(300ms); // further polls deliver nothing more
    const auto sent = FBot.Requests(QStringLiteral("sendMessage"));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].Params.value(QStringLiteral("text")).toString().contains(QStringLiteral("Жар")));
    EXPECT_EQ(Chats(), (std::vector<qint64>{111}));
}

// Stopping while deliveries are slow: what the drain limit leaves undelivered is reported.
TEST(DispatchAtStop, UndeliveredEventsAreReported)
{
    TTempAppData appData;
    TFakeBotApi bot;
    TScopedEnv url("PELORIN_TELEGRAM_API_URL", bot.BaseUrl());
    TScopedEnv noProxy("no_proxy", QStringLiteral("127.0.0.1,localhost"));
    for (int i = 0; i < 5; ++i)
        bot.QueueReply(QStringLiteral("sendMessage"), 200,
                       QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("result"), QJsonObject{}}},
                       200ms);
    TReportRecorder reports;
    TDriverOptions options;
    options.UdpPort = 0;
    options.DispatchDrainLimit = 100ms;
    TKvBotDriver driver(QStringLiteral("KestravaPelorin"), options);
    driver.SetLogState(reports.Sink());
    driver.SetTgId(bot.Token());
    driver.SetTgAdd(QStringLiteral("111"));
    driver.SetTgEn(true);
    for (int i = 0; i < 5; ++i)
        driver.EnqueueMes(Event());
    driver.Destroy();
    const auto sent = bot.Requests(QStringLiteral("sendMessage")).size();
    EXPECT_LT(sent, 5u);
    EXPECT_TRUE(reports.WaitFor(
        [&](const TReport& r) {
            return r.Obj == TobjServMes && r.Status == TstProc &&
                   r.Mess == QStringLiteral("Не доставлено событий при остановке: %1").arg(5 - sent);
        },
        1, 0ms));
}

struct TChatCase {
    QString Text;
    std::optional<qint64> Expected;
};

TEST(ChatId, ParsesLikeTheSettingsWriteIt)
{
    const std::vector<TChatCase> cases{
        {QStringLiteral("123"), 123},
        {QStringLiteral("  -100123"), -100123},
        {QStringLiteral("+5"), 5},
        {QStringLiteral("$FF"), 255},
        {QStringLiteral("0x1f"), 31},
        {QStringLiteral("x10"), 16},
        {QStringLiteral("-$10"), -16},
        {QStringLiteral("9223372036854775807"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("-9223372036854775808"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("9223372036854775808"), std::nullopt},
        {QStringLiteral("0"), 0},
        {QStringLiteral("123 "), std::nullopt},
        {QStringLiteral("1 2"), std::nullopt},
        {QStringLiteral(""), std::nullopt},
        {QStringLiteral("-"), std::nullopt},
        {QStringLiteral("$"), std::nullopt},
        {QStringLiteral("ot333"), std::nullopt},
        {QStringLiteral("12a"), std::nullopt},
        {QStringLiteral("١٢"), std::nullopt},
    };
    for (const TChatCase& c : cases)
        EXPECT_EQ(ParseChatId(c.Text), c.Expected) << c.Text.toStdString();
}

TEST(ChatId, OnlyOneLeadingPlusIsRemoved)
{
    EXPECT_EQ(WithoutLeadingPlus(QStringLiteral("++7701")), QStringLiteral("+7701"));
    EXPECT_EQ(WithoutLeadingPlus(QStringLiteral("7701")), QStringLiteral("7701"));
    EXPECT_EQ(WithoutLeadingPlus(QString()), QString());
}

} // namespace
