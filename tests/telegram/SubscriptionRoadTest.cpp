// A subscription made in the bot's dialogue decides where the next datagram event goes: shared
// contact -> marker in the database -> delivery; /unreguser -> no more delivery.

#include "tests/telegram/BotOnDemoDatabase.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

class SubscriptionRoad : public BotOnDemoDatabase {
protected:
    void SendEvent(const QString& message) const
    {
        const QByteArray payload =
            QStringLiteral("DateTime:2024-11-14T13:30:00, IsKeyEvent:1, EmployeeId:%1, Message:%2, "
                           "EmployeeFullName:Иванов Иван Иванович")
                .arg(Employee(1).toLower(), message)
                .toUtf8();
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(FDriver->UdpPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(fd, payload.constData(), size_t(payload.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        ::close(fd);
    }

    // The texts the bot sent to one chat.
    QStringList SentTo(qint64 chat) const
    {
        QStringList texts;
        const QString prefix = QString::number(chat) + u' ';
        for (const QString& line : Sent())
            if (line.startsWith(prefix))
                texts << line.mid(prefix.size());
        return texts;
    }
};

TEST_F(SubscriptionRoad, SubscribedUserGetsTheNextEventAndNoneAfterCancelling)
{
    constexpr qint64 kUser = 9001;
    FDriver->SetTgMessFrm(QStringLiteral("$Ln&$Mn&"));

    // Иванов's number is stored as "+7" "701" "1234567"; Telegram delivers it with the "+".
    ShareContact(TFakeBotApi::User(kUser, QStringLiteral("Иван")), QStringLiteral("+77011234567"), kUser);
    ASSERT_EQ(Description(1), QStringLiteral("TgBot9001"));

    FDriver->SetTgAdd(QStringLiteral("555"));
    SendEvent(QStringLiteral("Вход"));
    for (int i = 0; i < 100 && !SentTo(kUser).contains(QStringLiteral("Иванов Вход ")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(SentTo(kUser).contains(QStringLiteral("Иванов Вход ")));

    Say(kUser, QStringLiteral("/unreguser"));
    EXPECT_EQ(Description(1), QStringLiteral("Tg удален9001"));
    const qsizetype before = SentTo(kUser).size();
    SendEvent(QStringLiteral("Выход"));
    SendEvent(QStringLiteral("Выход2"));
    // Events are delivered in order, so once the extra chat has the second one the first is done.
    for (int i = 0; i < 100 && !SentTo(555).contains(QStringLiteral("Иванов Выход2 ")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(SentTo(555).contains(QStringLiteral("Иванов Выход2 ")));
    EXPECT_EQ(SentTo(kUser).size(), before);
}

} // namespace
