#include "tests/fakes/FakeSmsGateway.h"

#include "tests/fakes/FakeHttpServer.h"

QString TFakeSmsGateway::TRequest::Field(const QString& name) const
{
    for (const auto& [key, value] : Fields)
        if (key == name)
            return value;
    return QString();
}

TFakeSmsGateway::TFakeSmsGateway()
{
    FServer = std::make_unique<TFakeHttpServer>([this](const TFakeHttpServer::TRequest& in) {
        {
            std::lock_guard lock(FLock);
            FRequests.push_back({in.Path, in.ContentType, in.Fields, in.Body});
        }
        FChanged.notify_all();
        const auto [status, body] = Answer(in.Path);
        return TFakeHttpServer::TResponse{status, body};
    });
}

TFakeSmsGateway::~TFakeSmsGateway()
{
    {
        std::lock_guard lock(FLock);
        FClosing = true;
    }
    FChanged.notify_all();
    FServer.reset();
}

QString TFakeSmsGateway::BaseUrl() const { return FServer->BaseUrl(); }

void TFakeSmsGateway::QueueReply(int httpStatus, const QByteArray& body)
{
    std::lock_guard lock(FLock);
    FProgrammed.emplace_back(httpStatus, body);
}

void TFakeSmsGateway::SetSilent(bool silent)
{
    {
        std::lock_guard lock(FLock);
        FSilent = silent;
    }
    FChanged.notify_all();
}

std::vector<TFakeSmsGateway::TRequest> TFakeSmsGateway::Requests() const
{
    std::lock_guard lock(FLock);
    return FRequests;
}

bool TFakeSmsGateway::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FRequests.size() >= count; });
}

std::pair<int, QByteArray> TFakeSmsGateway::Answer(const QString& path)
{
    std::unique_lock lock(FLock);
    // Bounded, so that a forgotten silence cannot hang a test run.
    FChanged.wait_for(lock, std::chrono::seconds(30), [this] { return !FSilent || FClosing; });
    if (!FProgrammed.empty()) {
        auto reply = FProgrammed.front();
        FProgrammed.pop_front();
        return reply;
    }
    if (path == QLatin1String("/my/balance"))
        return {200, R"({"status":"OK","status_code":100,"balance":123.45})"};
    if (path == QLatin1String("/sms/send"))
        return {200, R"({"status":"OK","status_code":100,"sms":{},"balance":123.40})"};
    return {404, R"({"status":"ERROR","status_code":404,"status_text":"Not Found"})"};
}
