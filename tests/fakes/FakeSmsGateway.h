#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class TFakeHttpServer;

// The SMS gateway on 127.0.0.1 for tests: POST <base>/my/balance and <base>/sms/send. It records
// every request with its form fields in the order sent. Unless told otherwise it answers the
// balance with {"status":"OK","status_code":100,"balance":123.45} and every send with
// {"status":"OK","status_code":100,...}. A test can queue other answers (any body, any HTTP
// status) or make it stop answering (it accepts and stays silent until released).
//
//   TFakeSmsGateway gateway;
//   TScopedEnv url("PELORIN_SMS_API_URL", gateway.BaseUrl());
//   gateway.QueueReply(200, R"({"status":"ERROR","status_code":200,"status_text":"Неправильный api_id"})");
class TFakeSmsGateway {
public:
    struct TRequest {
        QString Path;
        QString ContentType;
        std::vector<std::pair<QString, QString>> Fields; // in the order of the body
        QByteArray Body;

        QString Field(const QString& name) const;
    };

    TFakeSmsGateway();
    ~TFakeSmsGateway();

    TFakeSmsGateway(const TFakeSmsGateway&) = delete;
    TFakeSmsGateway& operator=(const TFakeSmsGateway&) = delete;

    QString BaseUrl() const;

    // The next answers to any request, in order, before the ordinary ones.
    void QueueReply(int httpStatus, const QByteArray& body);
    // While silent, requests are accepted and never answered (until SetSilent(false) or destruction).
    void SetSilent(bool silent);

    std::vector<TRequest> Requests() const;
    bool WaitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    std::pair<int, QByteArray> Answer(const QString& path);

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::vector<TRequest> FRequests;
    std::deque<std::pair<int, QByteArray>> FProgrammed;
    bool FSilent = false;
    bool FClosing = false;
    std::unique_ptr<TFakeHttpServer> FServer; // last: stopped before the members it uses go
};
