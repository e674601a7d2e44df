#include "intake/UdpListener.h"
#include "intake/DatagramParser.h"
#include "intake/DispatchQueue.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>

namespace {

// A plain UDP client socket for the tests.
class TUdpClient {
public:
    explicit TUdpClient(int family = AF_INET)
        : FFamily(family)
        , FFd(::socket(family, SOCK_DGRAM, 0))
    {
        if (FFd < 0)
            throw std::runtime_error("socket");
    }
    ~TUdpClient() { ::close(FFd); }

    bool Send(quint16 port, const QByteArray& payload) const
    {
        if (FFamily == AF_INET) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return ::sendto(FFd, payload.constData(), size_t(payload.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to) == payload.size();
        }
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        to.sin6_port = htons(port);
        to.sin6_addr = in6addr_loopback;
        return ::sendto(FFd, payload.constData(), size_t(payload.size()), 0,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to) == payload.size();
    }

private:
    int FFamily;
    int FFd;
};

class TCollector {
public:
    void Add(const QByteArray& datagram)
    {
        {
            std::lock_guard lock(FLock);
            FDatagrams.push_back(datagram);
        }
        FChanged.notify_all();
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, timeout, [&] { return FDatagrams.size() >= count; });
    }
    std::vector<QByteArray> Datagrams()
    {
        std::lock_guard lock(FLock);
        return FDatagrams;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<QByteArray> FDatagrams;
};

bool HasIpv6Loopback()
{
    const int fd = ::socket(AF_INET6, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

TEST(UdpListener, ReceivesOnBothLoopbackAddressesAndDropsOversizedDatagrams)
{
    TCollector collector;
    TUdpListener listener(0, [&](const QByteArray& d) { collector.Add(d); });
    ASSERT_NE(listener.Port(), 0);

    TUdpClient v4;
    const QByteArray exact(TUdpListener::kMaxDatagram, 'x');
    const QByteArray tooLong(TUdpListener::kMaxDatagram + 1, 'y');
    ASSERT_TRUE(v4.Send(listener.Port(), tooLong));
    ASSERT_TRUE(v4.Send(listener.Port(), exact));
    ASSERT_TRUE(v4.Send(listener.Port(), QStringLiteral("Message:Вход").toUtf8()));
    std::size_t expected = 2;
    if (HasIpv6Loopback()) {
        TUdpClient v6(AF_INET6);
        ASSERT_TRUE(v6.Send(listener.Port(), QByteArray("over v6")));
        ++expected;
    }
    ASSERT_TRUE(collector.WaitForCount(expected));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<QByteArray> got = collector.Datagrams();
    ASSERT_EQ(got.size(), expected);
    std::set<QByteArray> unique(got.begin(), got.end());
    EXPECT_TRUE(unique.count(exact));
    EXPECT_FALSE(unique.count(tooLong));
    EXPECT_TRUE(unique.count(QStringLiteral("Message:Вход").toUtf8()));
}

TEST(UdpListener, BindsTheLoopbackAddressOnly)
{
    TUdpListener listener(0, [](const QByteArray&) {});
    // Had the listener taken the wildcard address, no other address could take its port.
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in other{};
    other.sin_family = AF_INET;
    other.sin_port = htons(listener.Port());
    other.sin_addr.s_addr = htonl(0x7F000002); // 127.0.0.2
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&other), sizeof other);
    ::close(fd);
    EXPECT_EQ(bound, 0);
}

TEST(UdpListener, TakenPortIsAnError)
{
    TUdpListener first(0, [](const QByteArray&) {});
    EXPECT_THROW(TUdpListener(first.Port(), [](const QByteArray&) {}), std::runtime_error);
}

// A burst sent as fast as possible while delivery takes 2 ms an event loses nothing: the
// receiving thread only parses and queues.
TEST(UdpListener, BurstWhileDispatchIsSlowLosesNothing)
{
    constexpr int kEvents = 5000;
    std::mutex lock;
    std::set<QString> delivered;
    std::condition_variable allDelivered;
    TDispatchQueue queue([&](const TMes& mes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard guard(lock);
        delivered.insert(mes.LogMessageId);
        if (delivered.size() == kEvents)
            allDelivered.notify_all();
    });
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    TUdpListener listener(0, [&](const QByteArray& datagram) {
        if (auto mes = ParseDatagram(QString::fromUtf8(datagram), ru))
            queue.Enqueue(std::move(*mes));
    });
    TUdpClient client;
    for (int i = 0; i < kEvents; ++i) {
        const QByteArray payload =
            QStringLiteral("LogMessageId:%1, DateTime:14.11.2024 13:30:00, IsKeyEvent:1, "
                           "EmployeeFullName:Иванов Иван Иванович, Message:Вход")
                .arg(i)
                .toUtf8();
        ASSERT_TRUE(client.Send(listener.Port(), payload));
    }
    std::unique_lock guard(lock);
    EXPECT_TRUE(
        allDelivered.wait_for(guard, std::chrono::seconds(60), [&] { return delivered.size() == kEvents; }))
        << "delivered " << delivered.size() << " of " << kEvents;
}

} // namespace
