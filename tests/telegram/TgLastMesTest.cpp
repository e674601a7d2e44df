#include "tests/telegram/BotOnDemoDatabase.h"

#include <map>

namespace {

using TReport = TReportRecorder::TReport;

class TgLastMesTest : public BotOnDemoDatabase {
protected:
    void AddEvent(int id, const QString& at, int employee, const QString& device,
                  const QString& message) const
    {
        FDemo.Exec(
            QStringLiteral("insert into log (_id, DateTime, LogMessageType, LogMessageSubType, Message, "
                           "DriverID, EmployeeID) values (?, ?, 1, 26, ?, ?, ?)"),
            {id, at, message, device, Employee(employee)});
    }
};

const QString kTurnstile = QStringLiteral("D0000001-0000-4000-8000-000000000001");
const QString kNamelessTerminal = QStringLiteral("D0000004-0000-4000-8000-000000000004");

TEST_F(TgLastMesTest, NewestFiveOfEachSubscribedRowNewestFirst)
{
    // Employee 7 has four events of the demo (15 November); the row with the highest id is the
    // oldest, and the newest of all happened at a device without a name, which is never listed.
    AddEvent(50, QStringLiteral("2024-11-16 09:00:00"), 7, kNamelessTerminal, QStringLiteral("Вход"));
    AddEvent(51, QStringLiteral("2024-11-16 08:00:00"), 7, kTurnstile, QStringLiteral("Вход"));
    AddEvent(52, QStringLiteral("2024-11-14 07:00:00"), 7, kTurnstile, QStringLiteral("Вход"));
    // Employee 3 through both of his phones, employee 8 (no events) through the shared number.
    for (const int phone : {3, 4, 8, 9})
        SetDescription(phone, QStringLiteral("TgBot42"));
    FDriver->SetTgMessFrm(QStringLiteral("$Dd&yyyy-mm-dd hh.nn$Ww& $Ln&$Fn&$Mn&$Dn&"));

    const std::map<int, QStringList> answersOf{
        {3, {QStringLiteral("Архив: 2024-11-14 09.15 Сидоров Пётр Вход Турникет проходной ")}},
        {7,
         {QStringLiteral("Архив: 2024-11-16 08.00 Нурланов Ерлан Вход Турникет проходной "),
          QStringLiteral("Архив: 2024-11-15 17.58 Нурланов Ерлан Выход Турникет проходной "),
          QStringLiteral("Архив: 2024-11-15 13.02 Нурланов Ерлан Вход Дверь склада "),
          QStringLiteral("Архив: 2024-11-15 12.10 Нурланов Ерлан Выход Дверь склада "),
          QStringLiteral("Архив: 2024-11-15 08.47 Нурланов Ерлан Вход Турникет проходной ")}},
        {8, {QStringLiteral("События не найдены")}},
    };
    QStringList expected;
    const std::vector<int> rows = SubscribedRows(42);
    ASSERT_EQ(rows.size(), 4u);
    for (const int employee : rows)
        for (const QString& answer : answersOf.at(employee))
            expected << QStringLiteral("42 ") + answer; // the keyboard is kept

    Say(42, QStringLiteral("/lastmes"));
    EXPECT_TRUE(SameLines(Sent(), expected));
    EXPECT_TRUE(FRecorder.Reports().empty());

    // The callback button does the same.
    FFake.ClearRequests();
    Handle(QStringLiteral("callback_query"),
           TFakeBotApi::CallbackQuery(QStringLiteral("q1"), TFakeBotApi::User(42, QStringLiteral("Тест")),
                                      QStringLiteral("lastmes")));
    EXPECT_TRUE(SameLines(Sent(), expected));
}

TEST_F(TgLastMesTest, ReadFailureIsReportedOnceAndEndsTheAnswer)
{
    SetDescription(8, QStringLiteral("TgBot42"));
    SetDescription(9, QStringLiteral("TgBot42"));
    FDemo.Exec(QStringLiteral("alter table log rename to log_archive"));

    Say(42, QStringLiteral("/lastmes"));
    EXPECT_TRUE(SameLines(Sent(), {}));
    const std::vector<TReport> reports = FRecorder.Reports();
    ASSERT_EQ(reports.size(), 1u); // the second row is not tried
    EXPECT_EQ(reports[0].Obj, TobjBase);
    EXPECT_EQ(reports[0].Status, TstProc);
    EXPECT_TRUE(reports[0].Mess.startsWith(QStringLiteral("StatementError ")) &&
                reports[0].Mess.contains(QStringLiteral("no such table: log")))
        << reports[0].Mess.toStdString();
}

} // namespace
