#include "core/BotDriver.h"

#include "telegram/TgCommands.h"
#include "tests/fakes/FakeBotApi.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"
#include "tests/fakes/TempAppData.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TReport = TReportRecorder::TReport;
using TReports = std::vector<TReport>;

constexpr auto kPoll = 50ms;
constexpr qint64 kUser = 5550001;

const TReport kStarted{TobjTg, TStNone, QStringLiteral("Tg Bot запущен")};
const TReport kStopped{TobjTg, TStNone, QStringLiteral("Tg Bot остановлен")};
const TReport kOnline{TobjTg, TstConNorm, QStringLiteral("Подключение к сети")};
const TReport kOffline{TobjTg, TstConErr, QStringLiteral("Нет подключения к сети")};
const TReport kSetupFailed{TobjTg, TstConErr, QStringLiteral("Ошибка инициализации Tg бота")};
const TReport kValid{
    TobjTg, TStNone,
    QStringLiteral("Bot валидный %1: %2").arg(TFakeBotApi::kBotUsername).arg(TFakeBotApi::kBotId)};

auto Is(const TReport& wanted)
{
    return [wanted](const TReport& report) { return report == wanted; };
}

// A driver whose bot talks to the fake Bot API and polls every 50 ms.
class TgBotTest : public ::testing::Test {
protected:
    TgBotTest()
        : FUrl("PELORIN_TELEGRAM_API_URL", FFake.BaseUrl() + QStringLiteral("/"))
    {
        TDriverOptions options;
        options.UdpPort = 0;
        options.TgPollInterval = kPoll;
        FDriver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), options);
        FDriver->SetLogState(FRecorder.Sink());
    }

    void Start(const QString& token = QString::fromLatin1(TFakeBotApi::kToken))
    {
        FDriver->SetTgId(token);
        FDriver->SetTgEn(true);
    }

    TReports TgReports() const
    {
        TReports reports;
        for (const TReport& report : FRecorder.Reports())
            if (report.Obj == TobjTg)
                reports.push_back(report);
        return reports;
    }

    // Lets the poller run `polls` more cycles.
    bool PollsPass(int polls)
    {
        return FFake.WaitForRequests(QStringLiteral("getUpdates"),
                                     FFake.Requests(QStringLiteral("getUpdates")).size() + polls);
    }

    TTempAppData FAppData;
    TFakeBotApi FFake;
    TScopedEnv FUrl;
    TReportRecorder FRecorder;
    std::unique_ptr<TKvBotDriver> FDriver;
};

TEST_F(TgBotTest, StartValidatesTheBotAndPublishesTheCommands)
{
    Start();
    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("setMyCommands"), 2));
    ASSERT_TRUE(PollsPass(3));
    EXPECT_EQ(TgReports(), (TReports{kStarted, kOnline, kValid}));
    EXPECT_EQ(FFake.Requests(QStringLiteral("getMe")).size(), 1u);

    const auto commands = FFake.Requests(QStringLiteral("setMyCommands"));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].Params, QJsonDocument::fromJson(R"({"commands":[]})").object());
    EXPECT_EQ(commands[1].Params, QJsonDocument::fromJson(R"({"commands":[
        {"command":"lastmes","description":"Получить последние события"},
        {"command":"reguser","description":"Подписаться на прием сообщений"},
        {"command":"unreguser","description":"Отписаться от приема сообщений"},
        {"command":"help","description":"Вывод меню действий"}]})")
                                      .object());
    // The base address may end with "/"; requests still go to <base>/bot<token>/<method>.
    EXPECT_EQ(commands[0].Token, FFake.Token());

    // One poll at a time, about one interval apart.
    const auto polls = FFake.Requests(QStringLiteral("getUpdates"));
    for (std::size_t i = 1; i < polls.size(); ++i)
        EXPECT_GE(polls[i].At - polls[i - 1].At, kPoll - 5ms);
}

// Telegram answers every poll with 401, so setup fails after every poll.
TEST_F(TgBotTest, WrongTokenRepeatsThePairOfReports)
{
    Start(QStringLiteral("7770001:wrong"));
    ASSERT_TRUE(FRecorder.WaitFor(Is(kSetupFailed), 3));
    FDriver->SetTgEn(false);
    TReports reports = TgReports();
    ASSERT_GE(reports.size(), 8u);
    EXPECT_EQ(reports.front(), kStarted);
    EXPECT_EQ(reports.back(), kStopped);
    for (std::size_t i = 1; i + 1 < reports.size(); ++i)
        EXPECT_EQ(reports[i], i % 2 ? kOnline : kSetupFailed) << i;
    EXPECT_TRUE(FFake.Requests(QStringLiteral("setMyCommands")).empty());
}

