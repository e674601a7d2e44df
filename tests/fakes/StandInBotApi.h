#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class TFakeHttpServer;

// A Telegram Bot API on 127.0.0.1 for demos and benchmarks: it answers <base>/bot<token>/<method>
// the way Telegram does for the one token it knows (others get 401 Unauthorized), never has
// updates to hand out, and keeps nothing: each request is passed to the observer and forgotten,
// so it can run for as long as a program polls it. Tests that need to look back at requests or
// program answers use TFakeBotApi instead.
//
//   TStandInBotApi api(token, [](const TStandInBotApi::TRequest& request) { ... });
//   qputenv("PELORIN_TELEGRAM_API_URL", api.BaseUrl().toUtf8());
class TStandInBotApi {
public:
    struct TRequest {
        QString Method;
        QJsonObject Params;      // JSON body, or the form / multipart text fields as strings
        qsizetype FileSize = -1; // bytes of an uploaded file (sendPhoto), -1 without one
        bool Authorised = false; // the token was the known one
    };
    // Called on a server thread, possibly on several at once.
    using TObserver = std::function<void(const TRequest&)>;

    static constexpr qint64 kBotId = 7770002;
    static constexpr const char* kBotUsername = "kestrava_standin_bot";

    TStandInBotApi(const QString& token, TObserver observer);
    ~TStandInBotApi();

    TStandInBotApi(const TStandInBotApi&) = delete;
    TStandInBotApi& operator=(const TStandInBotApi&) = delete;

    QString BaseUrl() const; // http://127.0.0.1:<port>

private:
    struct TAnswer;
    TAnswer Answer(const TRequest& request);

    const QString FToken;
    const TObserver FObserver;
    std::mutex FLock; // guards FNextMessageId
    qint64 FNextMessageId = 1;
    std::unique_ptr<TFakeHttpServer> FServer; // last: stopped before the members it uses go
};
