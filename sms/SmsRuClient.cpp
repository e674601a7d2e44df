#include "sms/SmsRuClient.h"

#include <utility>

TSmsRuClient::TSmsRuClient(const QString& baseUrl, THttpTimeouts timeouts)
    : FBaseUrl(baseUrl)
    , FHttp(timeouts)
{
}

TSmsRuClient::TReply TSmsRuClient::Balance(const QString& apiId) const
{
    return Post(QStringLiteral("/my/balance"),
                {{QStringLiteral("api_id"), apiId}, {QStringLiteral("json"), QStringLiteral("1")}});
}

TSmsRuClient::TReply TSmsRuClient::Send(const QString& apiId, const QString& phone,
                                        const QString& message) const
{
    return Post(QStringLiteral("/sms/send"), {{QStringLiteral("api_id"), apiId},
                                              {QStringLiteral("to"), phone},
                                              {QStringLiteral("msg"), message},
                                              {QStringLiteral("json"), QStringLiteral("1")}});
}

TSmsRuClient::TReply TSmsRuClient::Post(const QString& path, std::vector<THttpFormField> fields) const
{
    const THttpResponse response = FHttp.Execute(THttpRequest::FormPost(FBaseUrl + path, std::move(fields)));
    TReply reply;
    reply.HttpStatusText = response.StatusText;
    reply.Failure = response.Failure;
    if (!response.Responded || response.Status >= 500) {
        reply.Failed = true;
        return reply;
    }
    reply.Record = TSmsRuBalans::FromJson(response.Body);
    return reply;
}
