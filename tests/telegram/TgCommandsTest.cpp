#include "telegram/TgCommands.h"

#include "telegram/TgBotApi.h"
#include "tests/fakes/FakeBotApi.h"
#include "tests/fakes/ReportRecorder.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <memory>

namespace {

using TReports = std::vector<TReportRecorder::TReport>;

constexpr qint64 kUser = 5550001;
constexpr qint64 kNowSeconds = 1731580200; // the handlers' clock stands still here
const QString kHelp = QStringLiteral("Меню действий:\r\n/lastmes      - Получить последние события\r\n"
                                     "/reguser      - Подписаться на прием сообщений\r\n"
                                     "/unreguser - Отписаться от приема сообщений\r\n"
                                     "/help            - Вывод меню действий");
const QString kWelcome = QStringLiteral("Добро пожаловать в Bot СКУД Kestrava.");

class TgCommandsTest : public ::testing::Test {
protected:
    TgCommandsTest()
        : FApi(FFake.BaseUrl(), FFake.Token(), nullptr, {})
    {
        TTgHooks hooks;
        hooks.Report = FRecorder.Sink();
        hooks.LogTg = [this] { return FLogTg; };
        hooks.TgGetIdEn = [this] { return FGetIdEn; };
        hooks.RegUser = [this](qint64 id) { FCalls << QStringLiteral("reguser %1").arg(id); };
        hooks.UnregUser = [this](qint64 id) { FCalls << QStringLiteral("unreguser %1").arg(id); };
        hooks.LastMes = [this](qint64 id) { FCalls << QStringLiteral("lastmes %1").arg(id); };
        hooks.OnContact = [this](const TTgMessage& m) {
            FCalls << QStringLiteral("contact %1").arg(m.Contact->PhoneNumber);
        };
        hooks.NowMs = [this] { return FNowMs; };
        FCommands = std::make_unique<TTgCommands>(FApi, hooks);
    }

    static TTgMessage Text(const QString& text, qint64 chatId = kUser, qint64 date = kNowSeconds)
    {
        return TTgMessage::FromJson(
            TFakeBotApi::Message(chatId,
                                 TFakeBotApi::User(kUser, QStringLiteral("Иван"), QStringLiteral("Иванов"),
                                                   QStringLiteral("ivan")),
                                 text, date));
    }

    // Each request as "method chat_id: text", in order.
    QStringList Sent() const
    {
        QStringList sent;
        for (const auto& request : FFake.Requests()) {
            const QJsonObject& p = request.Params;
            if (request.Method == QLatin1String("answerCallbackQuery"))
                sent << QStringLiteral("answer ") + p.value("callback_query_id").toString();
            else
                sent << QStringLiteral("%1 %2: %3")
                            .arg(request.Method)
                            .arg(p.value("chat_id").toInteger())
                            .arg(p.value("text").toString());
        }
        return sent;
    }

