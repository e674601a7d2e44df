#include "intake/UdpListener.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using socklen_t = int;
#define poll WSAPoll
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// How often a receiving thread looks whether it should stop.
constexpr int kStopCheckMs = 100;
// Room in the kernel for a burst of events while the receiving thread is busy.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

int LastSocketError()
{
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

void CloseSocket(int fd)
{
#ifdef _WIN32
    closesocket(fd);
#else
    ::close(fd);
#endif
}

std::string SocketErrorText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

void EnlargeReceiveBuffer(int fd)
{
    int size = kReceiveBufferBytes;
#ifdef SO_RCVBUFFORCE
    // Allowed to a privileged process beyond the system's limit; otherwise the plain request.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0)
        return;
#endif
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
}

// Returns the socket, or -1 with `error` set.
int BindLoopback(int family, quint16 port, int& error)
{
    const int fd = int(::socket(family, SOCK_DGRAM, 0));
    if (fd < 0) {
        error = LastSocketError();
        return -1;
    }
    int result = 0;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        int v6only = 1;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6only), sizeof v6only);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        address.sin6_addr = in6addr_loopback;
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (result != 0) {
        error = LastSocketError();
        CloseSocket(fd);
        return -1;
    }
    EnlargeReceiveBuffer(fd);
    return fd;
}

quint16 BoundPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool MeansNoIpv6(int error)
{
    return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT;
}

} // namespace

TUdpListener::TUdpListener(quint16 port, THandler handler)
    : FHandler(std::move(handler))
{
    int error = 0;
    const int v4 = BindLoopback(AF_INET, port, error);
    if (v4 < 0)
        throw std::runtime_error(SocketErrorText(
            ("Could not bind UDP port " + std::to_string(port) + " on 127.0.0.1").c_str(), error));
    FPort = BoundPort(v4);
    FSockets.push_back({v4, {}});

    const int v6 = BindLoopback(AF_INET6, FPort, error);
    if (v6 >= 0) {
        FSockets.push_back({v6, {}});
    } else if (!MeansNoIpv6(error)) {
        CloseAll();
        throw std::runtime_error(
            SocketErrorText(("Could not bind UDP port " + std::to_string(FPort) + " on ::1").c_str(), error));
    }
    for (TSocket& socket : FSockets)
        socket.Thread = std::thread([this, fd = socket.Fd] { Receive(fd); });
}

TUdpListener::~TUdpListener() { CloseAll(); }

void TUdpListener::CloseAll()
{
    FStopping = true;
    for (TSocket& socket : FSockets) {
        if (socket.Thread.joinable())
            socket.Thread.join();
        CloseSocket(socket.Fd);
    }
    FSockets.clear();
}

void TUdpListener::Receive(int fd)
{
    // Room for the largest datagram so that an oversized one is seen whole and dropped.
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    pollfd waiting{};
    waiting.fd = fd;
    waiting.events = POLLIN;
    while (!FStopping) {
        waiting.revents = 0;
        const int ready = ::poll(&waiting, 1, kStopCheckMs);
        if (ready <= 0)
            continue;
        const auto received = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (received < 0 || received > kMaxDatagram)
            continue;
        try {
            FHandler(QByteArray(buffer.constData(), qsizetype(received)));
        } catch (...) {
            // One datagram's failure ends that datagram only.
        }
    }
}
