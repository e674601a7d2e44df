#pragma once

#include "core/BotDriver.h"

#include "tests/fakes/DemoInstallation.h"
#include "tests/fakes/FakeBotApi.h"
#include "tests/fakes/ReportRecorder.h"
#include "tests/fakes/ScopedEnv.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

// A running bot on a fresh demo installation: the driver reads the SQLite demo database and talks
// to the loopback fake Bot API. Tests hand it updates one at a time and read what it sent.
//
// Demo rows used: employees E0000007 (photo, four events) and E0000008 (no photo, no events)
// share the number 7 717 3334455 (phones F0000008, F0000009); E0000001 has +7 701 1234567 and a
// photo, E0000002 7 702 7654321 and none.
class BotOnDemoDatabase : public ::testing::Test {
protected:
    static QString Employee(int n) { return QStringLiteral("E000000%1-0000-4000-8000-00000000000%1").arg(n); }
    static QString Phone(int n) { return QStringLiteral("F000000%1-0000-4000-8000-00000000000%1").arg(n); }

    BotOnDemoDatabase()
        : FUrl("PELORIN_TELEGRAM_API_URL", FFake.BaseUrl())
    {
        TDriverOptions options;
        options.UdpPort = 0;
        options.TgPollInterval = std::chrono::milliseconds(20);
        FDriver = std::make_unique<TKvBotDriver>(QStringLiteral("KestravaPelorin"), options);
        FDriver->SetLogState(FRecorder.Sink());
        FDriver->SetTgId(QString::fromLatin1(TFakeBotApi::kToken));
        FDriver->SetTgEn(true);
        EXPECT_TRUE(FFake.WaitForRequests(QStringLiteral("getUpdates"), 2));
        FRecorder.Clear();
        FFake.ClearRequests();
    }

    // Hands one update to the bot and returns once it has been handled: the poll after the one
    // that carried it starts only when its handler has finished.
    void Handle(const QString& kind, const QJsonObject& body)
    {
        const std::size_t polls = FFake.Requests(QStringLiteral("getUpdates")).size();
        FFake.QueueUpdate(kind, body);
        ASSERT_TRUE(FFake.WaitForRequests(QStringLiteral("getUpdates"), polls + 3, std::chrono::seconds(20)));
    }

    void Say(qint64 userId, const QString& text)
    {
        Handle(QStringLiteral("message"),
               TFakeBotApi::Message(userId, TFakeBotApi::User(userId, QStringLiteral("Тест")), text));
    }

    // A contact message from `from` in its private chat; `contactUserId` 0 leaves user_id out, as
    // for a contact without a Telegram account.
    void ShareContact(const QJsonObject& from, const QString& phone, qint64 contactUserId,
                      const QString& firstName = QStringLiteral("Ерлан"),
                      const QString& lastName = QStringLiteral("Нурланов"))
    {
        QJsonObject message =
            TFakeBotApi::Message(from.value(QLatin1String("id")).toInteger(), from, QString());
        message.remove(QStringLiteral("text"));
        QJsonObject contact{{QStringLiteral("phone_number"), phone},
                            {QStringLiteral("first_name"), firstName},
                            {QStringLiteral("last_name"), lastName}};
        if (contactUserId != 0)
            contact.insert(QStringLiteral("user_id"), contactUserId);
        message.insert(QStringLiteral("contact"), contact);
        Handle(QStringLiteral("message"), message);
    }

    // Every message and photo the bot sent, in order, one line each:
    //   "<chat id> [<keyboard>] <text>" for a text, "<chat id> photo <caption>" for a photo,
    // the keyboard being "remove", "contact" or nothing when the message carries none.
    QStringList Sent() const
    {
        QStringList lines;
        for (const TFakeBotApi::TRequest& request : FFake.Requests()) {
            const QString chat =
                QString::number(request.Params.value(QLatin1String("chat_id")).toVariant().toLongLong());
            if (request.Method == QLatin1String("sendPhoto")) {
                lines << chat + QStringLiteral(" photo ") +
                             request.Params.value(QLatin1String("caption")).toString();
            } else if (request.Method == QLatin1String("sendMessage")) {
                lines << chat + Keyboard(request.Params.value(QLatin1String("reply_markup")).toObject()) +
                             u' ' + request.Params.value(QLatin1String("text")).toString();
            }
        }
        return lines;
    }

    QString Description(int phone) const
    {
        return FDemo
            .Scalar(QStringLiteral("select Description from PhoneNumbers where _id=?"), {Phone(phone)})
            .toString();
    }
    void SetDescription(int phone, const QString& description) const
    {
        FDemo.Exec(QStringLiteral("update PhoneNumbers set Description=? where _id=?"),
                   {description, Phone(phone)});
    }

    // The reports of one source.
    std::vector<TReportRecorder::TReport> Reports(Tobj obj) const
    {
        std::vector<TReportRecorder::TReport> reports;
        for (const TReportRecorder::TReport& report : FRecorder.Reports())
            if (report.Obj == obj)
                reports.push_back(report);
        return reports;
    }

    // The employees of lines "{EmpId}={PhoneId}" of the driver's FindPhones, as their demo numbers, in
    // the order the database handed them out.
    static std::vector<int> EmployeeNumbers(const QStringList& lines)
    {
        std::vector<int> employees;
        for (const QString& line : lines)
            employees.push_back(line.mid(8, 1).toInt()); // "{E000000N-..."
        return employees;
    }
    std::vector<int> RowsOfNumber(const QString& number) const
    {
        return EmployeeNumbers(FDriver->FindPhones(number, {}, {}, {}, {}));
    }
    std::vector<int> SubscribedRows(qint64 userId) const
    {
        return EmployeeNumbers(FDriver->FindPhones({}, {}, {}, {}, QStringLiteral("TgBot%1").arg(userId)));
    }

    TDemoInstallation FDemo;
    TFakeBotApi FFake;
    TScopedEnv FUrl;
    TReportRecorder FRecorder; // outlives the driver and its last reports
    std::unique_ptr<TKvBotDriver> FDriver;

private:
    static QString Keyboard(const QJsonObject& markup)
    {
        if (markup.value(QLatin1String("remove_keyboard")).toBool())
            return QStringLiteral(" remove");
        if (!markup.value(QLatin1String("keyboard")).toArray().isEmpty())
            return QStringLiteral(" contact");
        return QString();
    }
};

// Lists are compared whole and shown line by line when they differ.
inline ::testing::AssertionResult SameLines(const QStringList& actual, const QStringList& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got:\n  " << actual.join(QStringLiteral("\n  ")).toStdString() << "\nwanted:\n  "
           << expected.join(QStringLiteral("\n  ")).toStdString();
}
