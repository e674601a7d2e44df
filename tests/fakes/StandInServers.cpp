// pelorin_standins: a local Telegram Bot API and a local SMS gateway on 127.0.0.1, for showing
// KestravaPelorin at work without sending anything to the real services. Each request they receive
// is printed as one line; SIGINT or SIGTERM ends the program.
//
//   pelorin_standins --token TOKEN --sms-key KEY [--quiet-polls]
//
// At start it prints the two base addresses as PELORIN_TELEGRAM_API_URL=... and
// PELORIN_SMS_API_URL=... lines, ready to be put into KestravaPelorin's environment.

#include "tests/fakes/StandInBotApi.h"
#include "tests/fakes/StandInSmsGateway.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <pthread.h>

namespace {

constexpr const char* kBotLabel = "[stand-in Telegram]";
constexpr const char* kSmsLabel = "[stand-in SMS gateway]";

struct TOptions {
    QString Token;
    QString SmsKey;
    bool QuietPolls = false;
};

void PrintUsage(std::FILE* to)
{
    std::fputs("usage: pelorin_standins --token TOKEN --sms-key KEY [--quiet-polls]\n"
               "Serves a stand-in Telegram Bot API and a stand-in SMS gateway on 127.0.0.1 (local\n"
               "test servers, not the real services) and prints every request they receive.\n"
               "  --token TOKEN    the bot token the Bot API accepts (others get 401)\n"
               "  --sms-key KEY    the api_id the SMS gateway accepts (others are refused)\n"
               "  --quiet-polls    do not print the bot's getUpdates polls, only count them\n"
               "Ends on SIGINT or SIGTERM.\n",
               to);
}

std::optional<TOptions> ParseOptions(int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argument, "--token") == 0 && hasValue)
            options.Token = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argument, "--sms-key") == 0 && hasValue)
            options.SmsKey = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argument, "--quiet-polls") == 0)
            options.QuietPolls = true;
        else
            return std::nullopt;
    }
    if (options.Token.isEmpty() || options.SmsKey.isEmpty())
        return std::nullopt;
    return options;
}

// A text on one line, in double quotes: backslash, quote and line breaks escaped.
QString Quoted(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': quoted += QLatin1String("\\\\"); break;
        case u'"': quoted += QLatin1String("\\\""); break;
        case u'\n': quoted += QLatin1String("\\n"); break;
        case u'\r': quoted += QLatin1String("\\r"); break;
        case u'\t': quoted += QLatin1String("\\t"); break;
        default: quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

QString ValueText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String: return Quoted(value.toString());
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: {
        const double number = value.toDouble();
        const qint64 whole = value.toInteger();
        return double(whole) == number ? QString::number(whole) : QString::number(number);
    }
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default: return QStringLiteral("null");
    }
}

// "sendMessage chat_id=111 text="..."": the recipient and the text first, the rest by name.
QString BotRequestLine(const TStandInBotApi::TRequest& request)
{
    static const QStringList first{QStringLiteral("chat_id"), QStringLiteral("text"),
                                   QStringLiteral("caption")};
    QString line = QString::fromLatin1(kBotLabel) + QLatin1Char(' ') + request.Method;
    const auto append = [&line](const QString& name, const QJsonValue& value) {
        line += QLatin1Char(' ') + name + QLatin1Char('=') + ValueText(value);
    };
    for (const QString& name : first)
        if (request.Params.contains(name))
            append(name, request.Params.value(name));
    for (auto it = request.Params.begin(); it != request.Params.end(); ++it)
        if (!first.contains(it.key()))
            append(it.key(), it.value());
    if (request.FileSize >= 0)
        line += QStringLiteral(" (file of %1 bytes)").arg(request.FileSize);
    if (!request.Authorised)
        line += QStringLiteral("  -> refused: unknown bot token (401)");
    return line;
}

// "/sms/send to=7... msg="..."": the account key and the json switch are left out.
QString SmsRequestLine(const TStandInSmsGateway::TRequest& request)
{
    QString line = QString::fromLatin1(kSmsLabel) + QLatin1Char(' ') + request.Path;
    for (const auto& [name, value] : request.Fields)
        if (name != QLatin1String("api_id") && name != QLatin1String("json"))
            line += QLatin1Char(' ') + name + QLatin1Char('=') + Quoted(value);
    if (request.Path == QLatin1String("/my/balance") && request.Authorised)
        line += QStringLiteral("  -> balance %1").arg(QLatin1String(TStandInSmsGateway::kBalance));
    if (!request.Authorised)
        line += QStringLiteral("  -> refused: wrong api_id");
    return line;
}

// Lines come from the servers' threads; each is written whole and flushed at once.
class TPrinter {
public:
    void Line(const QString& text)
    {
        const QByteArray bytes = text.toUtf8() + '\n';
        std::lock_guard lock(FLock);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    }

private:
    std::mutex FLock;
};

// Blocked before any server thread starts (threads inherit the mask), so only sigwait takes them.
sigset_t StopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    return stopSignals;
}

int Serve(const TOptions& options)
{
    const sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    TPrinter printer;
    std::atomic<long> botRequests{0};
    std::atomic<long> quietPolls{0};
    std::atomic<long> smsRequests{0};
    {
        TStandInBotApi bot(options.Token, [&](const TStandInBotApi::TRequest& request) {
            ++botRequests;
            if (options.QuietPolls && request.Method == QLatin1String("getUpdates") && request.Authorised) {
                ++quietPolls;
                return;
            }
            printer.Line(BotRequestLine(request));
        });
        TStandInSmsGateway sms(options.SmsKey, [&](const TStandInSmsGateway::TRequest& request) {
            ++smsRequests;
            printer.Line(SmsRequestLine(request));
        });
        printer.Line(QStringLiteral("Local stand-ins on 127.0.0.1 (test servers: nothing reaches the real "
                                    "Telegram or SMS service):"));
        printer.Line(QStringLiteral("PELORIN_TELEGRAM_API_URL=") + bot.BaseUrl());
        printer.Line(QStringLiteral("PELORIN_SMS_API_URL=") + sms.BaseUrl());

        int received = 0;
        while (sigwait(&stopSignals, &received) != 0) {
        }
    } // both servers stop here, waiting for the requests under way
    printer.Line(QStringLiteral("[stand-ins] stopped: %1 requests to the Bot API (%2 getUpdates polls not "
                                "shown), %3 to the SMS gateway")
                     .arg(botRequests.load())
                     .arg(quietPolls.load())
                     .arg(smsRequests.load()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        PrintUsage(stdout);
        return 0;
    }
    const std::optional<TOptions> options = ParseOptions(argc, argv);
    if (!options) {
        PrintUsage(stderr);
        return 2;
    }
    try {
        return Serve(*options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pelorin_standins: %s\n", error.what());
        return 1;
    }
}
