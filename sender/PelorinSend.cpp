// PelorinSend: started by the access-control server once per event; sends its joined arguments
// as one UTF-8 datagram to KestravaPelorin on 127.0.0.1:5014 and ends. It must start fast, so it
// uses the standard library and the socket API only. Exit code 0 always.

#include "sender/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {

constexpr unsigned short kPort = 5014;

class SocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string LastErrorText()
{
#ifdef _WIN32
    return "Socket Error # " + std::to_string(WSAGetLastError());
#else
    return std::strerror(errno);
#endif
}

#ifdef _WIN32
std::string ToUtf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size_t(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

std::vector<std::string> Arguments(int, char**) { return CommandLine::Split(ToUtf8(GetCommandLineW())); }
#else
std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }
#endif

void SendDatagram(const std::string& text)
{
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw SocketError(LastErrorText());
#endif
    const auto fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        throw SocketError(LastErrorText());
    int broadcast = 0;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto sent = ::sendto(fd, text.data(), static_cast<int>(text.size()), 0,
                               reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent < 0)
        throw SocketError(LastErrorText());
    // The socket goes away with the process.
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::string text = CommandLine::JoinArguments(Arguments(argc, argv));
        if (!text.empty())
            SendDatagram(text);
    } catch (const SocketError& error) {
        std::printf("SocketError: %s\n", error.what());
    } catch (const std::exception& error) {
        std::printf("Exception: %s\n", error.what());
    }
    return 0;
}
