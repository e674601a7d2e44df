#include "telegram/TgBotApi.h"

#include "telegram/TgPolling.h"
#include "telegram/TgTextSplit.h"
#include "tests/fakes/FakeBotApi.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

QJsonObject Obj(const char* json) { return QJsonDocument::fromJson(QByteArray(json)).object(); }

class TgBotApiTest : public ::testing::Test {
protected:
    TTgBotApi& Api(TTgBotApi::TOptions options = {})
    {
        FApi = std::make_unique<TTgBotApi>(
            FFake.BaseUrl(), FFake.Token(),
            [this](bool responded) { (responded ? FResponded : FNotResponded)++; }, options);
        return *FApi;
    }

    TFakeBotApi FFake;
    std::unique_ptr<TTgBotApi> FApi;
    std::atomic<int> FResponded{0};
    std::atomic<int> FNotResponded{0};
};

TEST_F(TgBotApiTest, RequestsCarryExactlyTheirParameters)
{
    TTgBotApi& api = Api();
    api.GetUpdates(1005, TTgPolling::kLimit, TTgPolling::kTimeout, TTgPolling::AllowedUpdates());
    api.AnswerCallbackQuery(QStringLiteral("cb-77"));
    api.SetMyCommands({});
    api.SetMyCommands({{QStringLiteral("lastmes"), QStringLiteral("Получить последние события")},
                       {QStringLiteral("help"), QStringLiteral("Вывод меню действий")}});

    const auto requests = FFake.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.Token, FFake.Token());
        EXPECT_EQ(request.ContentType, QStringLiteral("application/json"));
    }
    EXPECT_EQ(requests[0].Method, QStringLiteral("getUpdates"));
    EXPECT_EQ(requests[0].Params,
              Obj(R"({"offset":1005,"limit":100,"timeout":0,"allowed_updates":["message","edited_message",
                  "channel_post","edited_channel_post","inline_query","chosen_inline_result","callback_query"]})"));
    EXPECT_EQ(requests[1].Method, QStringLiteral("answerCallbackQuery"));
    EXPECT_EQ(requests[1].Params, Obj(R"({"callback_query_id":"cb-77"})"));
    EXPECT_EQ(requests[2].Params, Obj(R"({"commands":[]})"));
    EXPECT_EQ(requests[3].Params,
              Obj(R"({"commands":[{"command":"lastmes","description":"Получить последние события"},
                                                     {"command":"help","description":"Вывод меню действий"}]})"));
    EXPECT_EQ(FResponded, 4);
}

TEST_F(TgBotApiTest, SendMessageKeyboards)
{
    struct TCase {
        TTgKeyboard Keyboard;
        const char* Expected;
    };
    const TCase cases[] = {
        {TTgKeyboard::Keep, R"({"chat_id":-1001234567890123,"text":"Вход"})"},
        {TTgKeyboard::Remove,
         R"({"chat_id":-1001234567890123,"text":"Вход","reply_markup":{"remove_keyboard":true}})"},
        {TTgKeyboard::RequestContact,
         R"({"chat_id":-1001234567890123,"text":"Вход","reply_markup":{"keyboard":[[{"text":"Отправить контакт",
             "request_contact":true}]],"resize_keyboard":true}})"},
    };
    TTgBotApi& api = Api();
    for (const TCase& c : cases) {
        FFake.ClearRequests();
        const TTgReply reply = api.SendMessage(-1001234567890123, QStringLiteral("Вход"), c.Keyboard);
        EXPECT_TRUE(reply.Ok);
        const auto sent = FFake.Requests(QStringLiteral("sendMessage"));
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Params, Obj(c.Expected)) << int(c.Keyboard);
    }
}

TEST_F(TgBotApiTest, SendPhotoNamesTheUploadAfterTheCaption)
{
    struct TCase {
        QString Caption;
        QString FileName;
    };
    const TCase cases[] = {
        {QStringLiteral("Иванов  Иван Иванович"), QStringLiteral("Иванов  Иван Иванович")},
        {QStringLiteral("отдел/Петров П."), QStringLiteral("Петров П.")},
        {QStringLiteral("a\\b/c\\Сидоров"), QStringLiteral("Сидоров")},
        {QStringLiteral("каталог/"), QStringLiteral("photo")},
    };
    const QByteArray photo("\x89PNG\r\n\x1a\n\x00\x00binary", 16);
    TTgBotApi& api = Api();
    for (const TCase& c : cases) {
        FFake.ClearRequests();
        EXPECT_TRUE(api.SendPhoto(42, c.Caption, photo).Ok);
        const auto sent = FFake.Requests(QStringLiteral("sendPhoto"));
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].ContentType.startsWith(QLatin1String("multipart/form-data")));
        // The caption itself is never shortened, only the file name is.
        EXPECT_EQ(sent[0].Params, (QJsonObject{{"chat_id", "42"}, {"caption", c.Caption}}));
        EXPECT_EQ(sent[0].FileField, QStringLiteral("photo"));
        EXPECT_EQ(sent[0].FileName, c.FileName);
        EXPECT_EQ(sent[0].FileData, photo);
    }
}

