#include "ui/HeadlessRunner.h"
#include "ui/PreviewCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: KestravaPelorin --headless [--log-udp] [--log-tg] [--log-bd] [--log-sms]\n"
    "       KestravaPelorin --preview TEMPLATE [--event TEXT]\n"
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
    "  --preview    print the text TEMPLATE makes of a sample event (an empty TEMPLATE is the\n"
    "               default template), then its size as SMS\n"
    "  --event      put the fields of TEXT, written as a datagram (\"Message:Выход, DateTime:...\"),\n"
    "               over the sample event\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

int UsageError(const QString& message)
{
    std::fprintf(stderr, "KestravaPelorin: %s\n%s", qPrintable(message), kUsage);
    return 2;
}

void WriteUtf8(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int RunPreview(const QString& templ, const std::optional<QString>& eventText)
{
    const TPreviewCommand::TResult result = TPreviewCommand::Run(templ, eventText);
    WriteUtf8(stdout, result.Output);
    WriteUtf8(stderr, result.Error);
    return result.ExitCode;
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
    std::optional<QString> previewTemplate;
    std::optional<QString> previewEvent;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--preview") || argument == QLatin1String("--event")) {
            if (i + 1 >= arguments.size())
                return UsageError(QStringLiteral("%1 needs a value").arg(argument));
            (argument == QLatin1String("--preview") ? previewTemplate : previewEvent) = arguments[++i];
        } else if (argument == QLatin1String("--headless"))
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
    if (previewEvent && !previewTemplate)
        return UsageError(QStringLiteral("--event goes with --preview"));
    if (previewTemplate) {
        if (headless)
            return UsageError(QStringLiteral("--preview and --headless do not go together"));
        return RunPreview(*previewTemplate, previewEvent);
    }
    if (!headless)
        return UsageError(QStringLiteral("the settings window is not part of this build; use --headless"));
    return THeadlessRunner::Run(QCoreApplication::applicationFilePath(), options);
}
