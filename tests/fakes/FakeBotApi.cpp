#include "tests/fakes/FakeBotApi.h"

#include "tests/fakes/FakeHttpServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <thread>

namespace {

QByteArray Json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

QJsonObject OkResult(const QJsonValue& result)
{
    return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("result"), result}};
}

} // namespace

TFakeBotApi::TFakeBotApi(const QString& token)
    : FToken(token)
{
    FServer = std::make_unique<TFakeHttpServer>([this](const TFakeHttpServer::TRequest& in) {
        static const QRegularExpression route(QStringLiteral("^/bot([^/]*)/([A-Za-z]+)$"));
        const QRegularExpressionMatch match = route.match(in.Path);
        if (!match.hasMatch())
            return TFakeHttpServer::TResponse{404, Json(Refusal(404, QStringLiteral("Not Found")))};
        TRequest request;
        request.Token = match.captured(1);
        request.Method = match.captured(2);
        request.ContentType = in.ContentType;
        request.At = std::chrono::steady_clock::now();
        if (in.ContentType.startsWith(QLatin1String("application/json")))
            request.Params = QJsonDocument::fromJson(in.Body).object();
        for (const auto& [name, value] : in.Fields)
            request.Params.insert(name, value);
        if (!in.Files.empty()) {
            const auto& [field, file] = *in.Files.begin();
            request.FileField = field;
            request.FileName = file.first;
            request.FileData = file.second;
        }
        const QJsonObject params = request.Params;
        Record(std::move(request));
        const TReply reply = Answer(match.captured(1), match.captured(2), params);
        std::this_thread::sleep_for(reply.Delay);
        return TFakeHttpServer::TResponse{reply.Status, reply.Body};
    });
}

TFakeBotApi::~TFakeBotApi() { FServer.reset(); }

QString TFakeBotApi::BaseUrl() const { return FServer->BaseUrl(); }

void TFakeBotApi::Down() { FServer->Down(); }

void TFakeBotApi::Up() { FServer->Up(); }

qint64 TFakeBotApi::Now() { return QDateTime::currentSecsSinceEpoch(); }

QJsonObject TFakeBotApi::User(qint64 id, const QString& firstName, const QString& lastName,
                              const QString& username)
{
    QJsonObject user{{QStringLiteral("id"), id},
                     {QStringLiteral("is_bot"), false},
                     {QStringLiteral("first_name"), firstName}};
    if (!lastName.isEmpty())
        user.insert(QStringLiteral("last_name"), lastName);
    if (!username.isEmpty())
        user.insert(QStringLiteral("username"), username);
    return user;
}

QJsonObject TFakeBotApi::Message(qint64 chatId, const QJsonObject& from, const QString& text, qint64 date)
{
    const QString type = chatId > 0 ? QStringLiteral("private") : QStringLiteral("group");
    QJsonObject message{
        {QStringLiteral("message_id"), 1},
        {QStringLiteral("date"), date == 0 ? Now() : date},
        {QStringLiteral("chat"), QJsonObject{{QStringLiteral("id"), chatId}, {QStringLiteral("type"), type}}},
        {QStringLiteral("text"), text},
    };
    if (!from.isEmpty())
        message.insert(QStringLiteral("from"), from);
    return message;
}

QJsonObject TFakeBotApi::CallbackQuery(const QString& id, const QJsonObject& from, const QString& data)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("from"), from},
                       {QStringLiteral("chat_instance"), QStringLiteral("1")},
                       {QStringLiteral("data"), data}};
}

QJsonObject TFakeBotApi::Refusal(int code, const QString& description, int retryAfter)
{
    QJsonObject body{{QStringLiteral("ok"), false},
                     {QStringLiteral("error_code"), code},
                     {QStringLiteral("description"), description}};
    if (retryAfter > 0)
        body.insert(QStringLiteral("parameters"), QJsonObject{{QStringLiteral("retry_after"), retryAfter}});
    return body;
}

