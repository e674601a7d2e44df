#pragma once

#include "core/HttpClient.h"
#include "telegram/TgTypes.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// Client of the Telegram Bot API for one bot token. Requests go to <base>/bot<token>/<method>
// with a JSON body (sendPhoto: multipart), on the calling thread, and come back as what Telegram
// answered; nothing is thrown. Any number of threads may send through one client at once.
//
// After every request, on the thread that made it, the after-request callback learns whether an
// HTTP response arrived at all; the bot's connectivity tracking hangs on it.
class TTgBotApi {
public:
    using TAfterRequest = std::function<void(bool responded)>;
    using TCommand = std::pair<QString, QString>; // command, description

    struct TOptions {
        THttpTimeouts Timeouts;
        // A send refused with "429 Too Many Requests" is tried once more after retry_after
        // seconds, but never after waiting longer than this.
        std::chrono::milliseconds MaxRetryWait{std::chrono::seconds(60)};
    };

    TTgBotApi(const QString& baseUrl, const QString& token, TAfterRequest afterRequest, TOptions options);

    TTgBotApi(const TTgBotApi&) = delete;
    TTgBotApi& operator=(const TTgBotApi&) = delete;

    TTgReply GetUpdates(qint64 offset, int limit, int timeout, const QStringList& allowedUpdates);
    TTgReply GetMe();
    TTgReply SetMyCommands(const std::vector<TCommand>& commands);
    TTgReply AnswerCallbackQuery(const QString& callbackQueryId);

    // One sendMessage, with one more try after a 429.
    TTgReply SendMessage(qint64 chatId, const QString& text, TTgKeyboard keyboard);
    // A text too long for one message goes out in several (see SplitTgText), the keyboard with the
    // last; sending stops at the first piece Telegram refuses and that answer is returned,
    // otherwise the answer to the last piece.
    TTgReply SendText(qint64 chatId, const QString& text, TTgKeyboard keyboard);
    // One sendPhoto with the photo as a file part named by PhotoFileName, with one more try
    // after a 429.
    TTgReply SendPhoto(qint64 chatId, const QString& caption, const QByteArray& photo);

    // Ends every wait for retry_after at once and lets none start again: the bot is stopping.
    // Requests still go out, each once.
    void Interrupt();

    // The upload's file name: the caption after its last "/" or "\", "photo" when that is empty.
    static QString PhotoFileName(const QString& caption);

private:
    TTgReply Call(const QString& method, const QJsonObject& params);
    TTgReply Finish(const THttpResponse& response);
    TTgReply WithOneRetry(const std::function<TTgReply()>& send);
    // False when interrupted.
    bool WaitBeforeRetry(std::chrono::milliseconds wait);
    QString MethodUrl(const QString& method) const;

    const QString FBaseUrl;
    const QString FToken;
    const TAfterRequest FAfterRequest;
    const TOptions FOptions;
    const THttpClient FHttp;

    std::mutex FWaitLock;
    std::condition_variable FWaitEnded;
    bool FInterrupted = false;
};
