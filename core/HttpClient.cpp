#include "core/HttpClient.h"

#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>

namespace {

using TClock = std::chrono::steady_clock;

// A reply beyond this size is refused rather than held in memory; Bot API and gateway replies are
// a few kilobytes.
constexpr qsizetype kMaxBody = 16 * 1024 * 1024;
// Upper bound for a request that keeps trickling data so that the silence limit never strikes.
constexpr long kHardLimitMs = 120000;
// Longest single wait inside the transfer loop; curl wakes it earlier for its own timers and I/O.
constexpr int kMaxPollMs = 1000;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct TMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct TSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct TMimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

// A multi handle with one easy handle. The multi handle keeps the connection cache, so requests
// made one after another through the same pair reuse their connection.
struct TCurlPair {
    std::unique_ptr<CURLM, TMultiDeleter> Multi;
    std::unique_ptr<CURL, TEasyDeleter> Easy;
    bool Busy = false;

    TCurlPair()
    {
        InitCurlOnce();
        Multi.reset(curl_multi_init());
        Easy.reset(curl_easy_init());
    }
    bool Valid() const { return Multi && Easy; }
};

// The calling thread's pair, or a private one when the thread's pair is already in use (a request
// started from within a callback of another request on the same thread).
class TCurlLease {
public:
    TCurlLease()
    {
        thread_local TCurlPair threadPair;
        if (threadPair.Busy) {
            FOwn = std::make_unique<TCurlPair>();
            FPair = FOwn.get();
        } else {
            FPair = &threadPair;
        }
        FPair->Busy = true;
    }
    ~TCurlLease() { FPair->Busy = false; }
    TCurlLease(const TCurlLease&) = delete;
    TCurlLease& operator=(const TCurlLease&) = delete;

    TCurlPair& Pair() { return *FPair; }

private:
    std::unique_ptr<TCurlPair> FOwn;
    TCurlPair* FPair = nullptr;
};

// State of one transfer shared with the libcurl callbacks.
struct TTransfer {
    TClock::time_point LastActivity = TClock::now();
    bool Connected = false;
    curl_off_t Downloaded = 0;
    curl_off_t Uploaded = 0;
    QByteArray Body;
    QString StatusText;
    bool TooLarge = false;

    void Touch() { LastActivity = TClock::now(); }
};

int OnConnected(void* data, char*, char*, int, int)
{
    auto* transfer = static_cast<TTransfer*>(data);
    transfer->Connected = true;
    transfer->Touch();
    return CURL_PREREQFUNC_OK;
}

int OnProgress(void* data, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
{
    auto* transfer = static_cast<TTransfer*>(data);
    if (dlnow != transfer->Downloaded || ulnow != transfer->Uploaded) {
        transfer->Downloaded = dlnow;
        transfer->Uploaded = ulnow;
        transfer->Touch();
    }
    return 0;
}

// "HTTP/1.1 500 Internal Server Error" gives "Internal Server Error". Each status line starts a
// new response (after a 100 Continue, for instance), so the last one wins.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t length = size * count;
    transfer->Touch();
    const QByteArray line = QByteArray(data, qsizetype(length)).trimmed();
    if (line.startsWith("HTTP/")) {
        const QList<QByteArray> parts = line.split(' ');
        QByteArray reason;
        if (parts.size() > 2)
            reason = line.mid(parts[0].size() + 1 + parts[1].size() + 1).trimmed();
        transfer->StatusText = QString::fromUtf8(reason);
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t length = size * count;
    transfer->Touch();
    if (transfer->Body.size() + qsizetype(length) > kMaxBody) {
        transfer->TooLarge = true;
        return 0; // makes libcurl end the transfer with a write error
    }
    transfer->Body.append(data, qsizetype(length));
    return length;
}

void SetCommonOptions(CURL* easy, TTransfer& transfer, const THttpTimeouts& timeouts, char* errorBuffer)
{
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "KestravaPelorin/" PELORIN_VERSION);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(timeouts.Connect.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, kHardLimitMs);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
}

std::unique_ptr<curl_mime, TMimeDeleter> BuildMime(CURL* easy, const std::vector<THttpPart>& parts)
{
    std::unique_ptr<curl_mime, TMimeDeleter> mime(curl_mime_init(easy));
    for (const THttpPart& part : parts) {
        curl_mimepart* field = curl_mime_addpart(mime.get());
        curl_mime_name(field, part.Name.toUtf8().constData());
        curl_mime_data(field, part.Data.constData(), size_t(part.Data.size()));
        if (!part.FileName.isEmpty())
            curl_mime_filename(field, part.FileName.toUtf8().constData());
    }
    return mime;
}

struct TOutcome {
    CURLcode Code = CURLE_OK;
    bool SilenceExceeded = false;
    bool LoopFailed = false;
};

// Drives the transfer, ending it when the server has been silent for longer than the response
// time-out once the connection stands. libcurl's own timers bound the connection phase.
TOutcome RunTransfer(CURLM* multi, CURL* easy, TTransfer& transfer, std::chrono::milliseconds silenceLimit)
{
    TOutcome outcome;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        outcome.LoopFailed = true;
        return outcome;
    }
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            outcome.LoopFailed = true;
            break;
        }
        bool done = false;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                done = true;
                outcome.Code = message->data.result;
            }
        }
        if (done)
            break;
        if (running == 0) {
            outcome.LoopFailed = true;
            break;
        }
        int waitMs = kMaxPollMs;
        if (transfer.Connected) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                transfer.LastActivity + silenceLimit - TClock::now());
            if (left.count() <= 0) {
                outcome.SilenceExceeded = true;
                break;
            }
            waitMs = int(std::clamp<long long>(left.count(), 1, kMaxPollMs));
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return outcome;
}

