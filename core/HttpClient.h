#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

// Blocking HTTP(S) POST requests for the Telegram Bot API and the SMS gateway.
//
// Any thread may call Execute at any time: each thread works with its own libcurl handles (kept
// for the life of the thread, so a thread's requests to one host reuse the connection) and never
// shares them with another thread. Proxies come from the usual environment variables (http_proxy,
// https_proxy, all_proxy, no_proxy), TLS is 1.2 or newer with the system's certificate store,
// redirects are not followed.

// One name=value pair of a form-encoded body, sent in the order given.
struct THttpFormField {
    QString Name;
    QString Value;
};

// One part of a multipart/form-data body; a part with a file name is sent as a file upload.
struct THttpPart {
    QString Name;
    QByteArray Data;
    QString FileName; // empty: a plain field
};

struct THttpRequest {
    enum class TBody { Form, Json, Multipart };

    QString Url;
    TBody Body = TBody::Form;
    std::vector<THttpFormField> Form; // Body == Form
    QByteArray Json;                  // Body == Json
    std::vector<THttpPart> Parts;     // Body == Multipart

    static THttpRequest FormPost(const QString& url, std::vector<THttpFormField> fields);
    static THttpRequest JsonPost(const QString& url, const QByteArray& json);
    static THttpRequest MultipartPost(const QString& url, std::vector<THttpPart> parts);
};

// What came back: either an HTTP response (any status) or no response and why.
struct THttpResponse {
    bool Responded = false; // an HTTP response arrived, whatever its status
    int Status = 0;
    QString StatusText; // the reason phrase of the status line, e.g. "Internal Server Error"
    QByteArray Body;
    QString Failure; // why no response arrived (refused, time-out, TLS ...); empty when Responded
};

struct THttpTimeouts {
    // Time to open the connection, TLS handshake included.
    std::chrono::milliseconds Connect{3000};
    // Once connected: the longest silence allowed while the request is sent and the answer read.
    std::chrono::milliseconds Response{3000};
};

class THttpClient {
public:
    explicit THttpClient(THttpTimeouts timeouts = {});

    // Runs the request on the calling thread and waits for its outcome; never throws.
    THttpResponse Execute(const THttpRequest& request) const;

    const THttpTimeouts& Timeouts() const { return FTimeouts; }

    // application/x-www-form-urlencoded: UTF-8, every byte but the unreserved ones percent-encoded.
    static QByteArray FormEncode(const std::vector<THttpFormField>& fields);

private:
    THttpTimeouts FTimeouts;
};
