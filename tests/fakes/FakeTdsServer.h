#pragma once

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// A stand-in for SQL Server on 127.0.0.1 that speaks just enough TDS to see what a client sends
// when it logs in: it answers the pre-login (no encryption), decodes the LOGIN7 record (user,
// password, database, server name) and refuses the login with SQL Server's error 18456.
class TFakeTdsServer {
public:
    struct TLogin {
        QString UserName;
        QString Password;
        QString Database;
        QString ServerName;
        QString AppName;
    };

    TFakeTdsServer()
    {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        if (FListen < 0 || ::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(FListen, 4) != 0 ||
            ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("fake TDS server: cannot listen");
        FPort = ntohs(address.sin_port);
        FThread = std::thread([this] { Serve(); });
    }

    ~TFakeTdsServer()
    {
        FStop = true;
        FThread.join();
        ::close(FListen);
    }

    TFakeTdsServer(const TFakeTdsServer&) = delete;
    TFakeTdsServer& operator=(const TFakeTdsServer&) = delete;

    quint16 Port() const { return FPort; }

    std::vector<TLogin> Logins() const
    {
        std::lock_guard lock(FLock);
        return FLogins;
    }

    static constexpr const char16_t* kRefusal = u"Login failed for user 'kv_reader'.";

private:
    using TBytes = std::vector<std::uint8_t>;

    void Serve()
    {
        while (!FStop) {
            pollfd wait{FListen, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0)
                continue;
            const int client = ::accept(FListen, nullptr, nullptr);
            if (client < 0)
                continue;
            Converse(client);
            ::close(client);
        }
    }

    // One client: pre-login, login, refusal.
    void Converse(int client)
    {
        for (int packets = 0; packets < 4 && !FStop; ++packets) {
            std::uint8_t type = 0;
            TBytes body;
            if (!ReadPacket(client, type, body))
                return;
            if (type == 0x12) {
                Send(client, 0x04, PreloginReply());
            } else if (type == 0x10) {
                const std::uint32_t version = Le32(body, 4);
                Record(body);
                Send(client, 0x04, LoginRefusal(version >= 0x72090002));
                return;
            } else {
                return;
            }
        }
    }

    bool ReadExactly(int fd, std::uint8_t* data, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size && !FStop) {
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0)
                continue;
            const ssize_t got = ::recv(fd, data + done, size - done, 0);
            if (got <= 0)
                return false;
            done += std::size_t(got);
        }
        return done == size;
    }

    // Reads a whole message (packets up to the one marked end-of-message).
    bool ReadPacket(int fd, std::uint8_t& type, TBytes& body)
    {
        for (;;) {
            std::uint8_t header[8];
            if (!ReadExactly(fd, header, sizeof(header)))
                return false;
            type = header[0];
            const std::size_t length = (std::size_t(header[2]) << 8) | header[3];
            if (length < 8)
                return false;
            const std::size_t start = body.size();
            body.resize(start + length - 8);
            if (!ReadExactly(fd, body.data() + start, length - 8))
                return false;
            if (header[1] & 0x01)
                return true;
        }
    }

    static void Send(int fd, std::uint8_t type, const TBytes& payload)
    {
        TBytes packet{type, 0x01, 0, 0, 0, 0, 1, 0};
        const std::size_t length = payload.size() + 8;
        packet[2] = std::uint8_t(length >> 8);
        packet[3] = std::uint8_t(length & 0xFF);
        packet.insert(packet.end(), payload.begin(), payload.end());
        (void)::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
    }

    static TBytes PreloginReply()
    {
        // VERSION (6 bytes) and ENCRYPTION = not supported, then the terminator.
        TBytes reply{0x00, 0, 11, 0, 6, 0x01, 0, 17, 0, 1, 0xFF};
        const TBytes version{16, 0, 0x10, 0x00, 0, 0};
        reply.insert(reply.end(), version.begin(), version.end());
        reply.push_back(0x02);
        return reply;
    }

    static void PutLe16(TBytes& out, std::uint16_t value)
    {
        out.push_back(std::uint8_t(value & 0xFF));
        out.push_back(std::uint8_t(value >> 8));
    }

    static void PutLe32(TBytes& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(std::uint8_t((value >> (8 * i)) & 0xFF));
    }

    static void PutUcs2(TBytes& out, std::u16string_view text)
    {
        for (const char16_t c : text)
            PutLe16(out, std::uint16_t(c));
    }

    static TBytes LoginRefusal(bool longLineNumber)
    {
        const std::u16string_view message = kRefusal;
        const std::u16string_view server = u"FAKE";
        TBytes token;
        PutLe32(token, 18456);
        token.push_back(1);  // state
        token.push_back(14); // class
        PutLe16(token, std::uint16_t(message.size()));
        PutUcs2(token, message);
        token.push_back(std::uint8_t(server.size()));
        PutUcs2(token, server);
        token.push_back(0); // procedure name
        if (longLineNumber)
            PutLe32(token, 1);
        else
            PutLe16(token, 1);

        TBytes reply{0xAA};
        PutLe16(reply, std::uint16_t(token.size()));
        reply.insert(reply.end(), token.begin(), token.end());
        reply.push_back(0xFD); // DONE with the error flag
        PutLe16(reply, 0x0002);
        PutLe16(reply, 0);
        if (longLineNumber)
            PutLe32(reply, 0), PutLe32(reply, 0);
        else
            PutLe32(reply, 0);
        return reply;
    }

    static std::uint32_t Le32(const TBytes& data, std::size_t at)
    {
        if (at + 4 > data.size())
            return 0;
        return std::uint32_t(data[at]) | (std::uint32_t(data[at + 1]) << 8) |
               (std::uint32_t(data[at + 2]) << 16) | (std::uint32_t(data[at + 3]) << 24);
    }

    static std::uint16_t Le16(const TBytes& data, std::size_t at)
    {
        if (at + 2 > data.size())
            return 0;
        return std::uint16_t(data[at] | (data[at + 1] << 8));
    }

    // A string of the LOGIN7 record: offset and length (in characters) stand at `field`.
    static QString Field(const TBytes& login, std::size_t field, bool password = false)
    {
        const std::size_t offset = Le16(login, field);
        const std::size_t chars = Le16(login, field + 2);
        if (offset + chars * 2 > login.size())
            return QString();
        QString text;
        for (std::size_t i = 0; i < chars; ++i) {
            std::uint8_t low = login[offset + 2 * i];
            std::uint8_t high = login[offset + 2 * i + 1];
            if (password) {
                // Each byte was nibble-swapped, then XORed with 0xA5.
                low = std::uint8_t(((low ^ 0xA5) << 4) | ((low ^ 0xA5) >> 4));
                high = std::uint8_t(((high ^ 0xA5) << 4) | ((high ^ 0xA5) >> 4));
            }
            text += QChar(char16_t(low | (high << 8)));
        }
        return text;
    }

    void Record(const TBytes& login)
    {
        TLogin seen;
        seen.UserName = Field(login, 40);
        seen.Password = Field(login, 44, true);
        seen.AppName = Field(login, 48);
        seen.ServerName = Field(login, 52);
        seen.Database = Field(login, 68);
        std::lock_guard lock(FLock);
        FLogins.push_back(seen);
    }

    int FListen = -1;
    quint16 FPort = 0;
    std::atomic<bool> FStop{false};
    mutable std::mutex FLock;
    std::vector<TLogin> FLogins;
    std::thread FThread;
};