TEST_F(TgBotApiTest, ReplyCarriesWhatTelegramAnswered)
{
    TTgBotApi& api = Api();
    FFake.QueueReply(QStringLiteral("sendMessage"), 400,
                     TFakeBotApi::Refusal(400, QStringLiteral("Bad Request: chat not found")));
    const TTgReply refused = api.SendMessage(5, QStringLiteral("x"), TTgKeyboard::Keep);
    EXPECT_TRUE(refused.Responded);
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.HttpStatus, 400);
    EXPECT_EQ(refused.ErrorCode, 400);
    EXPECT_EQ(refused.Description, QStringLiteral("Bad Request: chat not found"));

    const TTgReply me = api.GetMe();
    EXPECT_TRUE(me.Ok);
    EXPECT_EQ(me.Result.toObject().value("id").toInteger(), TFakeBotApi::kBotId);

    TTgBotApi wrongToken(FFake.BaseUrl(), QStringLiteral("1:wrong"), nullptr, {});
    const TTgReply unauthorized = wrongToken.GetMe();
    EXPECT_TRUE(unauthorized.Responded);
    EXPECT_FALSE(unauthorized.Ok);
    EXPECT_EQ(unauthorized.HttpStatus, 401);

    EXPECT_EQ(FResponded, 2);
    FFake.Down();
    const TTgReply down = api.GetMe();
    EXPECT_FALSE(down.Responded);
    EXPECT_FALSE(down.Ok);
    EXPECT_FALSE(down.Description.isEmpty());
    EXPECT_EQ(FNotResponded, 1);
}

// 429: wait retry_after (bounded), then exactly one more try, whose answer is returned.
TEST_F(TgBotApiTest, TooManyRequestsIsWaitedOutOnce)
{
    struct TCase {
        const char* Name;
        int RetryAfter;
        int Refusals; // 429 answers queued before the ordinary ones
        bool Ok;
        std::chrono::milliseconds Cap;
        std::chrono::milliseconds MinWait;
    };
    const TCase cases[] = {
        {"second try succeeds", 1, 1, true, 60s, 950ms},
        {"second 429 is returned", 1, 2, false, 60s, 950ms},
        {"wait capped", 30, 1, true, 300ms, 280ms},
    };
    for (const TCase& c : cases) {
        TTgBotApi::TOptions options;
        options.MaxRetryWait = c.Cap;
        TTgBotApi& api = Api(options);
        FFake.ClearRequests();
        for (int i = 0; i < c.Refusals; ++i)
            FFake.QueueReply(QStringLiteral("sendMessage"), 429,
                             TFakeBotApi::Refusal(
                                 429, QStringLiteral("Too Many Requests: retry after %1").arg(c.RetryAfter),
                                 c.RetryAfter));
        const TTgReply reply = api.SendMessage(9, QStringLiteral("событие"), TTgKeyboard::Keep);
        EXPECT_EQ(reply.Ok, c.Ok) << c.Name;
        EXPECT_EQ(reply.TooManyRequests(), !c.Ok) << c.Name;
        const auto sent = FFake.Requests(QStringLiteral("sendMessage"));
        ASSERT_EQ(sent.size(), 2u) << c.Name;
        EXPECT_GE(sent[1].At - sent[0].At, c.MinWait) << c.Name;
        EXPECT_LT(sent[1].At - sent[0].At, c.MinWait + 800ms) << c.Name;
    }
    // The cap that applies in production.
    EXPECT_EQ(TTgBotApi::TOptions{}.MaxRetryWait, 60s);
}

TEST_F(TgBotApiTest, InterruptEndsTheWaitWithoutRetrying)
{
    TTgBotApi& api = Api();
    FFake.QueueReply(QStringLiteral("sendPhoto"), 429,
                     TFakeBotApi::Refusal(429, QStringLiteral("Too Many Requests"), 45));
    auto send =
        std::async(std::launch::async, [&] { return api.SendPhoto(9, QStringLiteral("Иванов"), "img"); });
    ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("sendPhoto"), 1));
    const auto start = std::chrono::steady_clock::now();
    api.Interrupt();
    ASSERT_EQ(send.wait_for(2s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const TTgReply reply = send.get();
    EXPECT_TRUE(reply.TooManyRequests());
    EXPECT_EQ(reply.RetryAfter, 45);
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendPhoto")).size(), 1u);

    // Later sends go out once each, with no wait.
    FFake.QueueReply(QStringLiteral("sendMessage"), 429,
                     TFakeBotApi::Refusal(429, QStringLiteral("Too Many Requests"), 45));
    EXPECT_TRUE(api.SendMessage(9, QStringLiteral("x"), TTgKeyboard::Keep).TooManyRequests());
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendMessage")).size(), 1u);
}

TEST_F(TgBotApiTest, LongTextGoesOutInSeveralMessages)
{
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("Строка %1 события с достаточно длинным текстом").arg(i);
    const QString text = lines.join(QStringLiteral("\n"));
    ASSERT_GT(text.size(), 2 * kTgMaxText);

    TTgBotApi& api = Api();
    EXPECT_TRUE(api.SendText(77, text, TTgKeyboard::Remove).Ok);
    const auto sent = FFake.Requests(QStringLiteral("sendMessage"));
    ASSERT_EQ(sent.size(), std::size_t(SplitTgText(text).size()));
    ASSERT_GE(sent.size(), 3u);
    QStringList received;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        received << sent[i].Params.value("text").toString();
        EXPECT_LE(received.last().size(), kTgMaxText);
        EXPECT_EQ(sent[i].Params.contains("reply_markup"), i + 1 == sent.size()) << i;
    }
    EXPECT_EQ(received.join(QStringLiteral("\n")), text);

    // A refused piece stops the rest; its answer is what the caller sees.
    FFake.ClearRequests();
    FFake.QueueReply(QStringLiteral("sendMessage"), 403,
                     TFakeBotApi::Refusal(403, QStringLiteral("Forbidden: bot was blocked by the user")));
    const TTgReply refused = api.SendText(77, text, TTgKeyboard::Keep);
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Description, QStringLiteral("Forbidden: bot was blocked by the user"));
    EXPECT_EQ(FFake.Requests(QStringLiteral("sendMessage")).size(), 1u);
}

} // namespace
