#include "tests/fakes/StandInSmsGateway.h"

#include "tests/fakes/FakeHttpServer.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray Json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

QByteArray Refusal(int code, const QString& text)
{
    return Json(QJsonObject{{QStringLiteral("status"), QStringLiteral("ERROR")},
                            {QStringLiteral("status_code"), code},
                            {QStringLiteral("status_text"), text}});
}

// The balance goes into the body as written, so that it keeps its two decimals.
QByteArray Accepted(const QByteArray& members)
{
    return QByteArrayLiteral(R"({"status":"OK","status_code":100,)") + members +
           QByteArrayLiteral(R"("balance":)") + TStandInSmsGateway::kBalance + '}';
}

TFakeHttpServer::TResponse Answer(const TStandInSmsGateway::TRequest& request)
{
    if (request.Path != QLatin1String("/my/balance") && request.Path != QLatin1String("/sms/send"))
        return {404, Refusal(404, QStringLiteral("Not Found"))};
    if (!request.Authorised)
        return {200, Refusal(200, QStringLiteral("Неправильный api_id"))};
    if (request.Path == QLatin1String("/my/balance"))
        return {200, Accepted(QByteArray())};
    const QString to = request.Field(QStringLiteral("to"));
    if (to.isEmpty())
        return {200, Refusal(202, QStringLiteral("Неправильно указан номер телефона получателя"))};
    if (request.Field(QStringLiteral("msg")).isEmpty())
        return {200, Refusal(205, QStringLiteral("Сообщение не может быть пустым"))};
    const QJsonObject sms{{to, QJsonObject{{QStringLiteral("status"), QStringLiteral("OK")},
                                           {QStringLiteral("status_code"), 100}}}};
    return {200, Accepted(R"("sms":)" + Json(sms) + ',')};
}

} // namespace

QString TStandInSmsGateway::TRequest::Field(const QString& name) const
{
    for (const auto& [key, value] : Fields)
        if (key == name)
            return value;
    return QString();
}

TStandInSmsGateway::TStandInSmsGateway(const QString& key, TObserver observer)
    : FKey(key)
    , FObserver(std::move(observer))
{
    FServer = std::make_unique<TFakeHttpServer>([this](const TFakeHttpServer::TRequest& in) {
        TRequest request{in.Path, in.Fields, false};
        request.Authorised = !FKey.isEmpty() && request.Field(QStringLiteral("api_id")) == FKey;
        FObserver(request);
        return Answer(request);
    });
}

TStandInSmsGateway::~TStandInSmsGateway() { FServer.reset(); }

QString TStandInSmsGateway::BaseUrl() const { return FServer->BaseUrl(); }
