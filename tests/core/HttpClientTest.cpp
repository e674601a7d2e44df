#include "core/HttpClient.h"

#include "tests/fakes/FakeHttpServer.h"
#include "tests/fakes/ScopedEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TFields = std::vector<std::pair<QString, QString>>;

TFakeHttpServer::TResponse Echo(const TFakeHttpServer::TRequest& request)
{
    return {200, request.Body, "text/plain"};
}

// The last request a server saw, handed from its thread to the test's under a lock.
class TLastRequest {
public:
    TFakeHttpServer::TResponse Keep(const TFakeHttpServer::TRequest& request)
    {
        std::lock_guard hold(FLock);
        FRequest = request;
        return Echo(request);
    }
    TFakeHttpServer::TRequest Get() const
    {
        std::lock_guard hold(FLock);
        return FRequest;
    }

private:
    mutable std::mutex FLock;
    TFakeHttpServer::TRequest FRequest;
};

TEST(HttpClient, FormFieldsArriveDecodedAndInOrder)
{
    TLastRequest last;
    TFakeHttpServer server([&](const TFakeHttpServer::TRequest& request) { return last.Keep(request); });
    const std::vector<THttpFormField> fields{
        {QStringLiteral("api_id"), QStringLiteral("A1B2-c3")},
        {QStringLiteral("to"), QStringLiteral("+7 900 123-45-67")},
        {QStringLiteral("msg"), QStringLiteral("Вход: 100% a+b=c&d/e?f #g")},
        {QStringLiteral("json"), QStringLiteral("1")},
    };
    const THttpResponse response =
        THttpClient().Execute(THttpRequest::FormPost(server.BaseUrl() + QStringLiteral("/sms/send"), fields));

    ASSERT_TRUE(response.Responded) << response.Failure.toStdString();
    const TFakeHttpServer::TRequest seen = last.Get();
    EXPECT_EQ(seen.Path, QStringLiteral("/sms/send"));
    EXPECT_EQ(seen.ContentType, QStringLiteral("application/x-www-form-urlencoded"));
    const TFields expected{{QStringLiteral("api_id"), QStringLiteral("A1B2-c3")},
                           {QStringLiteral("to"), QStringLiteral("+7 900 123-45-67")},
                           {QStringLiteral("msg"), QStringLiteral("Вход: 100% a+b=c&d/e?f #g")},
                           {QStringLiteral("json"), QStringLiteral("1")}};
    EXPECT_EQ(seen.Fields, expected);
    // Only unreserved bytes travel unencoded; a "+" or a blank must not be mistaken for the other.
    EXPECT_FALSE(seen.Body.contains(' '));
    EXPECT_TRUE(seen.Body.contains("a%2Bb%3Dc%26d"));
}

TEST(HttpClient, JsonAndMultipartBodies)
{
    TLastRequest last;
    TFakeHttpServer server([&](const TFakeHttpServer::TRequest& request) { return last.Keep(request); });
    const QByteArray json = QStringLiteral(R"({"chat_id":-1001234567890,"text":"Привет"})").toUtf8();
    ASSERT_TRUE(THttpClient().Execute(THttpRequest::JsonPost(server.BaseUrl() + "/j", json)).Responded);
    TFakeHttpServer::TRequest seen = last.Get();
    EXPECT_EQ(seen.ContentType, QStringLiteral("application/json"));
    EXPECT_EQ(seen.Body, json);

    const QByteArray photo("\xFF\xD8\x00\x01jpeg\x00tail", 14);
    const std::vector<THttpPart> parts{
        {QStringLiteral("chat_id"), QByteArray("42"), QString()},
        {QStringLiteral("caption"), QStringLiteral("Иванов Иван").toUtf8(), QString()},
        {QStringLiteral("photo"), photo, QStringLiteral("Иванов Иван")},
    };
    ASSERT_TRUE(THttpClient().Execute(THttpRequest::MultipartPost(server.BaseUrl() + "/m", parts)).Responded);
    seen = last.Get();
    EXPECT_TRUE(seen.ContentType.startsWith(QLatin1String("multipart/form-data")));
    const TFields fields{{QStringLiteral("caption"), QStringLiteral("Иванов Иван")},
                         {QStringLiteral("chat_id"), QStringLiteral("42")}};
    EXPECT_EQ(seen.Fields, fields); // the server lists text parts by name
    ASSERT_EQ(seen.Files.count(QStringLiteral("photo")), 1u);
    EXPECT_EQ(seen.Files[QStringLiteral("photo")].first, QStringLiteral("Иванов Иван"));
    EXPECT_EQ(seen.Files[QStringLiteral("photo")].second, photo);
}