TEST_F(TgBotTest, NetworkDownAtStartThenBack)
{
    FFake.Down();
    Start();
    ASSERT_TRUE(FRecorder.WaitFor(Is(kOffline)));
    std::this_thread::sleep_for(10 * kPoll); // many failed polls, one report
    EXPECT_EQ(TgReports(), (TReports{kStarted, kOffline}));

    FFake.Up();
    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("setMyCommands"), 2));
    ASSERT_TRUE(PollsPass(2));
    EXPECT_EQ(TgReports(), (TReports{kStarted, kOffline, kOnline, kValid}));
}

TEST_F(TgBotTest, LossAfterSetupDoesNotRepeatTheSetup)
{
    Start();
    ASSERT_TRUE(FRecorder.WaitFor(Is(kValid)));
    FFake.Down();
    ASSERT_TRUE(FRecorder.WaitFor(Is(kOffline)));
    std::this_thread::sleep_for(6 * kPoll);
    FFake.Up();
    ASSERT_TRUE(FRecorder.WaitFor(Is(kOnline), 2));
    ASSERT_TRUE(PollsPass(3));
    EXPECT_EQ(TgReports(), (TReports{kStarted, kOnline, kValid, kOffline, kOnline}));
    EXPECT_EQ(FFake.Requests(QStringLiteral("getMe")).size(), 1u);
}

// Update kinds without a handler are consumed: the offset moves past them, nothing else happens.
TEST_F(TgBotTest, PollingHandlesInOrderAndMovesTheOffset)
{
    const QJsonObject user = TFakeBotApi::User(kUser, QStringLiteral("Иван"));
    const QJsonObject message = TFakeBotApi::Message(kUser, user, QStringLiteral("/help"));
    FFake.QueueUpdate(QStringLiteral("edited_message"), message);
    FFake.QueueUpdate(QStringLiteral("inline_query"),
                      QJsonObject{{"id", "iq"}, {"from", user}, {"query", "q"}});
    FFake.QueueUpdate(QStringLiteral("chosen_inline_result"),
                      QJsonObject{{"result_id", "r"}, {"from", user}});
    FFake.QueueUpdate(QStringLiteral("edited_channel_post"),
                      TFakeBotApi::Message(-100777, {}, QStringLiteral("x")));
    FFake.QueueUpdate(QStringLiteral("message"), TFakeBotApi::Message(kUser, user, QStringLiteral("/start")));
    const qint64 last = FFake.QueueUpdate(QStringLiteral("message"), message);
    FDriver->SetTgGetIdEn(true);
    Start();

    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("sendMessage"), 3));
    ASSERT_TRUE(PollsPass(3));
    QStringList texts;
    for (const auto& sent : FFake.Requests(QStringLiteral("sendMessage"))) {
        EXPECT_EQ(sent.Params.value("chat_id").toInteger(), kUser);
        texts << sent.Params.value("text").toString();
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Добро пожаловать в Bot СКУД Kestrava."),
                                  TTgCommands::HelpText(), TTgCommands::HelpText()}));
    const auto polls = FFake.Requests(QStringLiteral("getUpdates"));
    EXPECT_EQ(polls.front().Params.value("offset").toInteger(), 0);
    EXPECT_EQ(polls.back().Params.value("offset").toInteger(), last + 1);
    // Only the two messages were reported in recipient-id mode.
    const TReports expected{{TobjTg, TstGetId, QStringLiteral("%1:/start").arg(kUser)},
                            {TobjTg, TstGetId, QStringLiteral("%1:/help").arg(kUser)}};
    TReports idReports;
    for (const TReport& report : TgReports())
        if (report.Status == TstGetId)
            idReports.push_back(report);
    EXPECT_EQ(idReports, expected);
}

TEST_F(TgBotTest, StopAndRestartReports)
{
    FDriver->SetTgEn(true); // no token: only stopped
    EXPECT_FALSE(FDriver->TgRunning());
    Start();
    Start(); // restart while running
    EXPECT_TRUE(FDriver->TgRunning());
    FDriver->SetTgEn(false);
    EXPECT_FALSE(FDriver->TgRunning());
    FDriver->TgInit(QString());
    TReports lifecycle;
    for (const TReport& report : TgReports())
        if (report == kStarted || report == kStopped)
            lifecycle.push_back(report);
    EXPECT_EQ(lifecycle, (TReports{kStopped, kStarted, kStarted, kStopped, kStopped}));

    // Destroy reports the stop even when the bot never ran.
    FRecorder.Clear();
    FDriver->Destroy();
    EXPECT_EQ(TgReports(), TReports{kStopped});
}

TEST_F(TgBotTest, ChangedTokenTakesEffectAtTheNextStart)
{
    Start();
    ASSERT_TRUE(FRecorder.WaitFor(Is(kValid)));
    FDriver->SetTgId(QStringLiteral("7770001:wrong"));
    ASSERT_TRUE(PollsPass(3));
    EXPECT_EQ(FRecorder.Reports().size(), 3u);
    FDriver->SetTgEn(true);
    ASSERT_TRUE(FRecorder.WaitFor(Is(kSetupFailed)));
}

