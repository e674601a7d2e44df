#include "tests/fakes/FakeHttpServer.h"

#include <QList>

#include <httplib.h>

#include <chrono>
#include <stdexcept>

TFakeHttpServer::TFakeHttpServer(THandler handler)
    : FHandler(std::move(handler))
{
    Up();
}

TFakeHttpServer::~TFakeHttpServer() { Down(); }

QString TFakeHttpServer::BaseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(FPort); }

std::vector<std::pair<QString, QString>> TFakeHttpServer::ParseForm(const QByteArray& body)
{
    std::vector<std::pair<QString, QString>> fields;
    if (body.isEmpty())
        return fields;
    const auto decode = [](QByteArray text) {
        text.replace('+', ' ');
        return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
    };
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0)
            fields.emplace_back(decode(pair), QString());
        else
            fields.emplace_back(decode(pair.left(equals)), decode(pair.mid(equals + 1)));
    }
    return fields;
}

void TFakeHttpServer::Up()
{
    if (FServer)
        return;
    auto server = std::make_unique<httplib::Server>();
    // Short keep-alive so that Down does not wait long for idle client connections.
    server->set_keep_alive_timeout(1);
    server->set_keep_alive_max_count(1000);
    // An answer goes out as headers and body in two writes. With Nagle's algorithm on, the body
    // waits for the client's delayed acknowledgement of the headers, about 40 ms on Linux, for
    // every request after the first on a kept-alive connection; real servers do not add that.
    server->set_tcp_nodelay(true);
    server->Post(".*", [this](const httplib::Request& in, httplib::Response& out) {
        TRequest request;
        request.Path = QString::fromStdString(in.path);
        request.ContentType = QString::fromStdString(in.get_header_value("Content-Type"));
        request.Body = QByteArray::fromStdString(in.body);
        request.RemotePort = in.remote_port;
        if (request.ContentType.startsWith(QLatin1String("application/x-www-form-urlencoded")))
            request.Fields = ParseForm(request.Body);
        for (const auto& [name, part] : in.files) {
            if (part.filename.empty())
                request.Fields.emplace_back(QString::fromStdString(name),
                                            QString::fromStdString(part.content));
            else
                request.Files[QString::fromStdString(name)] = {QString::fromStdString(part.filename),
                                                               QByteArray::fromStdString(part.content)};
        }
        const TResponse response = FHandler(request);
        out.status = response.Status;
        out.set_content(response.Body.toStdString(), response.ContentType.toStdString());
    });
    if (FPort == 0) {
        FPort = server->bind_to_any_port("127.0.0.1");
        if (FPort <= 0)
            throw std::runtime_error("fake server: no free port on 127.0.0.1");
    } else if (!server->bind_to_port("127.0.0.1", FPort)) {
        throw std::runtime_error("fake server: port taken meanwhile");
    }
    httplib::Server* raw = server.get();
    FThread = std::thread([raw] { raw->listen_after_bind(); });
    // stop() only works once the server runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!raw->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    FServer = std::move(server);
}

void TFakeHttpServer::Down()
{
    if (!FServer)
        return;
    FServer->stop();
    if (FThread.joinable())
        FThread.join();
    FServer.reset();
}
