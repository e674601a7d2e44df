#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class TFakeHttpServer;

// A Telegram Bot API on 127.0.0.1 for tests. It answers <base>/bot<token>/<method> like Telegram
// does for the one token it knows (any other token gets 401 Unauthorized), records every request
// with its parameters, hands out the updates a test queues (honouring offset and limit like
// Telegram: updates below the offset are confirmed and gone), and lets a test program the next
// answers of a method, for instance a refusal or a 429.
//
//   TFakeBotApi api;
//   TScopedEnv url("PELORIN_TELEGRAM_API_URL", api.BaseUrl());
//   api.QueueUpdate("message", TFakeBotApi::Message(42, TFakeBotApi::User(42, "Иван"), "/help"));
//   api.WaitForRequests("sendMessage", 1);
class TFakeBotApi {
public:
    struct TRequest {
        QString Method;
        QString Token;
        QString ContentType;
        // The parameters: a JSON body as sent; form fields and the text parts of a multipart
        // body as strings.
        QJsonObject Params;
        // The file part of a multipart body (sendPhoto), if any.
        QString FileField;
        QString FileName;
        QByteArray FileData;
        std::chrono::steady_clock::time_point At;
    };

    static constexpr qint64 kBotId = 7770001;
    static constexpr const char* kBotUsername = "kestrava_test_bot";
    static constexpr const char* kToken = "7770001:AAF-test_token";

    explicit TFakeBotApi(const QString& token = QString::fromLatin1(kToken));
    ~TFakeBotApi();

    TFakeBotApi(const TFakeBotApi&) = delete;
    TFakeBotApi& operator=(const TFakeBotApi&) = delete;

    QString BaseUrl() const; // http://127.0.0.1:<port>
    QString Token() const { return FToken; }

    // The network goes away (the port is closed: connections are refused) and comes back on
    // the same port.
    void Down();
    void Up();

    // Queues {"update_id": <next id>, <kind>: body}; returns the id.
    qint64 QueueUpdate(const QString& kind, const QJsonObject& body);

    // Builders for update bodies. `date` in seconds since the epoch; 0 stands for now.
    static QJsonObject User(qint64 id, const QString& firstName, const QString& lastName = QString(),
                            const QString& username = QString());
    static QJsonObject Message(qint64 chatId, const QJsonObject& from, const QString& text, qint64 date = 0);
    static QJsonObject CallbackQuery(const QString& id, const QJsonObject& from, const QString& data);
    static qint64 Now();

    // The next answers of `method`, in order, before the ordinary ones. `body` is sent as JSON,
    // `delay` after the request arrived.
    void QueueReply(const QString& method, int httpStatus, const QJsonObject& body,
                    std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // {"ok":false,"error_code":code,"description":description[,"parameters":{"retry_after":n}]}
    static QJsonObject Refusal(int code, const QString& description, int retryAfter = 0);

    std::vector<TRequest> Requests(const QString& method = QString()) const;
    // Waits until `method` has been requested `count` times in all; false on time-out.
    bool WaitForRequests(const QString& method, std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    void ClearRequests();

private:
    struct TReply {
        int Status = 200;
        QByteArray Body;
        std::chrono::milliseconds Delay{0};
    };
    TReply Answer(const QString& token, const QString& method, const QJsonObject& params);
    TReply DefaultAnswer(const QString& method, const QJsonObject& params);
    void Record(TRequest request);

    const QString FToken;
    std::unique_ptr<TFakeHttpServer> FServer;

    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    std::vector<TRequest> FRequests;
    std::deque<QJsonObject> FUpdates;
    qint64 FNextUpdateId = 1000;
    qint64 FNextMessageId = 1;
    std::map<QString, std::deque<TReply>> FProgrammed;
};