qint64 TFakeBotApi::QueueUpdate(const QString& kind, const QJsonObject& body)
{
    std::lock_guard lock(FLock);
    const qint64 id = FNextUpdateId++;
    FUpdates.push_back(QJsonObject{{QStringLiteral("update_id"), id}, {kind, body}});
    return id;
}

void TFakeBotApi::QueueReply(const QString& method, int httpStatus, const QJsonObject& body,
                             std::chrono::milliseconds delay)
{
    std::lock_guard lock(FLock);
    FProgrammed[method].push_back({httpStatus, Json(body), delay});
}

void TFakeBotApi::Record(TRequest request)
{
    {
        std::lock_guard lock(FLock);
        FRequests.push_back(std::move(request));
    }
    FChanged.notify_all();
}

std::vector<TFakeBotApi::TRequest> TFakeBotApi::Requests(const QString& method) const
{
    std::lock_guard lock(FLock);
    std::vector<TRequest> selected;
    for (const TRequest& request : FRequests)
        if (method.isEmpty() || request.Method == method)
            selected.push_back(request);
    return selected;
}

bool TFakeBotApi::WaitForRequests(const QString& method, std::size_t count,
                                  std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] {
        std::size_t seen = 0;
        for (const TRequest& request : FRequests)
            seen += request.Method == method ? 1 : 0;
        return seen >= count;
    });
}

void TFakeBotApi::ClearRequests()
{
    std::lock_guard lock(FLock);
    FRequests.clear();
}

TFakeBotApi::TReply TFakeBotApi::Answer(const QString& token, const QString& method,
                                        const QJsonObject& params)
{
    if (token != FToken)
        return {401, Json(Refusal(401, QStringLiteral("Unauthorized")))};
    std::lock_guard lock(FLock);
    auto programmed = FProgrammed.find(method);
    if (programmed != FProgrammed.end() && !programmed->second.empty()) {
        TReply reply = programmed->second.front();
        programmed->second.pop_front();
        return reply;
    }
    return DefaultAnswer(method, params);
}

TFakeBotApi::TReply TFakeBotApi::DefaultAnswer(const QString& method, const QJsonObject& params)
{
    if (method == QLatin1String("getMe")) {
        QJsonObject me =
            User(kBotId, QStringLiteral("Kestrava"), QString(), QString::fromLatin1(kBotUsername));
        me.insert(QStringLiteral("is_bot"), true);
        return {200, Json(OkResult(me))};
    }
    if (method == QLatin1String("getUpdates")) {
        const qint64 offset = params.value(QLatin1String("offset")).toInteger();
        const qsizetype limit = params.value(QLatin1String("limit")).toInteger(100);
        while (!FUpdates.empty() && FUpdates.front().value(QLatin1String("update_id")).toInteger() < offset)
            FUpdates.pop_front();
        QJsonArray result;
        for (const QJsonObject& update : FUpdates) {
            if (result.size() >= limit)
                break;
            result.append(update);
        }
        return {200, Json(OkResult(result))};
    }
    if (method == QLatin1String("sendMessage") || method == QLatin1String("sendPhoto")) {
        QJsonObject sent{{QStringLiteral("message_id"), FNextMessageId++},
                         {QStringLiteral("date"), Now()},
                         {QStringLiteral("chat"),
                          QJsonObject{{QStringLiteral("id"), params.value(QLatin1String("chat_id"))}}}};
        if (params.contains(QLatin1String("text")))
            sent.insert(QStringLiteral("text"), params.value(QLatin1String("text")));
        return {200, Json(OkResult(sent))};
    }
    if (method == QLatin1String("setMyCommands") || method == QLatin1String("answerCallbackQuery"))
        return {200, Json(OkResult(true))};
    return {404, Json(Refusal(404, QStringLiteral("Not Found: method not found")))};
}