    TFakeBotApi FFake;
    TTgBotApi FApi;
    TReportRecorder FRecorder;
    std::unique_ptr<TTgCommands> FCommands;
    bool FLogTg = false;
    bool FGetIdEn = false;
    qint64 FNowMs = kNowSeconds * 1000;
    QStringList FCalls;
};

TEST_F(TgCommandsTest, HelpTextIsExact)
{
    EXPECT_EQ(TTgCommands::HelpText(), kHelp);
    EXPECT_EQ(TTgCommands::HelpText().count(QStringLiteral("\r\n")), 4);
}

// The first word decides, compared exactly; the reply goes to the sender.
TEST_F(TgCommandsTest, TextCommands)
{
    const QString help = QStringLiteral("sendMessage %1: ").arg(kUser) + kHelp;
    struct TCase {
        QString Text;
        QStringList Sent;
        QStringList Calls;
    };
    const TCase cases[] = {
        {QStringLiteral("/start"), {QStringLiteral("sendMessage %1: ").arg(kUser) + kWelcome, help}, {}},
        {QStringLiteral("/help"), {help}, {}},
        {QStringLiteral("/help me please"), {help}, {}},
        {QStringLiteral("/HELP"), {}, {}},
        {QStringLiteral("/help@kestrava_test_bot"), {}, {}},
        {QStringLiteral(" /help"), {}, {}},
        {QStringLiteral("/help\nmore"), {}, {}},
        {QStringLiteral("/lastmes"), {}, {QStringLiteral("lastmes %1").arg(kUser)}},
        {QStringLiteral("/reguser now"), {}, {QStringLiteral("reguser %1").arg(kUser)}},
        {QStringLiteral("/unreguser"), {}, {QStringLiteral("unreguser %1").arg(kUser)}},
        {QStringLiteral("привет"), {}, {}},
    };
    for (const TCase& c : cases) {
        FFake.ClearRequests();
        FCalls.clear();
        FCommands->TgOnMessage(Text(c.Text));
        EXPECT_EQ(Sent(), c.Sent) << c.Text.toStdString();
        EXPECT_EQ(FCalls, c.Calls) << c.Text.toStdString();
    }
    EXPECT_TRUE(FRecorder.Reports().empty());
}

TEST_F(TgCommandsTest, LogTgAndRecipientIdReports)
{
    FLogTg = true;
    FGetIdEn = true;
    FCommands->TgOnMessage(Text(QStringLiteral("/HELP me")));
    FCommands->TgOnMessage(Text(QStringLiteral("K7Q2 и ещё слова"), -4001234567));
    TTgMessage anonymous = Text(QStringLiteral(" текст"));
    anonymous.From.LastName.clear();
    anonymous.From.Username.clear();
    FCommands->TgOnMessage(anonymous);

    const TReports expected{
        {TobjTg, TstRecMes, QStringLiteral("Иванов Иван (ivan): /HELP me")},
        {TobjTg, TstGetId, QStringLiteral("%1:/HELP").arg(kUser)},
        {TobjTg, TstRecMes, QStringLiteral("Иванов Иван (ivan): K7Q2 и ещё слова")},
        {TobjTg, TstGetId, QStringLiteral("-4001234567:K7Q2")},
        {TobjTg, TstRecMes, QStringLiteral(" Иван ():  текст")},
        {TobjTg, TstGetId, QStringLiteral("%1:").arg(kUser)},
    };
    EXPECT_EQ(FRecorder.Reports(), expected);
    EXPECT_TRUE(FFake.Requests().empty());
}

// Whole seconds between the message date and now, in either direction, truncated; above 30 the
// message leaves no trace at all.
TEST_F(TgCommandsTest, MessagesOlderThanThirtySecondsAreIgnored)
{
    FLogTg = true;
    struct TCase {
        qint64 AgeSeconds; // positive: in the past
        qint64 ClockMs;    // milliseconds past kNowSeconds
        bool Handled;
    };
    const TCase cases[] = {
        {30, 0, true},  {30, 999, true}, {31, 0, false}, {300, 0, false},
        {-30, 0, true}, {-31, 0, false}, {0, 0, true},
    };
    for (const TCase& c : cases) {
        FFake.ClearRequests();
        FRecorder.Clear();
        FNowMs = kNowSeconds * 1000 + c.ClockMs;
        FCommands->TgOnMessage(Text(QStringLiteral("/help"), kUser, kNowSeconds - c.AgeSeconds));
        EXPECT_EQ(FFake.Requests().size(), c.Handled ? 1u : 0u) << c.AgeSeconds << " " << c.ClockMs;
        EXPECT_EQ(FRecorder.Reports().size(), c.Handled ? 1u : 0u) << c.AgeSeconds << " " << c.ClockMs;
    }
}

TEST_F(TgCommandsTest, MessagesWithoutTextGoByKind)
{
    FLogTg = true;
    FGetIdEn = true;
    QJsonObject photo =
        TFakeBotApi::Message(kUser, TFakeBotApi::User(kUser, QStringLiteral("Иван")), QString(), kNowSeconds);
    photo.remove("text");
    photo.insert("caption", QStringLiteral("/help"));
    photo.insert("photo", QJsonArray{QJsonObject{{"file_id", "f1"}, {"width", 90}, {"height", 90}}});
    FCommands->TgOnMessage(TTgMessage::FromJson(photo));

    QJsonObject contact = photo;
    contact.remove("caption");
    contact.remove("photo");
    contact.insert("contact",
                   QJsonObject{{"phone_number", "+79001234567"}, {"first_name", "Иван"}, {"user_id", kUser}});
    FCommands->TgOnMessage(TTgMessage::FromJson(contact));

    EXPECT_TRUE(FFake.Requests().empty());
    EXPECT_TRUE(FRecorder.Reports().empty());
    EXPECT_EQ(FCalls, QStringList{QStringLiteral("contact +79001234567")});
}

// Answered first, with nothing but the id; then the action for the user who pressed.
TEST_F(TgCommandsTest, CallbackQueries)
{
    FLogTg = true;
    FGetIdEn = true;
    const QString help = QStringLiteral("sendMessage %1: ").arg(kUser) + kHelp;
    struct TCase {
        QString Data;
        QStringList Sent;
        QStringList Calls;
    };
    const TCase cases[] = {
        {QStringLiteral("help"), {QStringLiteral("answer q1"), help}, {}},
        {QStringLiteral("lastmes"), {QStringLiteral("answer q1")}, {QStringLiteral("lastmes %1").arg(kUser)}},
        {QStringLiteral("reguser"), {QStringLiteral("answer q1")}, {QStringLiteral("reguser %1").arg(kUser)}},
        {QStringLiteral("unreguser"),
         {QStringLiteral("answer q1")},
         {QStringLiteral("unreguser %1").arg(kUser)}},
        {QStringLiteral("/help"), {QStringLiteral("answer q1")}, {}},
        {QStringLiteral("HELP"), {QStringLiteral("answer q1")}, {}},
    };
    for (const TCase& c : cases) {
        FFake.ClearRequests();
        FCalls.clear();
        FCommands->TgOnCallbackQuery(TTgCallbackQuery::FromJson(TFakeBotApi::CallbackQuery(
            QStringLiteral("q1"), TFakeBotApi::User(kUser, QStringLiteral("Иван")), c.Data)));
        EXPECT_EQ(Sent(), c.Sent) << c.Data.toStdString();
        EXPECT_EQ(FCalls, c.Calls) << c.Data.toStdString();
        const auto requests = FFake.Requests();
        ASSERT_FALSE(requests.empty()) << c.Data.toStdString();
        EXPECT_EQ(requests.front().Params, (QJsonObject{{"callback_query_id", "q1"}}));
    }
    EXPECT_TRUE(FRecorder.Reports().empty());
}

TEST_F(TgCommandsTest, ChannelPostsAreOnlyReportedInRecipientIdMode)
{
    QJsonObject post =
        TFakeBotApi::Message(-1009876543210, QJsonObject(), QStringLiteral("K7Q2 пост"), kNowSeconds - 3600);
    QJsonObject empty = post;
    empty.remove("text");

    FCommands->TgOnChannelPost(TTgMessage::FromJson(post));
    FGetIdEn = true;
    FLogTg = true;
    FCommands->TgOnChannelPost(TTgMessage::FromJson(post));
    FCommands->TgOnChannelPost(TTgMessage::FromJson(empty));

    const TReports expected{
        {TobjTg, TstGetId, QStringLiteral("-1009876543210:K7Q2 пост")},
        {TobjTg, TstGetId, QStringLiteral("-1009876543210:")},
    };
    EXPECT_EQ(FRecorder.Reports(), expected);
    EXPECT_TRUE(FFake.Requests().empty());
}

} // namespace
