#include "ui/HeadlessRunner.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: KestravaPelorin --headless [--log-udp] [--log-tg] [--log-bd] [--log-sms]\n"
    "       KestravaPelorin --help | --version\n"
    "\n"
    "Delivers the events of a Kestrava access-control installation as Telegram messages and SMS.\n"
    "\n"
    "  --headless   run without a window; every status report is printed to standard output as\n"
    "               one line: time, source, kind and text separated by tabs. SIGINT or SIGTERM\n"
    "               stops it and saves the settings.\n"
    "  --log-udp    report every datagram received\n"
    "  --log-tg     report every Telegram message sent or received\n"
    "  --log-bd     report every event read from the database log\n"
    "  --log-sms    report every SMS sent\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

int UsageError(const QString& message)
{
    std::fprintf(stderr, "KestravaPelorin: %s\n%s", qPrintable(message), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    if (arguments.contains(QLatin1String("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        std::printf("KestravaPelorin %s\n", PELORIN_VERSION);
        return 0;
    }

    bool headless = false;
    THeadlessRunner::TOptions options;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--headless"))
            headless = true;
        else if (argument == QLatin1String("--log-udp"))
            options.LogUdp = true;
        else if (argument == QLatin1String("--log-tg"))
            options.LogTg = true;
        else if (argument == QLatin1String("--log-bd"))
            options.LogBd = true;
        else if (argument == QLatin1String("--log-sms"))
            options.LogSmsRu = true;
        else
            return UsageError(QStringLiteral("unknown argument: %1").arg(argument));
    }
    if (!headless)
        return UsageError(QStringLiteral("the settings window is not part of this build; use --headless"));
    return THeadlessRunner::Run(QCoreApplication::applicationFilePath(), options);
}
