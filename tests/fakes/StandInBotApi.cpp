#include "tests/fakes/StandInBotApi.h"

#include "tests/fakes/FakeHttpServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

QByteArray Json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

QByteArray Ok(const QJsonValue& result)
{
    return Json(QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("result"), result}});
}

QByteArray Refusal(int code, const QString& description)
{
    return Json(QJsonObject{{QStringLiteral("ok"), false},
                            {QStringLiteral("error_code"), code},
                            {QStringLiteral("description"), description}});
}

QJsonObject Params(const TFakeHttpServer::TRequest& in)
{
    QJsonObject params;
    if (in.ContentType.startsWith(QLatin1String("application/json")))
        params = QJsonDocument::fromJson(in.Body).object();
    for (const auto& [name, value] : in.Fields)
        params.insert(name, value);
    return params;
}

} // namespace

struct TStandInBotApi::TAnswer {
    int Status = 200;
    QByteArray Body;
};

TStandInBotApi::TStandInBotApi(const QString& token, TObserver observer)
    : FToken(token)
    , FObserver(std::move(observer))
{
    FServer = std::make_unique<TFakeHttpServer>([this](const TFakeHttpServer::TRequest& in) {
        static const QRegularExpression route(QStringLiteral("^/bot([^/]*)/([A-Za-z]+)$"));
        const QRegularExpressionMatch match = route.match(in.Path);
        if (!match.hasMatch())
            return TFakeHttpServer::TResponse{404, Refusal(404, QStringLiteral("Not Found"))};
        TRequest request;
        request.Method = match.captured(2);
        request.Params = Params(in);
        if (!in.Files.empty())
            request.FileSize = in.Files.begin()->second.second.size();
        request.Authorised = match.captured(1) == FToken;
        FObserver(request);
        const TAnswer answer = Answer(request);
        return TFakeHttpServer::TResponse{answer.Status, answer.Body};
    });
}

TStandInBotApi::~TStandInBotApi() { FServer.reset(); }

QString TStandInBotApi::BaseUrl() const { return FServer->BaseUrl(); }

TStandInBotApi::TAnswer TStandInBotApi::Answer(const TRequest& request)
{
    if (!request.Authorised)
        return {401, Refusal(401, QStringLiteral("Unauthorized"))};
    const QString& method = request.Method;
    if (method == QLatin1String("getMe"))
        return {200, Ok(QJsonObject{{QStringLiteral("id"), kBotId},
                                    {QStringLiteral("is_bot"), true},
                                    {QStringLiteral("first_name"), QStringLiteral("Kestrava stand-in")},
                                    {QStringLiteral("username"), QString::fromLatin1(kBotUsername)}})};
    if (method == QLatin1String("getUpdates"))
        return {200, Ok(QJsonArray())};
    if (method == QLatin1String("setMyCommands") || method == QLatin1String("deleteMyCommands") ||
        method == QLatin1String("answerCallbackQuery"))
        return {200, Ok(true)};
    if (method == QLatin1String("sendMessage") || method == QLatin1String("sendPhoto")) {
        const QJsonValue chatId = request.Params.value(QLatin1String("chat_id"));
        if (chatId.isUndefined())
            return {400, Refusal(400, QStringLiteral("Bad Request: chat_id is empty"))};
        if (method == QLatin1String("sendMessage") &&
            request.Params.value(QLatin1String("text")).toString().isEmpty())
            return {400, Refusal(400, QStringLiteral("Bad Request: message text is empty"))};
        qint64 messageId = 0;
        {
            std::lock_guard lock(FLock);
            messageId = FNextMessageId++;
        }
        QJsonObject sent{{QStringLiteral("message_id"), messageId},
                         {QStringLiteral("date"), QDateTime::currentSecsSinceEpoch()},
                         {QStringLiteral("chat"), QJsonObject{{QStringLiteral("id"), chatId}}}};
        for (const char* echoed : {"text", "caption"})
            if (request.Params.contains(QLatin1String(echoed)))
                sent.insert(QLatin1String(echoed), request.Params.value(QLatin1String(echoed)));
        return {200, Ok(sent)};
    }
    return {404, Refusal(404, QStringLiteral("Not Found: method not found"))};
}