THttpResponse NoResponse(const QString& why)
{
    THttpResponse response;
    response.Failure = why;
    return response;
}

} // namespace

THttpRequest THttpRequest::FormPost(const QString& url, std::vector<THttpFormField> fields)
{
    THttpRequest request;
    request.Url = url;
    request.Body = TBody::Form;
    request.Form = std::move(fields);
    return request;
}

THttpRequest THttpRequest::JsonPost(const QString& url, const QByteArray& json)
{
    THttpRequest request;
    request.Url = url;
    request.Body = TBody::Json;
    request.Json = json;
    return request;
}

THttpRequest THttpRequest::MultipartPost(const QString& url, std::vector<THttpPart> parts)
{
    THttpRequest request;
    request.Url = url;
    request.Body = TBody::Multipart;
    request.Parts = std::move(parts);
    return request;
}

THttpClient::THttpClient(THttpTimeouts timeouts)
    : FTimeouts(timeouts)
{
}

QByteArray THttpClient::FormEncode(const std::vector<THttpFormField>& fields)
{
    QByteArray encoded;
    for (const THttpFormField& field : fields) {
        if (!encoded.isEmpty())
            encoded += '&';
        encoded += QUrl::toPercentEncoding(field.Name) + '=' + QUrl::toPercentEncoding(field.Value);
    }
    return encoded;
}

THttpResponse THttpClient::Execute(const THttpRequest& request) const
{
    TCurlLease lease;
    TCurlPair& pair = lease.Pair();
    if (!pair.Valid())
        return NoResponse(QStringLiteral("libcurl could not be initialised"));
    CURL* easy = pair.Easy.get();
    curl_easy_reset(easy);

    TTransfer transfer;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetCommonOptions(easy, transfer, FTimeouts, errorBuffer);
    const QByteArray url = request.Url.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());

    // A large body would otherwise wait a second for "100 Continue".
    std::unique_ptr<curl_slist, TSlistDeleter> headers(curl_slist_append(nullptr, "Expect:"));
    QByteArray body;
    std::unique_ptr<curl_mime, TMimeDeleter> mime;
    switch (request.Body) {
    case THttpRequest::TBody::Form:
        body = FormEncode(request.Form);
        headers.reset(
            curl_slist_append(headers.release(), "Content-Type: application/x-www-form-urlencoded"));
        break;
    case THttpRequest::TBody::Json:
        body = request.Json;
        headers.reset(curl_slist_append(headers.release(), "Content-Type: application/json"));
        break;
    case THttpRequest::TBody::Multipart:
        mime = BuildMime(easy, request.Parts);
        curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime.get());
        break;
    }
    if (request.Body != THttpRequest::TBody::Multipart) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.constData());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());

    const TOutcome outcome = RunTransfer(pair.Multi.get(), easy, transfer, FTimeouts.Response);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    // Nothing may point at this call's buffers once it returns.
    curl_easy_reset(easy);

    if (outcome.LoopFailed)
        return NoResponse(QStringLiteral("libcurl transfer failed"));
    if (outcome.SilenceExceeded)
        return NoResponse(
            QStringLiteral("Operation timed out: no answer within %1 ms").arg(FTimeouts.Response.count()));
    if (transfer.TooLarge)
        return NoResponse(QStringLiteral("Reply larger than %1 bytes").arg(kMaxBody));
    if (outcome.Code != CURLE_OK) {
        const QString detail = QString::fromUtf8(errorBuffer).trimmed();
        return NoResponse(detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(outcome.Code)) : detail);
    }

    THttpResponse response;
    response.Responded = true;
    response.Status = int(status);
    response.StatusText = transfer.StatusText;
    response.Body = std::move(transfer.Body);
    return response;
}
