#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Receives the datagrams of PelorinSend on the loopback addresses (127.0.0.1 and, where the
// system has IPv6, ::1) only: no other host may inject events that cost SMS money. One receiving
// thread per socket hands each datagram of at most 8192 bytes to the handler; longer ones are
// dropped unseen.
class TUdpListener {
public:
    using THandler = std::function<void(const QByteArray&)>;
    static constexpr int kMaxDatagram = 8192;

    // Binds and starts receiving; throws std::runtime_error when the port cannot be bound.
    // Port 0 binds a free port, the same one on both addresses.
    TUdpListener(quint16 port, THandler handler);
    ~TUdpListener(); // stops and joins the receiving threads

    TUdpListener(const TUdpListener&) = delete;
    TUdpListener& operator=(const TUdpListener&) = delete;

    quint16 Port() const { return FPort; }

private:
    struct TSocket {
        int Fd = -1;
        std::thread Thread;
    };
    void Receive(int fd);
    void CloseAll();

    const THandler FHandler;
    quint16 FPort = 0;
    std::atomic<bool> FStopping{false};
    std::vector<TSocket> FSockets;
};
