#include "telegram/TgBotApi.h"

#include "telegram/TgTextSplit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <algorithm>

namespace {

QJsonValue ReplyMarkup(TTgKeyboard keyboard)
{
    switch (keyboard) {
    case TTgKeyboard::Keep: break;
    case TTgKeyboard::Remove: return QJsonObject{{QStringLiteral("remove_keyboard"), true}};
    case TTgKeyboard::RequestContact: {
        const QJsonObject button{{QStringLiteral("text"), QStringLiteral("Отправить контакт")},
                                 {QStringLiteral("request_contact"), true}};
        return QJsonObject{{QStringLiteral("keyboard"), QJsonArray{QJsonArray{button}}},
                           {QStringLiteral("resize_keyboard"), true}};
    }
    }
    return QJsonValue(QJsonValue::Undefined);
}

} // namespace

TTgBotApi::TTgBotApi(const QString& baseUrl, const QString& token, TAfterRequest afterRequest,
                     TOptions options)
    : FBaseUrl(baseUrl)
    , FToken(token)
    , FAfterRequest(std::move(afterRequest))
    , FOptions(options)
    , FHttp(options.Timeouts)
{
}

QString TTgBotApi::MethodUrl(const QString& method) const
{
    // The token is one path segment: whatever it holds cannot reach another path or host.
    return FBaseUrl + QStringLiteral("/bot") + QString::fromLatin1(QUrl::toPercentEncoding(FToken, ":")) +
           QLatin1Char('/') + method;
}

TTgReply TTgBotApi::Finish(const THttpResponse& response)
{
    if (FAfterRequest)
        FAfterRequest(response.Responded);
    return TTgReply::FromHttp(response);
}

TTgReply TTgBotApi::Call(const QString& method, const QJsonObject& params)
{
    const QByteArray body = QJsonDocument(params).toJson(QJsonDocument::Compact);
    return Finish(FHttp.Execute(THttpRequest::JsonPost(MethodUrl(method), body)));
}

TTgReply TTgBotApi::GetUpdates(qint64 offset, int limit, int timeout, const QStringList& allowedUpdates)
{
    return Call(QStringLiteral("getUpdates"),
                QJsonObject{
                    {QStringLiteral("offset"), offset},
                    {QStringLiteral("limit"), limit},
                    {QStringLiteral("timeout"), timeout},
                    {QStringLiteral("allowed_updates"), QJsonArray::fromStringList(allowedUpdates)},
                });
}

TTgReply TTgBotApi::GetMe() { return Call(QStringLiteral("getMe"), QJsonObject{}); }

TTgReply TTgBotApi::SetMyCommands(const std::vector<TCommand>& commands)
{
    QJsonArray list;
    for (const auto& [command, description] : commands)
        list.append(
            QJsonObject{{QStringLiteral("command"), command}, {QStringLiteral("description"), description}});
    return Call(QStringLiteral("setMyCommands"), QJsonObject{{QStringLiteral("commands"), list}});
}

TTgReply TTgBotApi::AnswerCallbackQuery(const QString& callbackQueryId)
{
    return Call(QStringLiteral("answerCallbackQuery"),
                QJsonObject{{QStringLiteral("callback_query_id"), callbackQueryId}});
}

TTgReply TTgBotApi::SendMessage(qint64 chatId, const QString& text, TTgKeyboard keyboard)
{
    QJsonObject params{{QStringLiteral("chat_id"), chatId}, {QStringLiteral("text"), text}};
    const QJsonValue markup = ReplyMarkup(keyboard);
    if (!markup.isUndefined())
        params.insert(QStringLiteral("reply_markup"), markup);
    return WithOneRetry([&] { return Call(QStringLiteral("sendMessage"), params); });
}

TTgReply TTgBotApi::SendText(qint64 chatId, const QString& text, TTgKeyboard keyboard)
{
    const QStringList pieces = SplitTgText(text);
    TTgReply reply;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();
        reply = SendMessage(chatId, pieces[i], last ? keyboard : TTgKeyboard::Keep);
        if (!reply.Ok)
            break;
    }
    return reply;
}

QString TTgBotApi::PhotoFileName(const QString& caption)
{
    const qsizetype cut =
        std::max(caption.lastIndexOf(QLatin1Char('/')), caption.lastIndexOf(QLatin1Char('\\')));
    const QString name = caption.mid(cut + 1);
    return name.isEmpty() ? QStringLiteral("photo") : name;
}

TTgReply TTgBotApi::SendPhoto(qint64 chatId, const QString& caption, const QByteArray& photo)
{
    std::vector<THttpPart> parts{
        {QStringLiteral("chat_id"), QByteArray::number(chatId), QString()},
        {QStringLiteral("caption"), caption.toUtf8(), QString()},
        {QStringLiteral("photo"), photo, PhotoFileName(caption)},
    };
    const THttpRequest request = THttpRequest::MultipartPost(MethodUrl(QStringLiteral("sendPhoto")), parts);
    return WithOneRetry([&] { return Finish(FHttp.Execute(request)); });
}

TTgReply TTgBotApi::WithOneRetry(const std::function<TTgReply()>& send)
{
    TTgReply reply = send();
    if (!reply.TooManyRequests())
        return reply;
    const std::chrono::milliseconds asked = std::chrono::seconds(std::max(reply.RetryAfter, 1));
    if (!WaitBeforeRetry(std::min(asked, FOptions.MaxRetryWait)))
        return reply;
    return send();
}

bool TTgBotApi::WaitBeforeRetry(std::chrono::milliseconds wait)
{
    std::unique_lock lock(FWaitLock);
    return !FWaitEnded.wait_for(lock, wait, [this] { return FInterrupted; });
}

void TTgBotApi::Interrupt()
{
    {
        std::lock_guard lock(FWaitLock);
        FInterrupted = true;
    }
    FWaitEnded.notify_all();
}
