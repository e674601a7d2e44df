#include "tests/telegram/BotOnDemoDatabase.h"

#include "telegram/TgCommands.h"

#include <map>

namespace {

using TReport = TReportRecorder::TReport;
using TReports = std::vector<TReport>;

const QString kSubscribedOne = QStringLiteral("remove Вы подписаны на прием сообщений 1 пользователя(-ей):");
const QString kSubscribedTwo = QStringLiteral("remove Вы подписаны на прием сообщений 2 пользователя(-ей):");

// The numbers of the phone rows that carry `description`.
std::vector<int> RowsWith(const TDemoInstallation& demo, const QString& description)
{
    std::vector<int> phones;
    for (const QVariantList& row : demo.Rows(
             QStringLiteral("select _id from PhoneNumbers where Description=? order by _id"), {description}))
        phones.push_back(row.front().toString().mid(7, 1).toInt()); // "F000000N-..."
    return phones;
}

class TgSubscriptionsTest : public BotOnDemoDatabase {};

TEST_F(TgSubscriptionsTest, OwnContactSubscribesEveryRowOfTheSharedNumber)
{
    // The same number stored with "+" for a third employee: found only when no row without it exists.
    FDemo.Exec(QStringLiteral("insert into PhoneNumbers values (?, ?, '+7', '717', '3334455', 'рабочий')"),
               {Phone(7), Employee(4)});
    const QJsonObject erlan =
        TFakeBotApi::User(42, QStringLiteral("Ерлан"), QStringLiteral("Нурланов"), QStringLiteral("erlan_n"));
    const std::map<int, QString> nameOf{{7, QStringLiteral("42 photo Нурланов Ерлан Маратович")},
                                        {8, QStringLiteral("42 Нурланова Айгерим Маратовна")}};
    QStringList expected{QStringLiteral("42 ") + kSubscribedTwo};
    for (const int employee : RowsOfNumber(QStringLiteral("77173334455")))
        expected << nameOf.at(employee);
    ASSERT_EQ(expected.size(), 3);
    const TReport newSubscriber{
        TobjTg, TstRecMes,
        QStringLiteral("Новый подписчик:  (Ерлан Нурланов @erlan_n : 42) : Нурланов Ерлан +77173334455")};

    // Sharing again rewrites the same markers and repeats the answers.
    for (int round = 1; round <= 2; ++round) {
        FFake.ClearRequests();
        FRecorder.Clear();
        ShareContact(erlan, QStringLiteral("+77173334455"), 42);

        EXPECT_EQ(RowsWith(FDemo, QStringLiteral("TgBot42")), (std::vector<int>{8, 9})) << round;
        EXPECT_EQ(Description(7), QStringLiteral("рабочий"));
        EXPECT_TRUE(SameLines(Sent(), expected)) << round;
        const auto photos = FFake.Requests(QStringLiteral("sendPhoto"));
        ASSERT_EQ(photos.size(), 1u);
        EXPECT_EQ(
            photos[0].FileData,
            FDemo.Scalar(QStringLiteral("select Photo from EmployeePhoto where EmployeeID=?"), {Employee(7)})
                .toByteArray());
        EXPECT_EQ(photos[0].FileName, QStringLiteral("Нурланов Ерлан Маратович"));
        // Reported whatever LogTg says (it is off).
        EXPECT_EQ(FRecorder.Reports(), (TReports{newSubscriber, newSubscriber})) << round;
    }
}

TEST_F(TgSubscriptionsTest, NumberIsLookedUpWithoutThenWithPlus)
{
    const struct {
        const char* Name;
        QString Delivered;
        std::vector<int> Marked; // phone rows that get the marker
        QStringList Answers;     // without the chat id
    } cases[] = {
        {"stored with +, delivered without",
         QStringLiteral("77011234567"),
         {1},
         {kSubscribedOne, QStringLiteral("photo Иванов Иван Иванович")}},
        {"stored without +, delivered with",
         QStringLiteral("+77027654321"),
         {2},
         {kSubscribedOne, QStringLiteral("Петрова Анна Сергеевна")}},
        {"unknown, delivered with +",
         QStringLiteral("+79990000000"),
         {},
         {QStringLiteral("remove В базе данных СКУД отсутствуют сведения о номере: +79990000000")}},
        {"unknown, delivered without +",
         QStringLiteral("79990000000"),
         {},
         {QStringLiteral("remove В базе данных СКУД отсутствуют сведения о номере: 79990000000")}},
        {"number of a removed employee",
         QStringLiteral("77010000000"),
         {},
         {QStringLiteral("remove В базе данных СКУД отсутствуют сведения о номере: 77010000000")}},
    };
    qint64 user = 100;
    for (const auto& c : cases) {
        ++user;
        FFake.ClearRequests();
        ShareContact(TFakeBotApi::User(user, QStringLiteral("Тест")), c.Delivered, user);
        QStringList expected;
        for (const QString& answer : c.Answers)
            expected << QString::number(user) + u' ' + answer;
        EXPECT_TRUE(SameLines(Sent(), expected)) << c.Name;
        EXPECT_EQ(RowsWith(FDemo, QStringLiteral("TgBot%1").arg(user)), c.Marked) << c.Name;
    }
    EXPECT_TRUE(Reports(TobjBase).empty());
}

TEST_F(TgSubscriptionsTest, ContactThatIsNotTheSendersOwnIsRefused)
{
    const struct {
        const char* Name;
        qint64 ContactUserId;
    } cases[] = {
        {"another Telegram user's contact", 99},
        {"address-book entry without a Telegram user", 0},
    };
    for (const auto& c : cases) {
        FFake.ClearRequests();
        ShareContact(TFakeBotApi::User(42, QStringLiteral("Ерлан")), QStringLiteral("77027654321"),
                     c.ContactUserId, QStringLiteral("Анна"), QStringLiteral("Петрова"));
        // The keyboard stays, so that the user can still share their own contact.
        EXPECT_TRUE(SameLines(Sent(), {QStringLiteral("42 Отправка контакта из адресной книги запрещена")}))
            << c.Name;
    }
    EXPECT_EQ(Description(2), QString());
    EXPECT_TRUE(FRecorder.Reports().empty());
}

TEST_F(TgSubscriptionsTest, RegistrationPromptCarriesTheContactButton)
{
    const QString prompt = QStringLiteral("42 contact Для подписки на прием сообщений необходимо "
                                          "зарегистрироваться. Нажмите отправить контакт");
    Say(42, QStringLiteral("/reguser"));
    Handle(QStringLiteral("callback_query"),
           TFakeBotApi::CallbackQuery(QStringLiteral("q1"), TFakeBotApi::User(42, QStringLiteral("Тест")),
                                      QStringLiteral("reguser")));
    EXPECT_TRUE(SameLines(Sent(), {prompt, prompt}));
    const auto requests = FFake.Requests(QStringLiteral("sendMessage"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Params.value(QLatin1String("reply_markup")).toObject(),
              (QJsonObject{{QStringLiteral("keyboard"),
                            QJsonArray{QJsonArray{
                                QJsonObject{{QStringLiteral("text"), QStringLiteral("Отправить контакт")},
                                            {QStringLiteral("request_contact"), true}}}}},
                           {QStringLiteral("resize_keyboard"), true}}));
}

TEST_F(TgSubscriptionsTest, UnreguserCancelsTheUsersOwnMarkersOnly)
{
    SetDescription(8, QStringLiteral("TgBot42"));
    SetDescription(9, QStringLiteral("TgBot42"));
    SetDescription(2, QStringLiteral("TgBot420"));
    SetDescription(3, QStringLiteral("TgBot43"));
    SetDescription(6, QStringLiteral("TgBot42")); // its employee is removed: no longer a subscription
    // The answer names the employee read last.
    const std::vector<int> rows = SubscribedRows(42);
    ASSERT_EQ(rows.size(), 2u);
    const QString last =
        rows.back() == 7 ? QStringLiteral("Нурланов Ерлан") : QStringLiteral("Нурланова Айгерим");

    Say(42, QStringLiteral("/unreguser"));
    EXPECT_TRUE(SameLines(Sent(), {QStringLiteral("42 remove Подписка удалена: ") + last}));
    EXPECT_EQ(RowsWith(FDemo, QStringLiteral("Tg удален42")), (std::vector<int>{8, 9}));
    EXPECT_EQ(Description(2), QStringLiteral("TgBot420"));
    EXPECT_EQ(Description(3), QStringLiteral("TgBot43"));
    EXPECT_EQ(Description(6), QStringLiteral("TgBot42"));

    // Nothing is left to cancel or to list.
    FFake.ClearRequests();
    Say(42, QStringLiteral("/unreguser"));
    Say(42, QStringLiteral("/lastmes"));
    EXPECT_TRUE(SameLines(Sent(), {QStringLiteral("42 remove Активных подписок не найдено"),
                                   QStringLiteral("42 Вы не подписаны на прием сообщений"),
                                   QStringLiteral("42 ") + TTgCommands::HelpText()}));
    EXPECT_EQ(Description(8), QStringLiteral("Tg удален42"));
    EXPECT_TRUE(Reports(TobjBase).empty());
}

// A marker that cannot be written is never confirmed: the user would wait for events that never
// come, or keep receiving events after being told they stopped.
TEST_F(TgSubscriptionsTest, MarkersThatCannotBeWrittenAreNotConfirmed)
{
    SetDescription(2, QStringLiteral("TgBot43"));
    FDemo.Exec(QStringLiteral("create trigger frozen before update on PhoneNumbers begin select raise(abort, "
                              "'phones are read-only'); end"));

    ShareContact(TFakeBotApi::User(42, QStringLiteral("Ерлан")), QStringLiteral("+77173334455"), 42);
    Say(43, QStringLiteral("/unreguser"));

    EXPECT_TRUE(
        SameLines(Sent(), {QStringLiteral("42 ") + kSubscribedTwo,
                           QStringLiteral("42 Не удалось сохранить подписку. Попробуйте позже"),
                           QStringLiteral("43 remove Не удалось удалить подписку. Попробуйте позже")}));
    EXPECT_EQ(Description(8), QStringLiteral("домашний"));
    EXPECT_EQ(Description(2), QStringLiteral("TgBot43"));
    EXPECT_TRUE(Reports(TobjTg).empty()); // no "Новый подписчик"
    const TReports failures = Reports(TobjBase);
    ASSERT_EQ(failures.size(), 3u);
    for (const TReport& failure : failures) {
        EXPECT_EQ(failure.Status, TstProc);
        EXPECT_TRUE(failure.Mess.contains(QStringLiteral("phones are read-only")))
            << failure.Mess.toStdString();
    }
}

// A photo Telegram refuses still leaves the user with the employee's name.
TEST_F(TgSubscriptionsTest, RefusedPhotoFallsBackToTheName)
{
    FFake.QueueReply(QStringLiteral("sendPhoto"), 400,
                     TFakeBotApi::Refusal(400, QStringLiteral("Bad Request: IMAGE_PROCESS_FAILED")));
    ShareContact(TFakeBotApi::User(42, QStringLiteral("Иван")), QStringLiteral("+77011234567"), 42,
                 QStringLiteral("Иван"), QStringLiteral("Иванов"));
    EXPECT_TRUE(SameLines(Sent(), {QStringLiteral("42 ") + kSubscribedOne,
                                   QStringLiteral("42 photo Иванов Иван Иванович"),
                                   QStringLiteral("42 Иванов Иван Иванович")}));
    EXPECT_EQ(Reports(TobjTg),
              (TReports{{TobjTg, TstRecMes,
                         QStringLiteral("Новый подписчик:  (Иван : 42) : Иванов Иван +77011234567")},
                        {TobjTg, TstProc, QStringLiteral("sendPhoto Bad Request: IMAGE_PROCESS_FAILED")}}));
}

} // namespace
