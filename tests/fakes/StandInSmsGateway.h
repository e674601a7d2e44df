#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TFakeHttpServer;

// An SMS gateway on 127.0.0.1 for demos and benchmarks: POST <base>/my/balance and
// <base>/sms/send, answered as the gateway does for the one account key it knows (any other key
// gets the gateway's refusal). Like TStandInBotApi it keeps nothing and passes each request to
// the observer.
class TStandInSmsGateway {
public:
    struct TRequest {
        QString Path;
        std::vector<std::pair<QString, QString>> Fields; // form fields in the order sent
        bool Authorised = false;                         // api_id was the known key

        QString Field(const QString& name) const;
    };
    // Called on a server thread, possibly on several at once.
    using TObserver = std::function<void(const TRequest&)>;

    static constexpr const char* kBalance = "250.75";

    TStandInSmsGateway(const QString& key, TObserver observer);
    ~TStandInSmsGateway();

    TStandInSmsGateway(const TStandInSmsGateway&) = delete;
    TStandInSmsGateway& operator=(const TStandInSmsGateway&) = delete;

    QString BaseUrl() const; // http://127.0.0.1:<port>

private:
    const QString FKey;
    const TObserver FObserver;
    std::unique_ptr<TFakeHttpServer> FServer; // last: stopped before the members it uses go
};
