#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

// A small HTTP server on 127.0.0.1 for the fake Bot API and SMS gateway: every POST goes to one
// handler. It can be taken down (the port closes, connections are refused) and brought up again
// on the same port.
class TFakeHttpServer {
public:
    struct TRequest {
        QString Path;
        QString ContentType;
        QByteArray Body;
        // Form fields in the order of the body; multipart text parts in part order.
        std::vector<std::pair<QString, QString>> Fields;
        // Multipart file parts: field name -> (file name, bytes).
        std::map<QString, std::pair<QString, QByteArray>> Files;
        int RemotePort = 0;
    };
    struct TResponse {
        int Status = 200;
        QByteArray Body;
        QByteArray ContentType = "application/json";
    };
    using THandler = std::function<TResponse(const TRequest&)>;

    explicit TFakeHttpServer(THandler handler);
    ~TFakeHttpServer(); // Down

    TFakeHttpServer(const TFakeHttpServer&) = delete;
    TFakeHttpServer& operator=(const TFakeHttpServer&) = delete;

    int Port() const { return FPort; }
    QString BaseUrl() const;

    void Up();
    // Waits for handlers under way; a handler that blocks must be released first.
    void Down();

    // Decodes application/x-www-form-urlencoded text ("+" is a blank), keeping the order.
    static std::vector<std::pair<QString, QString>> ParseForm(const QByteArray& body);

private:
    const THandler FHandler;
    int FPort = 0;
    std::unique_ptr<httplib::Server> FServer;
    std::thread FThread;
};