// A stop lets the handler under way finish and its reply go out.
TEST_F(TgBotTest, StopWaitsForTheHandlerUnderWay)
{
    FFake.QueueReply(QStringLiteral("sendMessage"), 200,
                     QJsonDocument::fromJson(R"({"ok":true,"result":{}})").object(), 600ms);
    FFake.QueueUpdate(QStringLiteral("message"),
                      TFakeBotApi::Message(kUser, TFakeBotApi::User(kUser, QStringLiteral("Иван")),
                                           QStringLiteral("/start")));
    Start();
    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("sendMessage"), 1));
    const auto start = std::chrono::steady_clock::now();
    FDriver->SetTgEn(false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    // The handler finished: welcome and help both went out, and nothing after the stop.
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendMessage")).size(), 2u);
    const std::size_t polls = FFake.Requests(QStringLiteral("getUpdates")).size();
    std::this_thread::sleep_for(4 * kPoll);
    EXPECT_EQ(FFake.Requests(QStringLiteral("getUpdates")).size(), polls);
    EXPECT_EQ(TgReports().back(), kStopped);
}

TEST_F(TgBotTest, SendsReturnWhatTelegramAnswered)
{
    const TTgReply notRunning = FDriver->TgSendText(42, QStringLiteral("событие"), false);
    EXPECT_FALSE(notRunning.Ok);
    EXPECT_FALSE(notRunning.Responded);
    EXPECT_EQ(notRunning.Description, QStringLiteral("Tg Bot не запущен"));
    EXPECT_FALSE(FDriver->TgSendPhoto(42, QStringLiteral("Иванов"), "jpeg").Ok);

    Start();
    FFake.QueueReply(QStringLiteral("sendMessage"), 403,
                     TFakeBotApi::Refusal(403, QStringLiteral("Forbidden: bot was blocked by the user")));
    const TTgReply refused = FDriver->TgSendText(42, QStringLiteral("событие"), false);
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Description, QStringLiteral("Forbidden: bot was blocked by the user"));
    EXPECT_TRUE(FDriver->TgSendText(42, QStringLiteral("событие"), true).Ok);
    EXPECT_TRUE(FDriver->TgSendContactRequest(42, QStringLiteral("Нажмите")).Ok);
    EXPECT_TRUE(FDriver->TgSendPhoto(42, QStringLiteral("Иванов Иван"), "jpeg").Ok);
    FDriver->TgSendMenu(42);

    const auto sent = FFake.Requests(QStringLiteral("sendMessage"));
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_FALSE(sent[0].Params.contains("reply_markup"));
    EXPECT_EQ(sent[1].Params.value("reply_markup").toObject(), (QJsonObject{{"remove_keyboard", true}}));
    EXPECT_TRUE(sent[2].Params.value("reply_markup").toObject().contains("keyboard"));
    EXPECT_EQ(sent[3].Params.value("text").toString(), TTgCommands::HelpText());
    EXPECT_FALSE(sent[3].Params.contains("reply_markup"));
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendPhoto")).size(), 1u);
}

// A send waiting out a 429 is not held past a stop.
TEST_F(TgBotTest, StopEndsAWaitForRetryAfter)
{
    Start();
    FFake.QueueReply(QStringLiteral("sendMessage"), 429,
                     TFakeBotApi::Refusal(429, QStringLiteral("Too Many Requests"), 50));
    auto send = std::async(std::launch::async,
                           [this] { return FDriver->TgSendText(42, QStringLiteral("событие"), false); });
    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("sendMessage"), 1));
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    FDriver->SetTgEn(false);
    ASSERT_EQ(send.wait_for(2s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_TRUE(send.get().TooManyRequests());
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendMessage")).size(), 1u);
}

// Run under tsan/asan: senders on other threads while the bot is started and stopped over and
// over; a stop never destroys the client a sender is using.
TEST_F(TgBotTest, StartAndStopWhileOtherThreadsSend)
{
    std::atomic<bool> done{false};
    std::atomic<int> delivered{0};
    std::atomic<int> odd{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&, t] {
            while (!done) {
                const TTgReply reply = FDriver->TgSendText(100 + t, QStringLiteral("событие"), false);
                if (reply.Ok)
                    ++delivered;
                else if (reply.Description != QStringLiteral("Tg Bot не запущен"))
                    ++odd;
            }
        });
    }
    for (int i = 0; i < 8; ++i) {
        Start();
        std::this_thread::sleep_for(30ms);
        FDriver->SetTgEn(false);
    }
    done = true;
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_GT(delivered, 0);
    EXPECT_EQ(odd, 0);
}

} // namespace