// Any HTTP status is a response; only a request that got no answer at all is not.
TEST(HttpClient, OutcomeTellsResponseFromNoResponse)
{
    TFakeHttpServer server([](const TFakeHttpServer::TRequest& request) -> TFakeHttpServer::TResponse {
        const int status = request.Path.mid(1).toInt();
        return {status, "body " + request.Path.toUtf8(), "text/plain"};
    });
    struct TCase {
        int Status;
        const char* StatusText;
    };
    const TCase cases[] = {
        {200, "OK"},
        {401, "Unauthorized"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {503, "Service Unavailable"},
    };
    for (const TCase& c : cases) {
        const QString path = QStringLiteral("/%1").arg(c.Status);
        const THttpResponse response =
            THttpClient().Execute(THttpRequest::FormPost(server.BaseUrl() + path, {}));
        EXPECT_TRUE(response.Responded) << c.Status;
        EXPECT_EQ(response.Status, c.Status);
        EXPECT_EQ(response.StatusText, QString::fromLatin1(c.StatusText));
        EXPECT_EQ(response.Body, "body " + path.toUtf8());
        EXPECT_TRUE(response.Failure.isEmpty());
    }

    const QString url = server.BaseUrl() + QStringLiteral("/200");
    server.Down();
    const THttpResponse refused = THttpClient().Execute(THttpRequest::FormPost(url, {}));
    EXPECT_FALSE(refused.Responded);
    EXPECT_EQ(refused.Status, 0);
    EXPECT_FALSE(refused.Failure.isEmpty());
}

// A server that accepts and then stays silent ends the request after the response time-out,
// not after libcurl's defaults or never.
TEST(HttpClient, SilentServerEndsAfterResponseTimeout)
{
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    TFakeHttpServer server([&](const TFakeHttpServer::TRequest& request) {
        std::unique_lock hold(lock);
        released.wait_for(hold, 10s, [&] { return release; });
        return Echo(request);
    });
    THttpTimeouts timeouts;
    timeouts.Response = 400ms;
    const auto start = std::chrono::steady_clock::now();
    const THttpResponse response =
        THttpClient(timeouts).Execute(THttpRequest::FormPost(server.BaseUrl(), {}));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    {
        std::lock_guard hold(lock);
        release = true;
    }
    released.notify_all();

    EXPECT_FALSE(response.Responded);
    EXPECT_TRUE(response.Failure.contains(QLatin1String("timed out"))) << response.Failure.toStdString();
    EXPECT_GE(elapsed, 350ms);
    EXPECT_LT(elapsed, 1500ms);
}

TEST(HttpClient, OneThreadReusesItsConnection)
{
    std::set<int> clientPorts;
    std::mutex lock;
    TFakeHttpServer server([&](const TFakeHttpServer::TRequest& request) {
        std::lock_guard hold(lock);
        clientPorts.insert(request.RemotePort);
        return Echo(request);
    });
    const THttpClient client;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(client.Execute(THttpRequest::FormPost(server.BaseUrl(), {})).Responded);
    std::lock_guard hold(lock);
    EXPECT_EQ(clientPorts.size(), 1u);
}

// Run under tsan: one client used by many threads at once, each answer reaching its own caller.
TEST(HttpClient, ManyThreadsAtOnce)
{
    TFakeHttpServer server(&Echo);
    const THttpClient client;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i) {
                const QString value = QStringLiteral("поток %1 запрос %2").arg(t).arg(i);
                const THttpResponse response =
                    client.Execute(THttpRequest::FormPost(server.BaseUrl(), {{QStringLiteral("v"), value}}));
                const QByteArray expected = THttpClient::FormEncode({{QStringLiteral("v"), value}});
                if (!response.Responded || response.Body != expected)
                    ++wrong;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

// The proxy of the environment carries the request; the target host is never contacted (it
// does not even resolve).
TEST(HttpClient, ProxyComesFromTheEnvironment)
{
    TLastRequest last;
    TFakeHttpServer proxy([&](const TFakeHttpServer::TRequest& request) {
        last.Keep(request);
        return TFakeHttpServer::TResponse{200, "via proxy", "text/plain"};
    });
    const TScopedEnv httpProxy("http_proxy", proxy.BaseUrl());
    const THttpResponse response = THttpClient().Execute(
        THttpRequest::FormPost(QStringLiteral("http://pelorin-target.invalid/sms/send"), {{"a", "b"}}));
    ASSERT_TRUE(response.Responded) << response.Failure.toStdString();
    EXPECT_EQ(response.Body, "via proxy");
    const TFakeHttpServer::TRequest seen = last.Get();
    EXPECT_EQ(seen.Path, QStringLiteral("http://pelorin-target.invalid/sms/send"));
    EXPECT_EQ(seen.Body, "a=b");
}

} // namespace
