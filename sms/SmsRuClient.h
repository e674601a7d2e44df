#pragma once

#include "core/HttpClient.h"
#include "sms/SmsRuBalans.h"

#include <QString>

// Client of the SMS gateway's HTTP API: form-encoded POSTs to <base>/my/balance and
// <base>/sms/send with "json" = "1". Blocking, on the calling thread; any number of threads may
// use one client at once.
class TSmsRuClient {
public:
    struct TReply {
        // The request failed: no response arrived, or the gateway answered with HTTP 500 or above.
        bool Failed = false;
        QString HttpStatusText; // the reason phrase of the response; empty when none arrived
        QString Failure;        // why no response arrived
        TSmsRuBalans Record;    // the reply's body, read whatever the HTTP status below 500

        bool Accepted() const { return !Failed && Record.Status == QLatin1String("OK"); }
    };

    explicit TSmsRuClient(const QString& baseUrl, THttpTimeouts timeouts = {});

    // "api_id", "json"
    TReply Balance(const QString& apiId) const;
    // "api_id", "to", "msg", "json"
    TReply Send(const QString& apiId, const QString& phone, const QString& message) const;

private:
    TReply Post(const QString& path, std::vector<THttpFormField> fields) const;

    const QString FBaseUrl;
    const THttpClient FHttp;
};
